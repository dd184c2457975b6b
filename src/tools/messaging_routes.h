#pragma once

#include "accessibility/input_synthesis.h"
#include "accessibility/mark_actions.h"
#include "common/worker_pool.h"
#include "skills/skills.h"
#include "tools/tool_routes.h"

namespace twk {

/// send_imessage, compose_email, add_reminder, add_calendar_event and, with
/// `input`, message_in_app (which confirms its recipient through `marks`).
/// Each starts on a worker: phones, mail handlers and calendar stores may
/// take a moment to answer.
void addMessagingRoutes(ToolRoutes& routes, Skills& skills, WorkerPool& workers, MainLoop& loop, InputSynthesis* input,
                        MarkActions* marks);

} // namespace twk
