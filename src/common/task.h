#pragma once

// Coroutines for the app's asynchronous operations.
//
// A `Task<T>` is lazy: it starts when awaited. Top-level work starts with
// `spawn(loop, task)`, which runs it from the main loop and owns it until it
// ends. Hops are explicit: `co_await onMain(loop)`, `co_await onWorker(pool)`,
// `co_await sleepFor(loop, d)`. Exceptions thrown in a task come out of the
// `co_await` that awaits it.
//
// Compiler note: g++ 12 destroys twice an aggregate built in place inside a
// `co_await` expression: a lambda with captures, or `Type{...}` of a plain
// struct (a double free when it owns memory). Build those in a named local
// first. Lambdas that capture only references or `this` are harmless, and so
// are awaiters here: none holds anything with a destructor, and
// `awaitCallback` keeps its callable in a frame of its own. The build checks
// src/ for lambdas with value captures and braced temporaries inside a
// `co_await` expression (cmake/check_coroutine_temporaries.cmake).
//
// Lifetime rule: a suspended task is kept alive by whoever holds its
// `Resumer` (a loop's queue, a timer, a worker queue, a callback). When the
// last copy of a Resumer is dropped without being run -- a loop destroyed
// with work pending, a callback never called -- the whole spawned chain is
// destroyed, so nothing leaks and nothing resumes into freed memory.

#include "common/log.h"
#include "common/main_loop.h"
#include "common/worker_pool.h"

#include <atomic>
#include <concepts>
#include <coroutine>
#include <exception>
#include <memory>
#include <optional>
#include <utility>

namespace twk {

namespace detail {

struct PromiseBase {
    PromiseBase* parent = nullptr; // the promise awaiting this one
    std::coroutine_handle<> self;
    std::coroutine_handle<> continuation;
    std::exception_ptr exception;
    bool detached = false; // a spawned root: frees itself
    MainLoop* loop = nullptr; // the loop the chain was spawned on

    void destroyDetachedRoot()
    {
        PromiseBase* root = this;
        while (root->parent != nullptr) root = root->parent;
        if (root->detached) root->self.destroy();
    }
};

template <typename P>
concept TaskPromise = std::derived_from<P, PromiseBase>;

} // namespace detail

/// Resumes one suspended task, at most once, from whichever copy runs first.
class Resumer {
public:
    template <detail::TaskPromise P>
    explicit Resumer(std::coroutine_handle<P> h) : state_(std::make_shared<State>(h, &h.promise()))
    {
    }

    /// Resumes the task unless a copy already did.
    void operator()() const
    {
        if (claim()) resumeClaimed();
    }
    /// Takes the right to resume; lets a caller store a result first.
    bool claim() const { return !state_->claimed.exchange(true, std::memory_order_acq_rel); }
    void resumeClaimed() const { state_->leaf.resume(); }

private:
    struct State {
        State(std::coroutine_handle<> h, detail::PromiseBase* p) : leaf(h), promise(p) {}
        ~State()
        {
            if (!claimed.load(std::memory_order_acquire)) promise->destroyDetachedRoot();
        }
        std::atomic<bool> claimed{false};
        std::coroutine_handle<> leaf;
        detail::PromiseBase* promise;
    };
    std::shared_ptr<State> state_;
};

template <typename T = void>
class Task;

namespace detail {

struct FinalAwaiter {
    bool await_ready() const noexcept { return false; }
    template <TaskPromise P>
    std::coroutine_handle<> await_suspend(std::coroutine_handle<P> h) noexcept
    {
        auto next = h.promise().continuation;
        return next ? next : std::noop_coroutine();
    }
    void await_resume() const noexcept {}
};

template <typename T>
struct TaskPromiseBase : PromiseBase {
    std::suspend_always initial_suspend() const noexcept { return {}; }
    FinalAwaiter final_suspend() const noexcept { return {}; }
    void unhandled_exception() noexcept { exception = std::current_exception(); }
};

template <typename T>
struct TaskPromiseOf : TaskPromiseBase<T> {
    std::optional<T> value;
    Task<T> get_return_object() noexcept;
    template <typename U>
        requires std::convertible_to<U&&, T>
    void return_value(U&& v)
    {
        value.emplace(std::forward<U>(v));
    }
    T take()
    {
        if (this->exception) std::rethrow_exception(this->exception);
        return std::move(*value);
    }
};

template <>
struct TaskPromiseOf<void> : TaskPromiseBase<void> {
    Task<void> get_return_object() noexcept;
    void return_void() const noexcept {}
    void take() const
    {
        if (exception) std::rethrow_exception(exception);
    }
};

} // namespace detail

template <typename T>
class [[nodiscard]] Task {
public:
    using promise_type = detail::TaskPromiseOf<T>;
    using Handle = std::coroutine_handle<promise_type>;

    Task() = default;
    explicit Task(Handle h) noexcept : h_(h) {}
    Task(Task&& o) noexcept : h_(std::exchange(o.h_, {})) {}
    Task& operator=(Task&& o) noexcept
    {
        if (this != &o) {
            reset();
            h_ = std::exchange(o.h_, {});
        }
        return *this;
    }
    Task(const Task&) = delete;
    Task& operator=(const Task&) = delete;
    ~Task() { reset(); }

    bool valid() const noexcept { return static_cast<bool>(h_); }

