#pragma once

// The program's commands, each building what it needs and running it.

#include "app/command_line.h"

#include <string>

namespace twk {

int runDesktop(int argc, char** argv, const Command& cmd);
int runPermissions(int argc, char** argv);
int runTool(int argc, char** argv, const Command& cmd);
int runSession(int argc, char** argv, const Command& cmd);

/// Prints "tarnwick: message" to standard error and returns `code`.
int fail(const std::string& message, int code = 1);

} // namespace twk
