#pragma once

#include "common/task.h"
#include "fakes/virtual_main_loop.h"

#include <exception>
#include <memory>
#include <optional>
#include <stdexcept>

namespace twk::test {

/// Spawns `task` on the virtual loop and drives the loop (posted work only,
/// no virtual time passes) until it ends; returns its value or rethrows.
/// Work the task hands to other threads is waited for in real time.
template <typename T>
T runTask(VirtualMainLoop& loop, Task<T> task)
{
    struct Outcome {
        bool done = false;
        std::exception_ptr error;
        std::optional<std::conditional_t<std::is_void_v<T>, int, T>> value;
    };
    auto outcome = std::make_shared<Outcome>();
    spawn(loop, [](VirtualMainLoop& l, Task<T> t, std::shared_ptr<Outcome> out) -> Task<void> {
        try {
            if constexpr (std::is_void_v<T>) {
                co_await std::move(t);
                out->value.emplace(0);
            } else {
                out->value.emplace(co_await std::move(t));
            }
        } catch (...) {
            out->error = std::current_exception();
        }
        co_await onMain(l); // the task may have ended on another thread
        out->done = true;
    }(loop, std::move(task), outcome));
    if (!loop.runUntil([&] { return outcome->done; })) throw std::runtime_error("task did not finish");
    if (outcome->error) std::rethrow_exception(outcome->error);
    if constexpr (!std::is_void_v<T>) return std::move(*outcome->value);
}

/// Starts `task` on the virtual loop and runs what is posted; the task then
/// waits for virtual time (`loop.advance`) or callbacks. The returned slot
/// holds the value once the task has ended.
template <typename T>
std::shared_ptr<std::optional<T>> startTask(VirtualMainLoop& loop, Task<T> task)
{
    auto slot = std::make_shared<std::optional<T>>();
    spawn(loop, [](Task<T> t, std::shared_ptr<std::optional<T>> out) -> Task<void> {
        out->emplace(co_await std::move(t));
    }(std::move(task), slot));
    loop.runPosted();
    return slot;
}

} // namespace twk::test
