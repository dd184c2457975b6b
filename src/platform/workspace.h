#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace twk {

/// One application process as the desktop sees it.
struct RunningApplication {
    int pid = 0;
    /// Stable identifier of the application (a desktop-entry id on Linux);
    /// empty when the desktop cannot tell.
    std::string applicationId;
    /// The name shown to the user; nothing when the application has none.
    std::optional<std::string> localizedName;
    /// An ordinary application the user switches between, as opposed to a
    /// background agent or an accessory without windows of its own.
    bool regular = false;
};

/// An application installed on the computer that the user can launch.
struct InstalledApplication {
    /// Stable identifier, the same kind as RunningApplication::applicationId.
    std::string applicationId;
    /// The name shown to the user, often a brand ("Mousepad").
    std::string name;
    /// What kind of application it is ("Text Editor"); empty when unknown.
    std::string genericName = {};
    /// Words people look for it by ("text", "editor").
    std::vector<std::string> keywords = {};
    /// A one-line description ("a simple text editor"); empty when unknown.
    std::string summary = {};
};

/// The user's running and installed applications and the default handlers
/// for URLs. Implementations are callable from any thread; every call
/// returns promptly (launch reports later through its completion).
class Workspace {
public:
    virtual ~Workspace() = default;

    /// Every running application, in the desktop's own order.
    virtual std::vector<RunningApplication> runningApplications() = 0;
    /// The process id of the application the user is working in; nothing
    /// when no application is in front.
    virtual std::optional<int> frontmostApplicationPid() = 0;
    /// Brings the application forward, ignoring other applications. False
    /// when the request was refused (for example: it has no window).
    virtual bool activate(int pid) = 0;
    /// Asks the application to quit the way the user would, letting it save
    /// or ask first. False when the request was refused, and always for
    /// anything but a regular application: the desktop's own processes (its
    /// window manager, shell and panels), background programs and this
    /// program itself are never quit.
    virtual bool terminate(int pid) = 0;

    /// Installed applications the user can launch, in the desktop's listing
    /// order.
    virtual std::vector<InstalledApplication> installedApplications() = 0;
    /// The installed application with exactly this identifier.
    virtual std::optional<InstalledApplication> applicationWithId(const std::string& applicationId) = 0;

    /// Called once, from any thread: nothing on success, else the failure's
    /// description for the user.
    using LaunchCompletion = std::function<void(std::optional<std::string> error)>;
    /// Starts the application.
    virtual void launch(const InstalledApplication& application, LaunchCompletion completion) = 0;

    /// Opens a URL ("https:", "file:", any scheme with a registered handler)
    /// in its default handler. False when no handler accepted it.
    virtual bool openURL(const std::string& url) = 0;
};

} // namespace twk
