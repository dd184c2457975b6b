#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace twk::server {

/// One numbered element as a snapshot line shows it:
/// `[4] checkbox "Dark mode" value="1" ✓selected disabled focused actions=[press,open-menu]`.
struct SnapshotMark {
    int id = 0;
    std::string role; // as shown: "button", "checkbox", "textfield"
    std::string label;
    std::optional<std::string> value;
    bool selected = false;
    bool disabled = false;
    bool focused = false;
};

struct SnapshotMenu {
    std::string title;
    std::vector<std::string> items;
};

/// What a snapshot text (of a window or a web page) says.
struct ScreenSnapshot {
    std::vector<SnapshotMark> marks;
    std::vector<SnapshotMenu> menus;
    const SnapshotMark* mark(int id) const;
};

/// The marks and menus of a snapshot text; lines that are neither are skipped.
ScreenSnapshot parseSnapshot(std::string_view text);
/// One element line (leading blanks allowed), or nothing when it is not one.
std::optional<SnapshotMark> parseMarkLine(std::string_view line);

/// The text after the last "--- CURRENT SCREEN ---" line, if there is one.
std::optional<std::string_view> screenSection(std::string_view text);
/// The text before the first "--- CURRENT SCREEN ---" line (all of it when there is none), trimmed.
std::string_view taskSection(std::string_view text);

} // namespace twk::server
