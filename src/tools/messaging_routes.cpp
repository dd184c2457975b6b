#include "tools/messaging_routes.h"

#include "tools/desktop_chat_controls.h"
#include "tools/skill_routes.h"

#include <memory>

namespace twk {

void addMessagingRoutes(ToolRoutes& routes, Skills& skills, WorkerPool& workers, MainLoop& loop, InputSynthesis* input,
                        MarkActions* marks)
{
    using Sync = std::function<std::string()>;
    using Async = std::function<Task<std::string>()>;
    routes.add("send_imessage", [&skills, &workers](const ToolArgs& args) {
        return offMain(workers, Sync([&skills, recipient = strArg(args, "recipient"), text = strArg(args, "text")] {
                           return skills.sendIMessage(recipient, text);
                       }));
    });
    routes.add("compose_email", [&skills, &workers](const ToolArgs& args) {
        return offMain(workers, Sync([&skills, to = strArg(args, "to"), subject = optStrArg(args, "subject"),
                                      body = optStrArg(args, "body")] { return skills.composeEmail(to, subject, body); }));
    });
    routes.add("add_reminder", [&skills, &workers](const ToolArgs& args) {
        return offMain(workers, Sync([&skills, text = strArg(args, "text"), when = optStrArg(args, "when")] {
                           return skills.addReminder(text, when);
                       }));
    });
    routes.add("add_calendar_event", [&skills, &workers](const ToolArgs& args) {
        std::optional<long long> minutes;
        if (const auto given = intArg(args, "durationMinutes")) minutes = *given;
        return offMain(workers, Sync([&skills, title = strArg(args, "title"), start = strArg(args, "start"), minutes] {
                           return skills.addCalendarEvent(title, start, minutes);
                       }));
    });
    if (input == nullptr) return;
    auto controls = std::make_shared<DesktopChatControls>(loop, *input, marks);
    routes.add("message_in_app", [&skills, &workers, controls](const ToolArgs& args) {
        return offMain(workers, Async([&skills, controls, app = strArg(args, "app"), person = strArg(args, "person"),
                                       text = strArg(args, "text")] {
                           return skills.messageInApp(app, person, text, *controls);
                       }));
    });
}

} // namespace twk
