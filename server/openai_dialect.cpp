// OpenAI-compatible chat completions (also local model servers): function
// tools, tool_calls on the assistant's message, one "tool" message per call.
// Tool messages carry text only, so images go in a user message after them.

#include "agent_dialect.h"

#include "json_input.h"

namespace twk::server {
namespace {

using nlohmann::json;

json imagePart(const std::string& base64, const std::string& mediaType)
{
    return {{"type", "image_url"}, {"image_url", {{"url", "data:" + mediaType + ";base64," + base64}}}};
}

json userMessage(const std::string& text, const std::vector<json>& images)
{
    if (images.empty()) return {{"role", "user"}, {"content", text}};
    json content = json::array({{{"type", "text"}, {"text", text}}});
    for (const auto& image : images) content.push_back(image);
    return {{"role", "user"}, {"content", std::move(content)}};
}

class OpenAiDialect : public AgentDialect {
public:
    std::string path() const override { return "/v1/chat/completions"; }
    std::vector<std::pair<std::string, std::string>> headers(const std::string& apiKey) const override
    {
        if (apiKey.empty()) return {}; // a local model server may need none
        return {{"Authorization", "Bearer " + apiKey}};
    }
    std::string imageType() const override { return "image_url"; }

    json request(const std::string& model, int maxTokens, const std::string& system, const std::vector<AgentToolSchema>& tools,
                 const json& messages) const override
    {
        json all = json::array({{{"role", "system"}, {"content", system}}});
        for (const auto& m : messages) all.push_back(m);
        json body{{"model", model}, {"max_tokens", maxTokens}, {"messages", std::move(all)}};
        if (!tools.empty()) {
            json list = json::array();
            for (const auto& t : tools)
                list.push_back({{"type", "function"},
                                {"function", {{"name", t.name}, {"description", t.description}, {"parameters", t.inputSchema}}}});
            body["tools"] = std::move(list);
        }
        return body;
    }

    void addStart(json& messages, const AgentTask& task) const override
    {
        std::vector<json> images;
        if (task.screenshotBase64) images.push_back(imagePart(*task.screenshotBase64, "image/png"));
        messages.push_back(userMessage(startText(task), images));
    }

    void addTurn(json& messages, const AgentTurn& turn, const std::vector<std::string>& openIds) const override
    {
        std::vector<json> images;
        for (const auto& id : openIds) {
            const auto result = std::find_if(turn.results.begin(), turn.results.end(),
                                             [&id](const AgentToolResultIn& r) { return r.toolUseId == id; });
            std::string text;
            if (result == turn.results.end()) {
                text = "Error: this action was not carried out.";
            } else {
                text = (result->isError ? "Error: " : "") + result->text.value_or(result->isError ? "failed" : "done");
                if (result->image) {
                    images.push_back(imagePart(result->image->base64, result->image->mediaType));
                    text += " (the image follows)";
                }
            }
            messages.push_back({{"role", "tool"}, {"tool_call_id", id}, {"content", text}});
        }
        if (!images.empty()) messages.push_back(userMessage("The image the last action returned:", images));
        if (turn.userMessage) {
            std::vector<json> own;
            if (turn.userMessage->image) own.push_back(imagePart(turn.userMessage->image->base64, turn.userMessage->image->mediaType));
            messages.push_back(userMessage(turn.userMessage->text, own));
        }
        if (openIds.empty() && !turn.userMessage) messages.push_back(userMessage("Continue.", {}));
    }

    std::variant<Parsed, std::string> parse(const json& answer) const override
    {
        if (!answer.is_object() || !answer.contains("choices") || !answer["choices"].is_array() || answer["choices"].empty())
            return std::string("no choices");
        const json& choice = answer["choices"][0];
        if (!choice.is_object() || !choice.contains("message") || !choice["message"].is_object()) return std::string("no message");
        const json& message = choice["message"];
        Parsed parsed;
        if (message.contains("content") && message["content"].is_string()) parsed.reply.text = message["content"];
        json calls = json::array();
        if (message.contains("tool_calls") && message["tool_calls"].is_array()) {
            for (const auto& call : message["tool_calls"]) {
                if (!call.is_object() || !call.contains("id") || !call["id"].is_string() || !call.contains("function") ||
                    !call["function"].is_object() || !call["function"].contains("name") || !call["function"]["name"].is_string())
                    return std::string("a tool call without id or function name");
                // Arguments come as JSON text; text that is not an object counts as no arguments.
                const json arguments = call["function"].value("arguments", json());
                JsonInput input = parseJsonInput(arguments.is_string() ? arguments.get<std::string>() : std::string("{}"));
                parsed.reply.toolUses.push_back({call["id"], call["function"]["name"],
                                                 input.ok() && input.value.is_object() ? input.value : json::object()});
                calls.push_back(call);
            }
        }
        parsed.reply.done = parsed.reply.toolUses.empty();
        const json usage = answer.value("usage", json::object());
        parsed.reply.inputTokens = tokenCount(usage, "prompt_tokens");
        parsed.reply.outputTokens = tokenCount(usage, "completion_tokens");
        parsed.assistantMessage = {{"role", "assistant"}, {"content", parsed.reply.text}};
        if (!calls.empty()) parsed.assistantMessage["tool_calls"] = std::move(calls);
        return parsed;
    }
};

} // namespace

std::unique_ptr<AgentDialect> openAiDialect() { return std::make_unique<OpenAiDialect>(); }

} // namespace twk::server
