#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace twk {

/// The voice session's state as the user sees it.
struct SessionStatus {
    enum class Kind { off, connecting, listening, acting, error };

    Kind kind = Kind::off;
    std::string message; // only for `error`

    static SessionStatus off() { return {Kind::off, {}}; }
    static SessionStatus connecting() { return {Kind::connecting, {}}; }
    static SessionStatus listening() { return {Kind::listening, {}}; }
    static SessionStatus acting() { return {Kind::acting, {}}; }
    static SessionStatus error(std::string message) { return {Kind::error, std::move(message)}; }

    friend bool operator==(const SessionStatus& a, const SessionStatus& b)
    {
        return a.kind == b.kind && (a.kind != Kind::error || a.message == b.message);
    }
};

/// How much the assistant says, in the order the settings offer it.
enum class Verbosity { silent, brief, normal, chatty };

inline constexpr std::array<Verbosity, 4> allVerbosities{Verbosity::silent, Verbosity::brief, Verbosity::normal,
                                                         Verbosity::chatty};

std::string_view rawValue(Verbosity v);
std::optional<Verbosity> verbosityFromRaw(std::string_view raw);

enum class StepState { pending, doing, done, failed };

std::string_view rawValue(StepState s);
std::optional<StepState> stepStateFromRaw(std::string_view raw);

/// One line of the plan checklist; `id` is its 0-based position.
struct TaskStep {
    int id = 0;
    std::string text;
    StepState state = StepState::pending;
    std::string detail;

    friend bool operator==(const TaskStep&, const TaskStep&) = default;
};

} // namespace twk
