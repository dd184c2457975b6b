#pragma once

// The program's commands, each building what it needs and running it.

#include "app/command_line.h"

#include <string>

namespace twk {

int runDesktop(int argc, char** argv, const Command& cmd);
int runPermissions(int argc, char** argv);
int runTool(int argc, char** argv, const Command& cmd);
int runSession(int argc, char** argv, const Command& cmd);

struct Core;
class SingleInstance;
/// Has `core` run the tool calls that `tarnwick tool` hands to this running instance.
void serveForwardedTools(Core& core, SingleInstance& instance);

/// Prints "tarnwick: message" to standard error and returns `code`.
int fail(const std::string& message, int code = 1);

} // namespace twk
