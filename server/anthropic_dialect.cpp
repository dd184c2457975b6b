// The Anthropic Messages API: tools with input_schema, tool_use blocks in the
// assistant's content, tool_result blocks (text and base64 images) in the
// next user message.

#include "agent_dialect.h"

namespace twk::server {
namespace {

using nlohmann::json;

json imageBlock(const std::string& base64, const std::string& mediaType)
{
    return {{"type", "image"}, {"source", {{"type", "base64"}, {"media_type", mediaType}, {"data", base64}}}};
}

class AnthropicDialect : public AgentDialect {
public:
    std::string path() const override { return "/v1/messages"; }
    std::vector<std::pair<std::string, std::string>> headers(const std::string& apiKey) const override
    {
        return {{"x-api-key", apiKey}, {"anthropic-version", "2023-06-01"}};
    }
    std::string imageType() const override { return "image"; }

    json request(const std::string& model, int maxTokens, const std::string& system, const std::vector<AgentToolSchema>& tools,
                 const json& messages) const override
    {
        json body{{"model", model}, {"max_tokens", maxTokens}, {"system", system}, {"messages", messages}};
        if (!tools.empty()) {
            json list = json::array();
            for (const auto& t : tools) list.push_back({{"name", t.name}, {"description", t.description}, {"input_schema", t.inputSchema}});
            body["tools"] = std::move(list);
        }
        return body;
    }

    void addStart(json& messages, const AgentTask& task) const override
    {
        json content = json::array();
        if (task.screenshotBase64) content.push_back(imageBlock(*task.screenshotBase64, "image/png"));
        content.push_back({{"type", "text"}, {"text", startText(task)}});
        messages.push_back({{"role", "user"}, {"content", std::move(content)}});
    }

    void addTurn(json& messages, const AgentTurn& turn, const std::vector<std::string>& openIds) const override
    {
        json content = json::array();
        for (const auto& id : openIds) {
            const auto result = std::find_if(turn.results.begin(), turn.results.end(),
                                             [&id](const AgentToolResultIn& r) { return r.toolUseId == id; });
            json block{{"type", "tool_result"}, {"tool_use_id", id}};
            if (result == turn.results.end()) {
                block["content"] = "This action was not carried out.";
                block["is_error"] = true;
            } else {
                json parts = json::array();
                if (result->text && !result->text->empty()) parts.push_back({{"type", "text"}, {"text", *result->text}});
                if (result->image) parts.push_back(imageBlock(result->image->base64, result->image->mediaType));
                if (parts.empty()) parts.push_back({{"type", "text"}, {"text", result->isError ? "failed" : "done"}});
                block["content"] = std::move(parts);
                block["is_error"] = result->isError;
            }
            content.push_back(std::move(block));
        }
        if (turn.userMessage) {
            if (turn.userMessage->image) content.push_back(imageBlock(turn.userMessage->image->base64, turn.userMessage->image->mediaType));
            content.push_back({{"type", "text"}, {"text", turn.userMessage->text}});
        }
        if (content.empty()) content.push_back({{"type", "text"}, {"text", "Continue."}});
        messages.push_back({{"role", "user"}, {"content", std::move(content)}});
    }

    std::variant<Parsed, std::string> parse(const json& answer) const override
    {
        if (!answer.is_object() || !answer.contains("content") || !answer["content"].is_array()) return std::string("no content");
        Parsed parsed;
        for (const auto& block : answer["content"]) {
            const json type = block.is_object() ? block.value("type", json()) : json();
            if (type == "text" && block.contains("text") && block["text"].is_string()) {
                const std::string text = block["text"];
                if (!text.empty()) parsed.reply.text += (parsed.reply.text.empty() ? "" : "\n") + text;
            } else if (type == "tool_use") {
                if (!block.contains("id") || !block["id"].is_string() || !block.contains("name") || !block["name"].is_string())
                    return std::string("a tool_use block without id or name");
                const json input = block.value("input", json::object());
                parsed.reply.toolUses.push_back({block["id"], block["name"], input.is_object() ? input : json::object()});
            }
        }
        parsed.reply.done = parsed.reply.toolUses.empty();
        const json usage = answer.value("usage", json::object());
        parsed.reply.inputTokens = tokenCount(usage, "input_tokens");
        parsed.reply.outputTokens = tokenCount(usage, "output_tokens");
        parsed.assistantMessage = {{"role", "assistant"}, {"content", answer["content"]}};
        return parsed;
    }
};

} // namespace

std::unique_ptr<AgentDialect> anthropicDialect() { return std::make_unique<AnthropicDialect>(); }

} // namespace twk::server
