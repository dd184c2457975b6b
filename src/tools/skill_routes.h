#pragma once

#include "common/worker_pool.h"
#include "skills/skills.h"
#include "tools/tool_routes.h"

#include <functional>

namespace twk {

/// open_app, quit_app, the media keys, the two music tools and the system
/// and web tools. Each starts on a worker thread: the desktop calls behind
/// them may take a moment and must not hold up the main thread.
/// The launcher search types through `input` where it has to.
/// Runs `skill` on a worker and answers its text.
Task<ToolResult> offMain(WorkerPool& workers, std::function<std::string()> skill);
Task<ToolResult> offMain(WorkerPool& workers, std::function<Task<std::string>()> skill);

void addSkillRoutes(ToolRoutes& routes, Skills& skills, WorkerPool& workers, InputSynthesis* input = nullptr);

} // namespace twk
