#pragma once

#include <string>
#include <vector>

namespace twk {

/// What the `tarnwick` command line asks for.
struct Command {
    enum class Kind { app, help, version, permissions, tool, session, invalid };

    Kind kind = Kind::app;
    std::vector<std::string> urls;  // app: URLs to open (handed to a running instance)
    bool waitForInstance = false;   // app: started by a relaunch
    std::string toolName;           // tool: the tool to run
    std::string toolArgs = "{}";    // tool: its arguments as JSON text
    bool toolLocal = false;         // tool: run in this process even when the application runs
    std::string micFile;            // session: WAV file played as the microphone ("" = real one)
    std::string speakerFile;        // session: WAV file the speaker writes ("" = real one)
    double seconds = 0;             // session: ends after this long (0 = until SIGINT/SIGTERM)
    std::string error;              // invalid: what was wrong
};

Command parseCommandLine(const std::vector<std::string>& args);

std::string usageText();

} // namespace twk