    struct Awaiter {
        Handle h;
        bool await_ready() const noexcept { return h.done(); }
        template <detail::TaskPromise P>
        std::coroutine_handle<> await_suspend(std::coroutine_handle<P> awaiting) noexcept
        {
            h.promise().continuation = awaiting;
            h.promise().parent = &awaiting.promise();
            h.promise().loop = awaiting.promise().loop;
            return h;
        }
        T await_resume() { return h.promise().take(); }
    };

    Awaiter operator co_await() & noexcept { return Awaiter{h_}; }
    Awaiter operator co_await() && noexcept { return Awaiter{h_}; }

private:
    void reset()
    {
        if (h_) std::exchange(h_, {}).destroy();
    }
    Handle h_;
};

namespace detail {

template <typename T>
Task<T> TaskPromiseOf<T>::get_return_object() noexcept
{
    auto h = std::coroutine_handle<TaskPromiseOf<T>>::from_promise(*this);
    this->self = h;
    return Task<T>(h);
}

inline Task<void> TaskPromiseOf<void>::get_return_object() noexcept
{
    auto h = std::coroutine_handle<TaskPromiseOf<void>>::from_promise(*this);
    self = h;
    return Task<void>(h);
}

/// The root of a spawned chain: starts suspended, frees itself when done.
struct Detached {
    struct promise_type : PromiseBase {
        Detached get_return_object() noexcept
        {
            auto h = std::coroutine_handle<promise_type>::from_promise(*this);
            self = h;
            detached = true;
            return Detached{h};
        }
        std::suspend_always initial_suspend() const noexcept { return {}; }
        std::suspend_never final_suspend() const noexcept { return {}; }
        void return_void() const noexcept {}
        void unhandled_exception() const noexcept { std::terminate(); }
    };
    std::coroutine_handle<promise_type> handle;
};

inline Detached runDetached(Task<void> task)
{
    try {
        co_await std::move(task);
    } catch (const std::exception& e) {
        logLine(std::string("[twk] task failed: ") + e.what());
    } catch (...) {
        logLine("[twk] task failed");
    }
}

} // namespace detail

/// Starts `task` on the main loop's next turn; the loop owns it until it ends.
inline void spawn(MainLoop& loop, Task<void> task)
{
    auto root = detail::runDetached(std::move(task));
    root.handle.promise().loop = &loop;
    loop.post(Resumer(root.handle));
}

namespace detail {

struct MainHop {
    MainLoop& loop;
    bool await_ready() const { return loop.isMainThread(); }
    template <TaskPromise P>
    void await_suspend(std::coroutine_handle<P> h) const
    {
        loop.post(Resumer(h));
    }
    void await_resume() const noexcept {}
};

struct WorkerHop {
    WorkerPool& pool;
    bool await_ready() const { return pool.isWorkerThread(); }
    template <TaskPromise P>
    void await_suspend(std::coroutine_handle<P> h) const
    {
        pool.post(Resumer(h));
    }
    void await_resume() const noexcept {}
};

struct Sleep {
    MainLoop& loop;
    Duration delay;
    bool await_ready() const noexcept { return false; }
    template <TaskPromise P>
    void await_suspend(std::coroutine_handle<P> h) const
    {
        loop.after(delay, Resumer(h));
    }
    void await_resume() const noexcept {}
};

template <typename T, typename Start>
struct CallbackAwaiter {
    Start* start; // in the frame of awaitCallback, which outlives this awaiter
    std::optional<T> result;

    bool await_ready() const noexcept { return false; }
    template <TaskPromise P>
    void await_suspend(std::coroutine_handle<P> h)
    {
        Resumer resumer(h);
        MainLoop* loop = h.promise().loop;
        // Waiting on the main thread: continue there, never inside `start`.
        MainLoop* postTo = loop != nullptr && loop->isMainThread() ? loop : nullptr;
        // `done` may resume inline and end the frame holding `*start`, so
        // `start` must not live there while it runs.
        auto run = std::move(*start);
        // Outside the frame: a late call must not touch an awaiter that is gone.
        auto taken = std::make_shared<std::atomic<bool>>(false);
        run([this, resumer, postTo, taken](T value) {
            if (taken->exchange(true, std::memory_order_acq_rel)) return;
            // The frame lives: this copy of the resumer has neither run nor been dropped.
            result.emplace(std::move(value));
            if (postTo != nullptr)
                postTo->post(resumer); // dropped unrun, it frees the chain
            else
                resumer();
        });
    }
    T await_resume() { return std::move(*result); }
};

} // namespace detail

/// Continues on the main thread (at once when already there).
inline detail::MainHop onMain(MainLoop& loop) { return {loop}; }

/// Continues on a worker thread (at once when already on one of the pool's).
inline detail::WorkerHop onWorker(WorkerPool& pool) { return {pool}; }

/// Waits `delay` on the loop's clock and continues on the main thread.
inline detail::Sleep sleepFor(MainLoop& loop, Duration delay) { return {loop, delay}; }

/// Bridges a callback API into a task: `start` receives a `done` function to
/// call once, from any thread, with the result. The task continues on the
/// main thread when it waited there (always on a later turn of the loop, even
/// when `done` runs inside `start`), else on the thread that called `done`.
/// Later calls of `done` are ignored. If `done` is dropped uncalled, the
/// waiting chain is freed.
template <typename T, typename Start>
Task<T> awaitCallback(Start start)
{
    detail::CallbackAwaiter<T, Start> awaiter{&start, std::nullopt};
    co_return co_await awaiter;
}

} // namespace twk
