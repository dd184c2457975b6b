#pragma once

// Observable state: a property announces each assignment to its subscribers
// (with the new value) and to its owner's object-wide subscribers, before the
// value is stored. Everything runs on the main thread, synchronously.

#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace twk {

/// Keeps a subscription alive; dropping or resetting it unsubscribes.
class Subscription {
public:
    Subscription() = default;
    explicit Subscription(std::shared_ptr<void> token) : token_(std::move(token)) {}
    void reset() { token_.reset(); }
    explicit operator bool() const noexcept { return static_cast<bool>(token_); }

private:
    std::shared_ptr<void> token_;
};

/// A list of handlers that tolerates subscribing and unsubscribing from
/// inside a notification: handlers added during one are not called by it;
/// handlers removed during one are not called after their removal.
template <typename... Args>
class HandlerList {
public:
    using Handler = std::function<void(Args...)>;

    Subscription add(Handler fn)
    {
        auto entry = std::make_shared<Handler>(std::move(fn));
        entries_.push_back(entry);
        return Subscription(entry);
    }

    void notify(const Args&... args)
    {
        std::vector<std::weak_ptr<Handler>> snapshot = entries_;
        for (auto& weak : snapshot)
            if (auto fn = weak.lock()) (*fn)(args...);
        std::erase_if(entries_, [](const std::weak_ptr<Handler>& w) { return w.expired(); });
    }

private:
    std::vector<std::weak_ptr<Handler>> entries_;
};

/// Base of objects with observable properties.
class ObservableObject {
public:
    /// Called before any property of the object changes.
    Subscription onWillChange(std::function<void()> fn) { return willChange_.add(std::move(fn)); }
    void notifyWillChange() { willChange_.notify(); }

private:
    HandlerList<> willChange_;
};

/// One observable property. `didSet` is the owner's own hook, run after the
/// value is stored (persisting a setting, for instance).
template <typename T>
class Published {
public:
    Published(ObservableObject& owner, T initial, std::function<void(const T&)> didSet = {})
        : owner_(owner), value_(std::move(initial)), didSet_(std::move(didSet))
    {
    }
    Published(const Published&) = delete;
    Published& operator=(const Published&) = delete;

    const T& get() const noexcept { return value_; }
    const T& operator()() const noexcept { return value_; }

    void set(T value)
    {
        owner_.notifyWillChange();
        subscribers_.notify(value);
        value_ = std::move(value);
        if (didSet_) didSet_(value_);
    }

    /// `fn` receives the new value of every assignment.
    Subscription subscribe(std::function<void(const T&)> fn) { return subscribers_.add(std::move(fn)); }

private:
    ObservableObject& owner_;
    T value_;
    std::function<void(const T&)> didSet_;
    HandlerList<T> subscribers_;
};

} // namespace twk
