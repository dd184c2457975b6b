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
        const size_t first = args.size() > 1 && args[1] == "--local" ? 2 : 1;
        cmd.toolLocal = first == 2;
        if (args.size() <= first) return invalid("'tool' needs a tool name");
        if (args.size() > first + 2) return invalid("'tool' takes a name and one JSON argument text");
        cmd.kind = Command::Kind::tool;
        cmd.toolName = args[first];
        if (args.size() == first + 2) cmd.toolArgs = args[first + 1];
        return cmd;
    }
    if (!args.empty() && args[0] == "session") {
        cmd.kind = Command::Kind::session;
        for (size_t i = 1; i < args.size(); ++i) {
            const std::string& option = args[i];
            if (option == "-h" || option == "--help") {
                cmd.kind = Command::Kind::help;
                return cmd;
            }
            if (option != "--mic-file" && option != "--speaker-file" && option != "--seconds")
                return invalid("unknown session option '" + option + "'");
            if (i + 1 >= args.size() || args[i + 1].empty()) return invalid("'" + option + "' needs a value");
            const std::string& value = args[++i];
            if (option == "--mic-file") {
                cmd.micFile = value;
            } else if (option == "--speaker-file") {
                cmd.speakerFile = value;
            } else {
                size_t used = 0;
                try {
                    cmd.seconds = std::stod(value, &used);
                } catch (const std::exception&) {
                    used = 0;
                }
                if (used != value.size() || !(cmd.seconds > 0) || cmd.seconds > 1e7)
                    return invalid("'--seconds' needs a positive number of seconds, not '" + value + "'");
            }
        }
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
           "       tarnwick tool [--local] NAME [ARGS_JSON]\n"
           "       tarnwick session [--mic-file IN.wav] [--speaker-file OUT.wav] [--seconds N]\n"
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
           "  tarnwick tool [--local] NAME [ARGS_JSON]\n"
           "                         run one of the agent's tools, as the speech model\n"
           "                         would, and print its JSON result (for example\n"
           "                         tarnwick tool list_apps); exits with 1 when the\n"
           "                         result says \"ok\": false. The running application\n"
           "                         runs it when there is one, unless --local is given\n"
           "  tarnwick session       run a voice session without the tray: speak to the\n"
           "                         microphone, hear the answers; ends on Ctrl+C, or\n"
           "                         after --seconds N. --mic-file plays a WAV file as\n"
           "                         the microphone, --speaker-file records the answers\n"
           "                         to a WAV file instead of playing them\n"
           "  --help                 show this text\n"
           "  --version              show the version\n";
}

} // namespace twk
