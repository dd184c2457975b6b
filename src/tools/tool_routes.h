#pragma once

#include "common/task.h"
#include "tools/argument_readers.h"
#include "tools/tool_result.h"

#include <functional>
#include <map>
#include <stdexcept>
#include <string>

namespace twk {

/// Runs one tool with its parsed arguments.
using ToolHandler = std::function<Task<ToolResult>(const ToolArgs&)>;

/// The dispatcher's table from tool name (exact, case-sensitive) to handler.
/// Each subsystem adds the names it owns.
class ToolRoutes {
public:
    void add(const std::string& name, ToolHandler handler)
    {
        if (!handlers_.emplace(name, std::move(handler)).second)
            throw std::logic_error("tool route added twice: " + name);
    }

    /// The handler for `name`, or null when no route has that name.
    const ToolHandler* find(const std::string& name) const
    {
        const auto it = handlers_.find(name);
        return it == handlers_.end() ? nullptr : &it->second;
    }

private:
    std::map<std::string, ToolHandler> handlers_;
};

} // namespace twk
