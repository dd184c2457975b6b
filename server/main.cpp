// tarnwick-server: the command line and the process around TarnwickServer.

#include "common/error.h"
#include "common/log.h"
#include "platform/linux/quit_signals.h"
#include "server_config.h"
#include "tarnwick_server.h"

#include <QCoreApplication>

#include <cstdlib>
#include <iostream>

int main(int argc, char** argv)
{
    using namespace twk;
    using namespace twk::server;

    const ParsedCommandLine command =
        loadServerOptions(std::vector<std::string>(argv + 1, argv + argc), [](const std::string& name) -> std::optional<std::string> {
            const char* value = std::getenv(name.c_str());
            return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
        });
    if (!command.options) {
        (command.exitCode == 0 ? std::cout : std::cerr) << (command.exitCode == 0 ? "" : "tarnwick-server: ") << command.text;
        if (command.exitCode != 0) std::cerr << "\n";
        return command.exitCode;
    }

    QCoreApplication app(argc, argv);
    QuitSignals quitSignals("[twk/server]"); // before "listening": a signal from then on ends the run cleanly
    try {
        TarnwickServer server(*command.options);
        server.listen();
        const ServerOptions& o = *command.options;
        if (o.configFile) logLine("[twk/server] configuration from " + *o.configFile);
        logLine(o.upstream() ? "[twk/server] realtime sessions relayed to " + o.providerUrl + " (model " + o.modelName() + ")"
                             : std::string("[twk/server] realtime sessions answered here (") + (o.scenario ? "scenario" : "demo replies") + ")");
        logLine(o.agentProvider ? "[twk/server] agent rounds answered by the " + *o.agentProvider + " model " + o.agentModelName() +
                                      " at " + o.agentBaseUrl()
                                : std::string("[twk/server] agent rounds answered by the local planner"));
        logLine("[twk/server] plan " + o.plan + ": " +
                (o.quotaMinutes > 0 ? std::to_string(o.quotaMinutes) + " minutes a month" : std::string("unlimited (metered)")));
        logLine("[twk/server] listening on " + server.origin() + " (data in " + server.dataDir() + ")");
        QCoreApplication::exec();
        server.shutdown();
        logLine("[twk/server] stopped");
        return 0;
    } catch (const Error& e) {
        std::cerr << "tarnwick-server: " << e.description() << "\n";
        return 1;
    }
}
