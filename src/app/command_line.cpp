#include "app/command_line.h"

#include "app/relauncher.h"
#include "common/url.h"

namespace twk {

Command parseCommandLine(const std::vector<std::string>& args)
{
    Command cmd;
    const auto invalid = [](std::string error) {
        Command c;
        c.kind = Command::Kind::invalid;
        c.error = std::move(error);
        return c;
    };
    if (!args.empty() && args[0] == "tool") {
        // Everything after the name is the tool's, even when it looks like an
        // option: the dispatcher judges its arguments.
        if (args.size() > 1 && (args[1] == "-h" || args[1] == "--help")) {
            cmd.kind = Command::Kind::help;
            return cmd;
        }
        if (args.size() < 2) return invalid("'tool' needs a tool name");
        if (args.size() > 3) return invalid("'tool' takes a name and one JSON argument text");
        cmd.kind = Command::Kind::tool;
        cmd.toolName = args[1];
        if (args.size() == 3) cmd.toolArgs = args[2];
        return cmd;
    }
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "-h" || arg == "--help") {
            cmd.kind = Command::Kind::help;
            return cmd;
        }
        if (arg == "--version") {
            cmd.kind = Command::Kind::version;
            return cmd;
        }
        if (arg == Relauncher::waitFlag) {
            cmd.waitForInstance = true;
        } else if (i == 0 && arg == "permissions") {
            if (args.size() > 1) return invalid("'permissions' takes no arguments");
            cmd.kind = Command::Kind::permissions;
            return cmd;
        } else if (arg.starts_with("-")) {
            return invalid("unknown option '" + arg + "'");
        } else if (arg.find(':') != std::string::npos) {
            if (!parseUrl(arg)) return invalid("not a valid URL: '" + arg + "'");
            cmd.urls.push_back(arg);
        } else {
            return invalid("unknown command '" + arg + "'");
        }
    }
    return cmd;
}

std::string usageText()
{
    return "Usage: tarnwick [URL...]\n"
           "       tarnwick permissions\n"
           "       tarnwick tool NAME [ARGS_JSON]\n"
           "       tarnwick --help | --version\n"
           "\n"
           "Tarnwick is a desktop voice agent: switch it on from its tray icon and speak.\n"
           "\n"
           "  tarnwick               start the desktop application (one per session)\n"
           "  tarnwick URL...        open tarnwick:// URLs in the running application,\n"
           "                         starting it if needed (tarnwick://refresh refreshes\n"
           "                         the usage figures)\n"
           "  tarnwick permissions   show whether the microphone, the accessibility bus\n"
           "                         and screen capture are usable on this desktop\n"
           "  tarnwick tool NAME [ARGS_JSON]\n"
           "                         run one of the agent's tools, as the speech model\n"
           "                         would, and print its JSON result (for example\n"
           "                         tarnwick tool list_apps); exits with 1 when the\n"
           "                         result says \"ok\": false\n"
           "  --help                 show this text\n"
           "  --version              show the version\n";
}

} // namespace twk
