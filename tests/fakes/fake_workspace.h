#pragma once

#include "platform/workspace.h"

#include <stdexcept>

namespace twk::test {

class FakeWorkspace : public Workspace {
public:
    std::vector<RunningApplication> apps;
    std::optional<std::string> failure; // thrown by runningApplications when set

    std::vector<RunningApplication> runningApplications() override
    {
        if (failure) throw std::runtime_error(*failure);
        return apps;
    }
};

} // namespace twk::test
