#pragma once

#include "platform/workspace.h"

#include <stdexcept>

namespace twk::test {

/// A desktop in memory: the test sets what is running and installed and
/// reads back what was asked of it.
class FakeWorkspace : public Workspace {
public:
    std::vector<RunningApplication> apps;
    std::optional<std::string> failure; // thrown by runningApplications when set
    std::optional<int> frontmost;
    bool activationAccepted = true;
    bool terminationAccepted = true;
    /// Activating makes the application frontmost at once.
    bool activationBringsToFront = true;
    std::vector<InstalledApplication> installed;
    /// openURL answers this for every URL.
    bool openAccepted = true;

    std::vector<int> activated;
    std::vector<int> terminated;
    std::vector<std::string> opened;
    std::vector<InstalledApplication> launched;
    /// The completion of each launch, for the test to call (or not).
    std::vector<LaunchCompletion> launchCompletions;

    std::vector<RunningApplication> runningApplications() override
    {
        if (failure) throw std::runtime_error(*failure);
        return apps;
    }
    std::optional<int> frontmostApplicationPid() override { return frontmost; }
    bool activate(int pid) override
    {
        activated.push_back(pid);
        if (activationAccepted && activationBringsToFront) frontmost = pid;
        return activationAccepted;
    }
    bool terminate(int pid) override
    {
        terminated.push_back(pid);
        return terminationAccepted;
    }
    std::vector<InstalledApplication> installedApplications() override { return installed; }
    std::optional<InstalledApplication> applicationWithId(const std::string& applicationId) override
    {
        for (const auto& app : installed)
            if (app.applicationId == applicationId) return app;
        return std::nullopt;
    }
    void launch(const InstalledApplication& application, LaunchCompletion completion) override
    {
        launched.push_back(application);
        launchCompletions.push_back(std::move(completion));
    }
    bool openURL(const std::string& url) override
    {
        opened.push_back(url);
        return openAccepted;
    }
};

} // namespace twk::test
