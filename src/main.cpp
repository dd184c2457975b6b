// The `tarnwick` program: parses the command line and runs the command.

#include "app/command_line.h"
#include "composition/commands.h"
#include "platform/linux/system_log_sink.h"

#include <iostream>

int main(int argc, char** argv)
{
    using namespace twk;
    setLogSink(systemLogSink("tarnwick"));
    const std::vector<std::string> args(argv + 1, argv + argc);
    const Command cmd = parseCommandLine(args);
    switch (cmd.kind) {
    case Command::Kind::help:
        std::cout << usageText();
        return 0;
    case Command::Kind::version:
        std::cout << "tarnwick " << TARNWICK_VERSION << "\n";
        return 0;
    case Command::Kind::invalid:
        std::cerr << "tarnwick: " << cmd.error << "\nTry 'tarnwick --help'.\n";
        return 2;
    case Command::Kind::permissions:
        return runPermissions(argc, argv);
    case Command::Kind::tool:
        return runTool(argc, argv, cmd);
    case Command::Kind::session:
        return runSession(argc, argv, cmd);
    case Command::Kind::app:
        break;
    }
    return runDesktop(argc, argv, cmd);
}
