#include "tools/skill_routes.h"

#include <functional>

namespace twk {

Task<ToolResult> offMain(WorkerPool& workers, std::function<std::string()> skill)
{
    co_await onWorker(workers);
    co_return ToolResult::textResult(skill());
}

Task<ToolResult> offMain(WorkerPool& workers, std::function<Task<std::string>()> skill)
{
    co_await onWorker(workers);
    auto running = skill();
    co_return ToolResult::textResult(co_await std::move(running));
}

void addSkillRoutes(ToolRoutes& routes, Skills& skills, WorkerPool& workers, InputSynthesis* input)
{
    using Sync = std::function<std::string()>;
    using Async = std::function<Task<std::string>()>;
    routes.add("open_app", [&skills, &workers](const ToolArgs& args) {
        return offMain(workers, Async([&skills, name = strArg(args, "name")] { return skills.openApp(name); }));
    });
    routes.add("quit_app", [&skills, &workers](const ToolArgs& args) {
        return offMain(workers, Sync([&skills, name = strArg(args, "name")] { return skills.quitApp(name); }));
    });
    routes.add("play_pause_media", [&skills, &workers](const ToolArgs&) {
        return offMain(workers, Sync([&skills] { return skills.playPauseMedia(); }));
    });
    routes.add("next_track",
               [&skills, &workers](const ToolArgs&) { return offMain(workers, Sync([&skills] { return skills.nextTrack(); })); });
    routes.add("previous_track",
               [&skills, &workers](const ToolArgs&) { return offMain(workers, Sync([&skills] { return skills.previousTrack(); })); });
    routes.add("play_on_apple_music", [&skills, &workers](const ToolArgs& args) {
        return offMain(workers,
                       Sync([&skills, query = strArg(args, "query")] { return skills.playOnAppleMusic(query); }));
    });
    routes.add("play_on_spotify", [&skills, &workers](const ToolArgs& args) {
        return offMain(workers,
                       Async([&skills, query = strArg(args, "query")] { return skills.playOnSpotify(query); }));
    });
    routes.add("set_volume", [&skills, &workers](const ToolArgs& args) {
        return offMain(workers, Sync([&skills, percent = doubleArg(args, "percent").value_or(50)] {
                           return skills.setVolume(percent);
                       }));
    });
    routes.add("set_dark_mode", [&skills, &workers](const ToolArgs& args) {
        return offMain(workers,
                       Sync([&skills, on = boolArg(args, "on").value_or(true)] { return skills.setDarkMode(on); }));
    });
    routes.add("set_wifi", [&skills, &workers](const ToolArgs& args) {
        return offMain(workers, Sync([&skills, on = boolArg(args, "on").value_or(true)] { return skills.setWifi(on); }));
    });
    routes.add("open_url", [&skills, &workers](const ToolArgs& args) {
        return offMain(workers, Sync([&skills, url = strArg(args, "url")] { return skills.openURL(url); }));
    });
    routes.add("search_web", [&skills, &workers](const ToolArgs& args) {
        return offMain(workers, Sync([&skills, query = strArg(args, "query")] { return skills.searchWeb(query); }));
    });
    routes.add("spotlight_search", [&skills, &workers, input](const ToolArgs& args) {
        return offMain(workers,
                       Async([&skills, input, query = strArg(args, "query")] { return skills.spotlight(query, input); }));
    });
    routes.add("run_shortcut", [&skills, &workers](const ToolArgs& args) {
        return offMain(workers, Sync([&skills, name = strArg(args, "name"), input = optStrArg(args, "input")] {
                           return skills.runShortcut(name, input);
                       }));
    });
}

} // namespace twk
