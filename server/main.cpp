// tarnwick-server: the command line and the process around TarnwickServer.

#include "common/error.h"
#include "common/log.h"
#include "platform/linux/quit_signals.h"
#include "server_options.h"
#include "tarnwick_server.h"

#include <QCoreApplication>

#include <iostream>

int main(int argc, char** argv)
{
    using namespace twk;
    using namespace twk::server;

    const ParsedCommandLine command = parseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
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
