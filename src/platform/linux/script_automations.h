#pragma once

#include "platform/automations.h"

namespace twk {

/// The user's automations as executable files (scripts or programs) in
/// $XDG_CONFIG_HOME/tarnwick/shortcuts/: an automation's name is its file
/// name. Each runs with no arguments, in a process group of its own.
class ScriptAutomations : public Automations {
public:
    /// The folder from the environment.
    ScriptAutomations();
    explicit ScriptAutomations(std::string folder) : folder_(std::move(folder)) {}

    std::string folder() const override;
    AutomationRun run(const std::string& name, const std::optional<std::string>& input,
                      std::chrono::milliseconds timeLimit) override;

private:
    std::string folder_;
};

} // namespace twk
