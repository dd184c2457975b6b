#include "platform/linux/instance_messages.h"

#include "common/utf8.h"

#include <nlohmann/json.hpp>

namespace twk {
namespace {

Error messageError(int code, const std::string& what)
{
    return Error("twk.instance", code, what);
}

std::string compact(const nlohmann::json& json)
{
    // Never throws: text that is not UTF-8 has its stray bytes replaced.
    return json.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

} // namespace

std::string toolRequestLine(const ForwardedToolCall& call)
{
    // Arguments that are not UTF-8 cannot parse as JSON, so the dispatcher
    // would read them as no arguments: sending none keeps that outcome.
    const std::string args = isValidUtf8(call.args) ? call.args : std::string();
    return "tool " + compact({{"name", call.name}, {"args", args}});
}

Expected<ForwardedToolCall> parseToolRequest(std::string_view json)
{
    const auto request = nlohmann::json::parse(json, nullptr, false);
    if (!request.is_object()) return messageError(10, "the tool request is not a JSON object");
    const auto name = request.find("name");
    const auto args = request.find("args");
    if (name == request.end() || !name->is_string() || name->get_ref<const std::string&>().empty())
        return messageError(11, "the tool request has no \"name\" text");
    if (args != request.end() && !args->is_string())
        return messageError(12, "the tool request's \"args\" is not a text");
    return ForwardedToolCall{name->get<std::string>(), args != request.end() ? args->get<std::string>() : "{}"};
}

std::string toolResultLine(const ToolResult& result)
{
    nlohmann::json json{{"text", result.text}};
    if (result.kind == ToolResult::Kind::image) json["image"] = result.base64PNG;
    return "result " + compact(json);
}

Expected<ToolResult> parseToolAnswer(std::string_view line)
{
    if (line.starts_with("error ")) return messageError(13, std::string(line.substr(6)));
    if (!line.starts_with("result ")) return messageError(14, "an answer that is not a result");
    const auto json = nlohmann::json::parse(line.substr(7), nullptr, false);
    const auto text = json.is_object() ? json.find("text") : json.end();
    if (!json.is_object() || text == json.end() || !text->is_string())
        return messageError(14, "an answer that is not a result");
    const auto image = json.find("image");
    if (image != json.end() && image->is_string())
        return ToolResult::imageResult(text->get<std::string>(), image->get<std::string>());
    return ToolResult::textResult(text->get<std::string>());
}

} // namespace twk
