#pragma once

#include <string>
#include <vector>

namespace twk {

/// What the `tarnwick` command line asks for.
struct Command {
    enum class Kind { app, help, version, permissions, tool, invalid };

    Kind kind = Kind::app;
    std::vector<std::string> urls;  // app: URLs to open (handed to a running instance)
    bool waitForInstance = false;   // app: started by a relaunch
    std::string toolName;           // tool: the tool to run
    std::string toolArgs = "{}";    // tool: its arguments as JSON text
    std::string error;              // invalid: what was wrong
};

Command parseCommandLine(const std::vector<std::string>& args);

std::string usageText();

} // namespace twk
