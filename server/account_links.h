#pragma once

#include "sqlite_database.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace twk::server {

/// The name or e-mail address a person attached to their installation on
/// the account page. It is a local label: nothing here verifies it.
class AccountLinks {
public:
    /// Creates the table on first use.
    explicit AccountLinks(SqliteDatabase& db);

    std::optional<std::string> label(std::string_view userId);
    /// Replaces any earlier label; the label must have passed `checkedLabel`.
    void link(std::string_view userId, std::string_view label, int64_t nowMs);
    void unlink(std::string_view userId);

    static constexpr size_t maxLabelChars = 120;

private:
    SqliteDatabase& db_;
};

/// A label as typed, trimmed; or why it cannot be one (empty, too long, not
/// UTF-8, or holding control or invisible formatting characters, which could
/// make it show as something else in the desktop application).
struct LabelProblem {
    std::string message;
};
std::variant<std::string, LabelProblem> checkedLabel(std::string_view typed);

} // namespace twk::server
