#pragma once

#include <stdexcept>
#include <string>

namespace twk {

/// A failure with the domain, code and description the rest of the system
/// reports ("twk.backend", "twk.audio", ...). Operations that raise throw it;
/// operations that return a result or an error carry it in `Expected`.
class Error : public std::runtime_error {
public:
    Error(std::string domain, int code, std::string description);

    const std::string& domain() const noexcept { return domain_; }
    int code() const noexcept { return code_; }
    const std::string& description() const noexcept { return description_; }

    friend bool operator==(const Error& a, const Error& b)
    {
        return a.domain_ == b.domain_ && a.code_ == b.code_ && a.description_ == b.description_;
    }

private:
    std::string domain_;
    int code_;
    std::string description_;
};

} // namespace twk
