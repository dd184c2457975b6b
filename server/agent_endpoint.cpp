#include "agent_endpoint.h"

#include "agent_tool_schemas.h"
#include "common/log.h"

#include <algorithm>
#include <set>

namespace twk::server {
namespace {

using nlohmann::json;
using nlohmann::ordered_json;

/// A request the endpoint turns down: answered as {"error": message}.
struct Refused {
    int status;
    std::string message;
};

const json* member(const json& object, const char* key)
{
    const auto it = object.find(key);
    return it == object.end() || it->is_null() ? nullptr : &*it;
}

std::string requiredText(const json& object, const char* key, const std::string& where)
{
    const json* value = member(object, key);
    if (value == nullptr) throw Refused{400, where + key + " is missing"};
    if (!value->is_string()) throw Refused{400, where + key + " must be a string"};
    return value->get<std::string>();
}

bool isBase64(const std::string& text)
{
    if (text.size() % 4 != 0) return false;
    const size_t body = text.find_last_not_of('=') + 1;
    if (text.size() - body > 2) return false;
    return std::all_of(text.begin(), text.begin() + body, [](unsigned char c) {
        return std::isalnum(c) || c == '+' || c == '/';
    });
}

std::string checkedBase64(const json& value, const std::string& what)
{
    if (!value.is_string()) throw Refused{400, what + " must be a base64 string"};
    const auto& text = value.get_ref<const std::string&>();
    if (text.size() > AgentEndpoint::maxImageBase64)
        throw Refused{413, what + " is larger than " + std::to_string(AgentEndpoint::maxImageBase64 / (1024 * 1024)) + " MiB of base64"};
    if (text.empty() || !isBase64(text)) throw Refused{400, what + " is not base64"};
    return text;
}

std::optional<AgentImageIn> image(const json& object, const std::string& where)
{
    const json* value = member(object, "image");
    if (value == nullptr) return std::nullopt;
    if (!value->is_object()) throw Refused{400, where + "image must be an object"};
    AgentImageIn image;
    image.base64 = checkedBase64(value->value("base64", json()), where + "image.base64");
    image.mediaType = requiredText(*value, "mediaType", where + "image.");
    static const std::set<std::string> types{"image/png", "image/jpeg", "image/gif", "image/webp"};
    if (!types.contains(image.mediaType)) throw Refused{400, where + "image.mediaType must be image/png, image/jpeg, image/gif or image/webp"};
    return image;
}

std::vector<AgentToolResultIn> toolResults(const json& body, const std::vector<std::string>& open)
{
    const json* list = member(body, "toolResults");
    if (list == nullptr) throw Refused{400, "toolResults is missing"};
    if (!list->is_array()) throw Refused{400, "toolResults must be an array"};
    if (list->size() > AgentEndpoint::maxToolResults)
        throw Refused{400, "toolResults holds more than " + std::to_string(AgentEndpoint::maxToolResults) + " results"};
    std::vector<AgentToolResultIn> results;
    std::set<std::string> answered;
    for (size_t i = 0; i < list->size(); ++i) {
        const json& item = (*list)[i];
        const std::string where = "toolResults[" + std::to_string(i) + "].";
        if (!item.is_object()) throw Refused{400, "toolResults[" + std::to_string(i) + "] must be an object"};
        AgentToolResultIn result;
        result.toolUseId = requiredText(item, "tool_use_id", where);
        if (std::find(open.begin(), open.end(), result.toolUseId) == open.end())
            throw Refused{400, where + "tool_use_id answers no tool use of the last round"};
        if (!answered.insert(result.toolUseId).second) throw Refused{400, where + "tool_use_id is answered twice"};
        if (const json* text = member(item, "text")) {
            if (!text->is_string()) throw Refused{400, where + "text must be a string"};
            result.text = text->get<std::string>();
        }
        result.image = image(item, where);
        const json* isError = member(item, "isError");
        if (isError == nullptr || !isError->is_boolean()) throw Refused{400, where + "isError must be true or false"};
        result.isError = isError->get<bool>();
        results.push_back(std::move(result));
    }
    return results;
}

int64_t dimension(const json& body, const char* key)
{
    const json* value = member(body, key);
    if (value == nullptr) return 0;
    if (!value->is_number_integer() || value->get<int64_t>() < 0 || value->get<int64_t>() > 100'000)
        throw Refused{400, std::string(key) + " must be an integer from 0 to 100000"};
    return value->get<int64_t>();
}

ordered_json roundJson(const std::string& sessionId, const AgentReply& reply)
{
    ordered_json uses = ordered_json::array();
    for (const auto& use : reply.toolUses) {
        ordered_json u;
        u["id"] = use.id;
        u["name"] = use.name;
        u["input"] = use.input.is_object() ? use.input : json::object();
        uses.push_back(std::move(u));
    }
    ordered_json j;
    j["sessionId"] = sessionId;
    j["done"] = reply.done;
    j["text"] = reply.text;
    j["toolUses"] = std::move(uses);
    j["inputTokens"] = reply.inputTokens;
    j["outputTokens"] = reply.outputTokens;
    return j;
}

std::string shortId(const std::string& id) { return id.substr(0, 8); }

} // namespace

AgentEndpoint::AgentEndpoint(AgentEngine& engine, UsageService& usage, AgentSessions::Limits limits)
    : engine_(engine), usage_(usage), sessions_(limits)
{
}

AgentEndpoint::Answer AgentEndpoint::start(const json& body, const std::string& userId)
{
    try {
        AgentTask task;
        task.description = requiredText(body, "description", "");
        if (task.description.empty()) throw Refused{400, "description is empty"};
        if (task.description.size() > maxDescriptionBytes)
            throw Refused{413, "description is longer than " + std::to_string(maxDescriptionBytes / 1024) + " KiB"};
        task.displayWidth = dimension(body, "displayWidth");
        task.displayHeight = dimension(body, "displayHeight");
        if (const json* shot = member(body, "screenshot")) task.screenshotBase64 = checkedBase64(*shot, "screenshot");
        task.tools = agentToolNames();
        if (const json* tools = member(body, "tools")) {
            if (!tools->is_array() || tools->size() > 32) throw Refused{400, "tools must be an array of tool names"};
            task.tools.clear();
            for (const auto& name : *tools) {
                if (!name.is_string() || !isAgentTool(name.get<std::string>()))
                    throw Refused{400, "tools holds an unknown tool: " + name.dump()};
                if (std::find(task.tools.begin(), task.tools.end(), name.get<std::string>()) == task.tools.end())
                    task.tools.push_back(name.get<std::string>());
            }
        }
        const int64_t now = usage_.now();
        if (!starts_.allow(userId, now)) {
            HttpResponse r = errorResponse(429, "too many agent tasks started; try again later");
            r.headers.emplace_back("Retry-After", std::to_string(std::max(1, starts_.secondsUntilAllowed(userId, now))));
            return {r, {}};
        }
        std::shared_ptr<AgentConversation> conversation = engine_.open();
        const std::string sessionId = sessions_.add(userId, conversation, now);
        if (sessionId.empty()) throw Refused{429, "too many agent tasks are running on this server; try again later"};
        logLine("[twk/server] agent task for " + shortId(userId) + " with the " + engine_.name());
        return run(sessionId, [task](AgentConversation& c, AgentAnswer answer) { c.start(task, std::move(answer)); });
    } catch (const Refused& r) {
        return {errorResponse(r.status, r.message), {}};
    }
}

AgentEndpoint::Answer AgentEndpoint::next(const json& body, const std::string& userId)
{
    try {
        const std::string sessionId = requiredText(body, "sessionId", "");
        AgentSessions::Session* session = sessions_.find(sessionId, userId, usage_.now());
        if (session == nullptr) throw Refused{404, "no such agent session (it may have expired); start the task again"};
        if (session->busy) throw Refused{409, "the previous round of this task is still running"};
        AgentTurn turn;
        turn.results = toolResults(body, session->openToolUses);
        if (const json* message = member(body, "userMessage")) {
            if (!message->is_object()) throw Refused{400, "userMessage must be an object"};
            turn.userMessage = AgentUserMessage{requiredText(*message, "text", "userMessage."), image(*message, "userMessage.")};
        }
        return run(sessionId, [turn](AgentConversation& c, AgentAnswer answer) { c.next(turn, std::move(answer)); });
    } catch (const Refused& r) {
        return {errorResponse(r.status, r.message), {}};
    }
}

AgentEndpoint::Answer AgentEndpoint::run(const std::string& sessionId,
                                         const std::function<void(AgentConversation&, AgentAnswer)>& call)
{
    // The engine may answer before `call` returns (the local planner) or later (a language model).
    struct Pending {
        std::optional<HttpResponse> response;
        Deliver deliver;
    };
    auto pending = std::make_shared<Pending>();
    AgentSessions::Session* session = sessions_.get(sessionId);
    if (session == nullptr) return {errorResponse(404, "the agent session ended"), {}};
    session->busy = true;
    std::shared_ptr<AgentConversation> conversation = session->conversation; // alive while its round runs
    call(*conversation, [this, sessionId, pending, conversation](const AgentOutcome& outcome) {
        HttpResponse response = finish(sessionId, outcome);
        if (pending->deliver) pending->deliver(response);
        else pending->response = std::move(response);
    });
    if (pending->response) return {std::move(pending->response), {}};
    return {std::nullopt, [pending](Deliver deliver) {
                if (pending->response) deliver(*pending->response);
                else pending->deliver = std::move(deliver);
            }};
}

HttpResponse AgentEndpoint::finish(const std::string& sessionId, const AgentOutcome& outcome)
{
    AgentSessions::Session* session = sessions_.get(sessionId);
    if (session == nullptr) return errorResponse(404, "the agent session ended");
    session->busy = false;
    session->lastUsedMs = usage_.now();
    if (const auto* failure = std::get_if<AgentFailure>(&outcome)) {
        logLine("[twk/server] agent round for " + shortId(session->userId) + " failed: " + failure->message);
        sessions_.remove(sessionId);
        return errorResponse(failure->status, failure->message);
    }
    const auto& reply = std::get<AgentReply>(outcome);
    session->openToolUses.clear();
    for (const auto& use : reply.toolUses) session->openToolUses.push_back(use.id);
    if (reply.inputTokens > 0 || reply.outputTokens > 0) {
        try {
            usage_.track(session->userId, 0, {{"agentInputTokens", reply.inputTokens}, {"agentOutputTokens", reply.outputTokens}});
        } catch (const std::exception& e) {
            logLine(std::string("[twk/server] counting agent tokens failed: ") + e.what());
        }
    }
    return jsonResponse(200, roundJson(sessionId, reply));
}

} // namespace twk::server
