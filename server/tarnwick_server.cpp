#include "tarnwick_server.h"

#include "common/error.h"
#include "common/log.h"
#include "data_directory.h"
#include "demo_engine.h"
#include "agent_model_engine.h"
#include "local_planner.h"
#include "realtime_connection.h"
#include "scenario_engine.h"
#include "speech_engine.h"
#include "speech_recognizer.h"

#include <filesystem>

#include <QCoreApplication>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QStandardPaths>
#include <QUrl>

namespace twk::server {
namespace {

/// Which voice service answers, for the account page: never the key.
bool offlineSpeechInstalled() { return std::filesystem::exists(speechModelDirectory() + "/en-us/mdef"); }

std::string serviceDescription(const ServerOptions& options)
{
    if (options.upstream())
        return "Hosted realtime speech at " + QUrl(QString::fromStdString(options.providerUrl)).host().toStdString() +
               ", model " + options.modelName() + ", with this server's key.";
    if (options.scenario) return "A scripted scenario (for tests and demos), model " + options.modelName() + ".";
    if (offlineSpeechInstalled())
        return "Offline speech on this server itself (PocketSphinx and espeak-ng): common commands only, no network, model " +
               options.modelName() + ".";
    return "Short demo replies from this server itself (no speech service is configured), model " + options.modelName() + ".";
}

std::string defaultDataDir()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation).toStdString() + "/tarnwick-server";
}

} // namespace

TarnwickServer::TarnwickServer(const ServerOptions& options)
    : options_(options), dataDir_(options.dataDir.empty() ? defaultDataDir() : options.dataDir)
{
    // Usage figures and credentials are nobody else's business.
    prepareDataDirectory(dataDir_);
    const std::string database = dataDir_ + "/tarnwick-server.sqlite3";
    createPrivateFile(database);
    db_ = std::make_unique<SqliteDatabase>(database);

    UsageService::Settings settings;
    settings.model = options.modelName();
    settings.plan = Plan{options.plan, options.quotaMinutes * 60.0};
    settings.secretTtlMs = int64_t(options.secretTtlSeconds) * 1000;
    usage_ = std::make_unique<UsageService>(*db_, settings, [] { return QDateTime::currentMSecsSinceEpoch(); });
    if (options.upstream())
        provider_ = std::make_unique<ProviderClient>(
            ProviderSettings{options.providerUrl, options.providerKey, options.modelName(), options.providerTimeoutSeconds * 1000});
    formTokens_ = std::make_unique<FormTokens>(*db_);
    dashboard_ = std::make_unique<DashboardEndpoint>(
        *usage_, *formTokens_, DashboardEndpoint::Settings{options.allowedHosts, options.allowedUsers, serviceDescription(options)});
    router_ = std::make_unique<RequestRouter>(*usage_, sessions_, RequestRouter::Settings{options.allowedHosts, options.allowedUsers},
                                              provider_.get(), dashboard_.get());
    if (options.agentProvider)
        agentEngine_ = std::make_unique<AgentModelEngine>(AgentModelSettings{
            *options.agentProvider, options.agentBaseUrl(), options.agentKey, options.agentModelName(), options.agentTimeoutSeconds * 1000});
    else
        agentEngine_ = std::make_unique<LocalPlannerEngine>();
    agent_ = std::make_unique<AgentEndpoint>(*agentEngine_, *usage_);
    router_->setAgentEndpoint(agent_.get());

    if (options.scenario)
        engines_ = std::make_unique<ScenarioEngineFactory>(std::make_shared<const Scenario>(loadScenario(*options.scenario)));
    else if (offlineSpeechInstalled())
        engines_ = std::make_unique<SpeechEngineFactory>(installedAppNames);
    else {
        logLine("[twk/server] no speech model in " + speechModelDirectory() + " (install pocketsphinx-en-us): turns get a reply without words");
        engines_ = std::make_unique<DemoEngineFactory>();
    }
    if (options.record) recorder_ = std::make_unique<MessageRecorder>(*options.record);

    realtime_ = std::make_unique<RealtimeEndpoint>(*engines_, recorder_.get(), *usage_, sessions_, provider_.get());
    ConnectionLimits::Caps caps;
    caps.total = ConnectionLimits::affordableTotal(caps.total);
    caps.perPeer = std::min(caps.perPeer, caps.total);
    http_ = std::make_unique<HttpServer>(*router_, [this](QTcpSocket* socket, const RealtimeGrant& grant) { realtime_->adopt(socket, grant); }, HttpLimits{}, caps);
}

TarnwickServer::~TarnwickServer() = default;

void TarnwickServer::listen()
{
    const QHostAddress address(QString::fromStdString(options_.address));
    if (address.isNull()) throw Error("twk.server", 2, "--address needs an IP address such as 127.0.0.1, not " + options_.address);
    // The key pays for every session: beyond loopback, only known installations may use it.
    if ((options_.upstream() || !options_.agentKey.empty()) && !address.isLoopback() && options_.allowedUsers.empty())
        throw Error("twk.server", 4,
                    "refusing to listen on " + options_.address + " with a provider key and no allow-user: anyone who "
                    "reaches the server could spend the provider account; add allow-user = ID for each installation "
                    "(twk.userId in its ~/.config/tarnwick/tarnwick.conf)");
    if (!http_->listen(address, quint16(options_.port)))
        throw Error("twk.server", 3, "cannot listen on " + options_.address + ":" + std::to_string(options_.port) + ": " +
                                         http_->errorString().toStdString());
}

std::string TarnwickServer::origin() const
{
    const QHostAddress address(QString::fromStdString(options_.address));
    const std::string host = address.protocol() == QAbstractSocket::IPv6Protocol ? "[" + options_.address + "]" : options_.address;
    return "http://" + host + ":" + std::to_string(http_->port());
}

void TarnwickServer::shutdown()
{
    http_->close();
    realtime_->closeAll();
    QDeadlineTimer deadline(1000);
    while (!deadline.hasExpired() && realtime_->openSessions() > 0) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

} // namespace twk::server
