#pragma once

#include "common/main_loop.h"

#include <functional>
#include <string>
#include <vector>

namespace twk {

/// Handles URLs opened into the application (tarnwick://refresh and the like).
/// The scheme is not looked at: the desktop entry decides which scheme reaches us.
class UrlRouter {
public:
    UrlRouter(MainLoop& loop, std::function<void()> refreshStatus);

    /// Logs each URL; one whose host is exactly "refresh" or whose path is
    /// exactly "/refresh" schedules one status refresh on the main loop.
    void open(const std::vector<std::string>& urls);

private:
    MainLoop& loop_;
    std::function<void()> refreshStatus_;
};

} // namespace twk
