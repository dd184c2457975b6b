#include "common/log.h"
#include "common/text_case.h"
#include "skills/app_description.h"
#include "skills/skills.h"

#include <algorithm>
#include <chrono>
#include <iterator>

namespace twk {
namespace {

constexpr double focusWaitSeconds = 0.6;
constexpr auto launchWait = std::chrono::seconds(6);
constexpr auto frontmostPoll = std::chrono::milliseconds(30);

/// What a launch reported within the wait; nothing reported counts as started.
struct LaunchReport {
    std::optional<std::string> error;
};

/// The first application whose lower-cased name equals `q`, or (`partly`)
/// contains it.
std::optional<InstalledApplication> firstNamed(const std::vector<InstalledApplication>& apps, const std::string& q,
                                               bool partly)
{
    if (isBlank(q)) return std::nullopt;
    for (const auto& app : apps) {
        const std::string name = lowercased(app.name);
        if (partly ? name.find(q) != std::string::npos : name == q) return app;
    }
    return std::nullopt;
}

/// The three passes of findRunningApp over `apps`.
std::optional<RunningApplication> bestRunningMatch(const std::vector<RunningApplication>& apps,
                                                   const std::string& matching)
{
    // A blank name would "contain" in every name: quitting it must not pick
    // some application at random.
    if (isBlank(matching)) return std::nullopt;
    const std::string q = lowercased(matching);
    const auto firstWhere = [&](auto&& hit) -> std::optional<RunningApplication> {
        const auto it = std::find_if(apps.begin(), apps.end(), hit);
        if (it == apps.end()) return std::nullopt;
        return *it;
    };
    if (auto app = firstWhere([&](const RunningApplication& a) {
            return !a.applicationId.empty() && lowercased(a.applicationId) == q;
        }))
        return app;
    if (auto app = firstWhere([&](const RunningApplication& a) {
            return a.localizedName && lowercased(*a.localizedName) == q;
        }))
        return app;
    return firstWhere([&](const RunningApplication& a) {
        return a.localizedName && lowercased(*a.localizedName).find(q) != std::string::npos;
    });
}

/// The application in `running` that `q` describes ("calculator" finds a
/// running Galculator), judged by its installed entry.
std::optional<RunningApplication> runningDescribedAs(const std::vector<RunningApplication>& running,
                                                     const std::vector<InstalledApplication>& installed,
                                                     const std::string& q)
{
    std::vector<InstalledApplication> entries;
    std::copy_if(installed.begin(), installed.end(), std::back_inserter(entries), [&](const InstalledApplication& e) {
        return std::any_of(running.begin(), running.end(),
                           [&](const RunningApplication& a) { return a.applicationId == e.applicationId; });
    });
    auto entry = firstOfKind(entries, q);
    if (!entry) entry = firstDescribedAs(entries, q);
    if (!entry) return std::nullopt;
    return *std::find_if(running.begin(), running.end(),
                         [&](const RunningApplication& a) { return a.applicationId == entry->applicationId; });
}

} // namespace

std::optional<RunningApplication> Skills::findRunningApp(const std::string& matching)
{
    return bestRunningMatch(s_.workspace.runningApplications(), matching);
}

Task<bool> Skills::waitForFrontmost(int pid, double timeoutSeconds)
{
    const auto deadline = s_.loop.now() + seconds(timeoutSeconds);
    while (s_.loop.now() < deadline) {
        if (s_.workspace.frontmostApplicationPid() == pid) co_return true;
        co_await sleepFor(s_.loop, frontmostPoll);
    }
    logLine("[twk] waitForFrontmost: timed out waiting for pid " + std::to_string(pid));
    co_return false;
}

std::optional<InstalledApplication> Skills::findAppURL(const std::string& q)
{
    // An equal name is contained too: the earlier entry wins either way.
    return firstNamed(s_.workspace.installedApplications(), q, true);
}

Task<std::string> Skills::openApp(std::string name)
{
    std::optional<RunningApplication> running = findRunningApp(name);
    std::optional<InstalledApplication> candidate;
    if (!running) {
        // Candidates in order: the identifier as given, the entry named (or,
        // for a generic name, described) exactly so, then any entry whose name
        // contains it, then one whose description mentions it.
        if (!isBlank(name)) candidate = s_.workspace.applicationWithId(name);
        if (!candidate) {
            const auto installed = s_.workspace.installedApplications();
            const std::string q = lowercased(name);
            candidate = firstNamed(installed, q, false);
            if (!candidate) candidate = firstOfKind(installed, q);
            if (!candidate) candidate = firstNamed(installed, q, true);
            if (!candidate) candidate = firstDescribedAs(installed, q);
        }
        if (!candidate) co_return err("no app matching " + name);
        // Found by what it is rather than its name, it may be running already.
        const auto apps = s_.workspace.runningApplications();
        const auto same = std::find_if(apps.begin(), apps.end(), [&](const RunningApplication& a) {
            return a.regular && a.applicationId == candidate->applicationId;
        });
        if (same != apps.end()) running = *same;
    }
    if (running) {
        const bool accepted = s_.workspace.activate(running->pid);
        auto wait = waitForFrontmost(running->pid, focusWaitSeconds);
        co_await std::move(wait);
        if (!accepted) co_return err("could not focus " + name);
        co_return ok("focused " + running->localizedName.value_or(name));
    }
    auto launched = launch(*candidate);
    co_return co_await std::move(launched);
}

Task<std::string> Skills::launch(InstalledApplication candidate)
{
    auto start = [this, &candidate](std::function<void(LaunchReport)> done) {
        // Whichever comes first: the launch's own report or the end of the wait.
        s_.loop.after(launchWait, [done] { done(LaunchReport{}); });
        s_.workspace.launch(candidate, [done](std::optional<std::string> error) { done(LaunchReport{std::move(error)}); });
    };
    auto awaited = awaitCallback<LaunchReport>(std::move(start));
    const LaunchReport report = co_await std::move(awaited);
    if (report.error) co_return err("launch failed: " + *report.error);
    co_return ok("opened " + candidate.name);
}

std::string Skills::quitApp(const std::string& name)
{
    // Only applications the user works in are quit: matching the others
    // first could take down the window manager or a panel ("box" → Openbox).
    const auto apps = s_.workspace.runningApplications();
    std::vector<RunningApplication> regular;
    std::copy_if(apps.begin(), apps.end(), std::back_inserter(regular), [](const auto& a) { return a.regular; });
    auto running = bestRunningMatch(regular, name);
    if (!running && !isBlank(name))
        running = runningDescribedAs(regular, s_.workspace.installedApplications(), lowercased(name));
    if (!running) {
        if (const auto other = bestRunningMatch(apps, name))
            return err("could not quit " + name + ": " + other->localizedName.value_or(name) +
                       " is part of the desktop or a background program; only applications with windows are quit");
        return err("no running app matches " + name);
    }
    if (!s_.workspace.terminate(running->pid)) return err("could not quit " + name);
    return ok("quit " + running->localizedName.value_or(name));
}

} // namespace twk
