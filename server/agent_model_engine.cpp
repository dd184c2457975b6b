#include "agent_model_engine.h"

#include "common/log.h"
#include "json_input.h"
#include "provider_client.h"

#include <QNetworkReply>
#include <QNetworkRequest>

namespace twk::server {
namespace {

using nlohmann::json;

/// One task's conversation with the model.
class ModelConversation : public AgentConversation {
public:
    explicit ModelConversation(AgentModelEngine& engine) : engine_(engine) {}

    void start(const AgentTask& task, AgentAnswer answer) override
    {
        tools_ = agentToolSchemas(task.tools);
        engine_.dialect().addStart(messages_, task);
        send(std::move(answer));
    }

    void next(const AgentTurn& turn, AgentAnswer answer) override
    {
        engine_.dialect().addTurn(messages_, turn, openIds_);
        openIds_.clear();
        send(std::move(answer));
    }

private:
    void send(AgentAnswer answer)
    {
        if (++rounds_ > AgentModelEngine::maxRounds) {
            answer(AgentFailure{400, "this task has run " + std::to_string(AgentModelEngine::maxRounds) +
                                         " rounds; start it again"});
            return;
        }
        const AgentDialect& dialect = engine_.dialect();
        dropOlderImages(messages_, dialect.imageType(), AgentModelEngine::keptImages);
        const auto& s = engine_.settings();
        std::string body = dialect.request(s.model, s.maxTokens, agentSystemPrompt(), tools_, messages_)
                               .dump(-1, ' ', false, json::error_handler_t::replace);
        if (body.size() > AgentModelEngine::maxRequestBytes) {
            answer(AgentFailure{413, "this task's conversation has grown too large for the model; start it again"});
            return;
        }
        engine_.post(std::move(body),
                     [this, answer](const AgentModelEngine::PostResult& result) {
                         if (const auto* failure = std::get_if<AgentFailure>(&result)) {
                             answer(*failure);
                             return;
                         }
                         std::variant<AgentDialect::Parsed, std::string> parsed = std::string();
                         try {
                             parsed = engine_.dialect().parse(std::get<json>(result));
                         } catch (const std::exception& e) {
                             parsed = std::string(e.what());
                         }
                         if (const auto* why = std::get_if<std::string>(&parsed)) {
                             logLine("[twk/server] the agent model's answer could not be read: " + *why);
                             answer(AgentFailure{502, "the agent's language model gave an answer that could not be read"});
                             return;
                         }
                         auto& round = std::get<AgentDialect::Parsed>(parsed);
                         messages_.push_back(std::move(round.assistantMessage));
                         for (const auto& use : round.reply.toolUses) openIds_.push_back(use.id);
                         answer(round.reply);
                     });
    }

    AgentModelEngine& engine_;
    std::vector<AgentToolSchema> tools_;
    json messages_ = json::array();
    std::vector<std::string> openIds_;
    int rounds_ = 0;
};

} // namespace

AgentFailure modelFailureForStatus(int httpStatus)
{
    const std::string http = " (HTTP " + std::to_string(httpStatus) + ")";
    if (httpStatus == 401 || httpStatus == 403)
        return {502, "the agent's language model refused this server's API key" + http + "; the server's operator must check it"};
    if (httpStatus == 429) return {503, "the agent's language model is limiting this server's requests" + http + "; try again later"};
    if (httpStatus >= 500) return {503, "the agent's language model is unavailable" + http + "; try again later"};
    return {502, "the agent's language model refused the request" + http};
}

AgentModelEngine::AgentModelEngine(AgentModelSettings settings)
    : settings_(std::move(settings)), dialect_(settings_.provider == "anthropic" ? anthropicDialect() : openAiDialect())
{
    network_.setAutoDeleteReplies(true);
}

AgentModelEngine::~AgentModelEngine()
{
    // Requests still running answer nobody: their callbacks may refer to what is already gone.
    for (QNetworkReply* reply : network_.findChildren<QNetworkReply*>()) {
        reply->disconnect();
        reply->abort();
    }
}

std::unique_ptr<AgentConversation> AgentModelEngine::open() { return std::make_unique<ModelConversation>(*this); }

void AgentModelEngine::post(std::string body, std::function<void(const PostResult&)> done)
{
    QNetworkRequest request(QUrl(QString::fromStdString(settings_.baseUrl + dialect_->path())));
    request.setHeader(QNetworkRequest::ContentTypeHeader, "application/json");
    for (const auto& [name, value] : dialect_->headers(settings_.apiKey))
        request.setRawHeader(QByteArray::fromStdString(name), QByteArray::fromStdString(value));
    request.setTransferTimeout(settings_.timeoutMs);
    QNetworkReply* reply = network_.post(request, QByteArray::fromStdString(body));
    limitAnswerSize(reply, maxAnswerBytes);
    QObject::connect(reply, &QNetworkReply::finished, reply, [this, reply, done = std::move(done)] {
        const ProviderReply r = readReply(reply, maxAnswerBytes);
        const int status = r.status;
        const QByteArray& answer = r.body;
        if (status == 0) {
            logLine("[twk/server] agent model request failed: " + r.error);
            const std::string seconds = std::to_string((settings_.timeoutMs + 999) / 1000);
            done(AgentFailure{503, r.timedOut ? "the agent's language model did not answer within " + seconds + " s; try again later"
                                              : "the agent's language model cannot be reached; try again later"});
            return;
        }
        if (status < 200 || status > 299) {
            logLine("[twk/server] agent model request refused: HTTP " + std::to_string(status));
            done(modelFailureForStatus(status));
            return;
        }
        JsonInput parsed = parseJsonInput(std::string_view(answer.constData(), size_t(answer.size())));
        if (!parsed.ok()) {
            logLine("[twk/server] the agent model's answer is not JSON: " + parsed.error);
            done(AgentFailure{502, "the agent's language model gave an answer that could not be read"});
            return;
        }
        done(std::move(parsed.value));
    });
}

} // namespace twk::server
