#include "platform/linux/linux_workspace.h"

#include "platform/linux/desktop_entries.h"
#include "platform/linux/desktop_entry_match.h"
#include "platform/linux/ewmh_windows.h"
#include "platform/linux/gio_launcher.h"
#include "platform/linux/process_identity.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <unordered_set>

namespace twk {
namespace {

constexpr auto reconnectInterval = std::chrono::seconds(2);

std::string displayFromEnvironment()
{
    const char* display = std::getenv("DISPLAY");
    return display != nullptr ? display : "";
}

/// The first window of each process, and whether the process counts as regular.
struct WindowOwner {
    WindowFacts firstWindow;
    bool regular = false;
};

/// Processes owning managed windows, then those owning only unmanaged ones.
/// Regular: a window of work of its own, and no part in running the desktop
/// (neither the window manager nor the owner of a panel or the background).
std::vector<WindowOwner> owners(const std::vector<WindowFacts>& managed, const std::vector<WindowFacts>& unmanaged,
                                int windowManagerPid)
{
    std::vector<WindowOwner> result;
    std::unordered_set<int> desktopParts;
    if (windowManagerPid > 0) desktopParts.insert(windowManagerPid);
    // This agent too: its tray panels and HUD are not an application to act on.
    desktopParts.insert(::getpid());
    for (const auto& window : managed) {
        if (window.pid <= 0) continue;
        if (window.desktopComponent) desktopParts.insert(window.pid);
        auto it = std::find_if(result.begin(), result.end(),
                               [&](const WindowOwner& o) { return o.firstWindow.pid == window.pid; });
        if (it == result.end()) it = result.insert(result.end(), {window, false});
        it->regular = it->regular || !window.desktopComponent;
    }
    for (auto& owner : result) owner.regular = owner.regular && desktopParts.count(owner.firstWindow.pid) == 0;
    std::unordered_set<int> seen;
    for (const auto& owner : result) seen.insert(owner.firstWindow.pid);
    for (const auto& window : unmanaged)
        if (window.pid > 0 && !window.className.empty() && seen.insert(window.pid).second)
            result.push_back({window, false});
    return result;
}

InstalledApplication installedApplication(const DesktopEntry& entry)
{
    return {entry.id, entry.name, entry.genericName, entry.keywords};
}

} // namespace

LinuxWorkspace::LinuxWorkspace(std::string displayName)
    : displayName_(displayName.empty() ? displayFromEnvironment() : std::move(displayName)),
      launcher_(std::make_unique<GioLauncher>(displayName_))
{
}

LinuxWorkspace::~LinuxWorkspace() = default;

EwmhWindows* LinuxWorkspace::windows()
{
    if (windows_ && windows_->usable()) return windows_.get();
    windows_.reset();
    const auto now = std::chrono::steady_clock::now();
    if (displayName_.empty() || (lastAttempt_ != decltype(lastAttempt_){} && now - lastAttempt_ < reconnectInterval))
        return nullptr;
    lastAttempt_ = now;
    windows_ = EwmhWindows::open(displayName_);
    return windows_.get();
}

std::vector<RunningApplication> LinuxWorkspace::runningApplications()
{
    std::vector<WindowOwner> found;
    {
        std::lock_guard lock(mutex_);
        auto* x = windows();
        if (x == nullptr) return {};
        const auto managed = x->clientList();
        const auto unmanaged = x->unmanagedTopLevels(managed);
        found = owners(x->describe(managed), x->describe(unmanaged), x->windowManagerPid());
    }
    if (found.empty()) return {};

    const auto entries = installedDesktopEntries();
    std::vector<RunningApplication> apps;
    for (const auto& owner : found) {
        auto identity = readProcessIdentity(owner.firstWindow.pid);
        identity.instanceName = owner.firstWindow.instanceName;
        identity.className = owner.firstWindow.className;
        RunningApplication app;
        app.pid = owner.firstWindow.pid;
        app.regular = owner.regular;
        if (const auto* entry = matchDesktopEntry(entries, identity)) {
            app.applicationId = entry->id;
            app.localizedName = entry->name;
        } else if (!identity.className.empty()) {
            app.localizedName = identity.className;
        }
        apps.push_back(std::move(app));
    }
    return apps;
}

std::optional<int> LinuxWorkspace::frontmostApplicationPid()
{
    std::lock_guard lock(mutex_);
    auto* x = windows();
    if (x == nullptr) return std::nullopt;
    const auto active = x->activeWindow();
    if (!active) return std::nullopt;
    const auto facts = x->describe({*active});
    if (facts.empty() || facts.front().pid <= 0) return std::nullopt;
    if (facts.front().pid != ::getpid()) return facts.front().pid;
    // Our own panel has the focus (the user opened the popover): the user's
    // application is the one just below it, which had the focus before.
    const auto stacked = x->describe(x->stackingOrder());
    const auto below = std::find_if(stacked.rbegin(), stacked.rend(), [](const WindowFacts& w) {
        return w.pid > 0 && w.pid != ::getpid() && !w.desktopComponent;
    });
    if (below == stacked.rend()) return std::nullopt;
    return below->pid;
}

bool LinuxWorkspace::activate(int pid)
{
    if (pid <= 0) return false;
    std::lock_guard lock(mutex_);
    auto* x = windows();
    if (x == nullptr) return false;
    const auto stacked = x->describe(x->stackingOrder());
    const auto topmost = std::find_if(stacked.rbegin(), stacked.rend(), [&](const WindowFacts& w) { return w.pid == pid; });
    return topmost != stacked.rend() && x->requestActivation(topmost->window);
}

bool LinuxWorkspace::terminate(int pid)
{
    // kill() treats 0 and negative ids as whole process groups.
    if (pid <= 0 || pid == ::getpid() || !processIsRunning(pid)) return false;
    bool asked = false;
    {
        std::lock_guard lock(mutex_);
        auto* x = windows();
        if (x == nullptr) return false;
        const auto managed = x->describe(x->clientList());
        // Quitting the window manager, a panel or a tray program would take
        // a piece of the desktop with it.
        const auto all = owners(managed, {}, x->windowManagerPid());
        const bool regular = std::any_of(all.begin(), all.end(), [&](const WindowOwner& o) {
            return o.firstWindow.pid == pid && o.regular;
        });
        if (!regular) return false;
        for (const auto& window : managed)
            if (window.pid == pid) asked = x->requestClose(window.window) || asked;
    }
    // A last resort for an application none of whose windows could be asked.
    return asked || ::kill(pid, SIGTERM) == 0;
}

std::vector<InstalledApplication> LinuxWorkspace::installedApplications()
{
    const auto described = catalogue_.current();
    std::vector<InstalledApplication> apps;
    for (const auto& entry : installedDesktopEntries()) {
        if (!entry.shown) continue;
        auto app = installedApplication(entry);
        if (const auto it = described->find(entry.id); it != described->end()) {
            app.summary = it->second.summary;
            app.keywords.insert(app.keywords.end(), it->second.keywords.begin(), it->second.keywords.end());
        }
        apps.push_back(std::move(app));
    }
    return apps;
}

std::optional<InstalledApplication> LinuxWorkspace::applicationWithId(const std::string& applicationId)
{
    const auto entry = desktopEntryWithId(applicationId);
    if (!entry) return std::nullopt;
    return installedApplication(*entry);
}

void LinuxWorkspace::launch(const InstalledApplication& application, LaunchCompletion completion)
{
    launcher_->launch(application.applicationId, std::move(completion));
}

bool LinuxWorkspace::openURL(const std::string& url)
{
    return launcher_->openURL(url);
}

} // namespace twk
