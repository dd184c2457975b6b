#pragma once

#include "agent_engine.h"
#include "agent_snapshot.h"
#include "task_intent.h"

#include <set>

namespace twk::server {

/// The agent engine that needs no language model: it understands simple
/// tasks (press a named button, set a named check box or switch on or off,
/// fill a named field, choose a menu path, press a shortcut, scroll, open a
/// URL), finds the named elements in the snapshot by their labels, asks for
/// one action at a time followed by a fresh read of the screen, and says
/// done only when the screen shows the wanted state. Anything else ends at
/// once with a sentence saying what it cannot do.
class LocalPlanner : public AgentConversation {
public:
    void start(const AgentTask& task, AgentAnswer answer) override;
    void next(const AgentTurn& turn, AgentAnswer answer) override;

    /// Tries per step before giving up on an element that does not change.
    static constexpr int maxAttempts = 2;

private:
    AgentReply advance();
    AgentReply giveUp(std::string sentence);
    AgentReply verdict(const std::optional<std::string_view>& screen) const;
    /// The actions for the current step against the current snapshot, or a reply that ends the task.
    std::optional<AgentReply> act(TaskStep& step);
    AgentToolUseOut use(std::string name, nlohmann::json input);
    bool supports(const std::string& tool) const { return tools_.contains(tool); }
    std::optional<std::string> unsupportedTool() const;

    std::set<std::string> tools_;
    std::vector<TaskStep> steps_;
    size_t current_ = 0;
    int attempts_ = 0;
    ScreenSnapshot screen_;
    std::vector<std::string> pendingIds_;
    std::string actionId_; // the pending action's tool use id
    std::string summary_;  // what was done, for the done round
    std::optional<std::string> ended_; // the sentence of a task that ended without success
    int nextId_ = 1;
};

class LocalPlannerEngine : public AgentEngine {
public:
    std::unique_ptr<AgentConversation> open() override { return std::make_unique<LocalPlanner>(); }
    std::string name() const override { return "local planner"; }
};

/// The mark a task names, for the kind of step: the best label match, or null.
const SnapshotMark* findMark(const ScreenSnapshot& screen, const std::string& name, TaskStep::Kind kind);
/// Whether a check box, switch or radio button shows as on; nothing when the mark is no such control.
std::optional<bool> toggleState(const SnapshotMark& mark);

} // namespace twk::server
