#pragma once

#include "common/error.h"

#include <utility>
#include <variant>

namespace twk {

/// A value or the `Error` that prevented it. Used by operations whose callers
/// branch on failure instead of catching it.
template <typename T>
class Expected {
public:
    Expected(T value) : v_(std::move(value)) {}
    Expected(Error error) : v_(std::move(error)) {}

    bool ok() const noexcept { return v_.index() == 0; }
    explicit operator bool() const noexcept { return ok(); }

    T& value() &
    {
        if (!ok()) throw std::get<1>(v_);
        return std::get<0>(v_);
    }
    const T& value() const&
    {
        if (!ok()) throw std::get<1>(v_);
        return std::get<0>(v_);
    }
    T&& value() &&
    {
        if (!ok()) throw std::get<1>(v_);
        return std::get<0>(std::move(v_));
    }
    const Error& error() const { return std::get<1>(v_); }

private:
    std::variant<T, Error> v_;
};

/// Success-or-error for operations with no value.
struct Unit {
    friend bool operator==(Unit, Unit) { return true; }
};
using VoidResult = Expected<Unit>;

} // namespace twk
