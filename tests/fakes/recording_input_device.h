#pragma once

#include "common/main_loop.h"
#include "platform/input.h"
#include "platform/pasteboard.h"

#include <cstdio>
#include <set>
#include <string>
#include <vector>

namespace twk::test {

/// An input device that records what it is asked to post, one line per
/// event, with the loop's time of each.
class RecordingInputDevice : public InputDevice {
public:
    explicit RecordingInputDevice(const MainLoop& loop) : loop_(loop) {}

    struct Event {
        std::string what;
        TimePoint at;
    };
    std::vector<Event> events;
    bool hasDisplay = true;
    bool ownWindowFocused = false;
    /// Which calls fail: key-up events, button-up events, scrolls.
    bool failKeyUp = false, failButtonUp = false, failScroll = false;
    /// Characters it types through lent keys; how many fit at once.
    std::set<std::string> lentCharacters;
    size_t spareKeys = 100;
    /// Keys and modifiers held down now.
    std::set<int> held;
    int finished = 0;

    std::vector<std::string> whats() const
    {
        std::vector<std::string> out;
        for (const auto& e : events) out.push_back(e.what);
        return out;
    }

    bool usable() override { return hasDisplay; }
    bool postKey(int virtualKey, bool down, uint64_t flags) override
    {
        char line[64];
        std::snprintf(line, sizeof line, "key %d %s 0x%llx", virtualKey, down ? "down" : "up",
                      static_cast<unsigned long long>(flags));
        record(line);
        if (!down && failKeyUp) return false;
        if (down) {
            held.insert(virtualKey);
            if (flags != 0) held.insert(-1); // its modifiers
        } else {
            held.clear();
        }
        return true;
    }
    void releaseHeldKeys() override
    {
        record("release held");
        held.clear();
    }
    CharacterBatch prepareCharacters(const std::vector<std::string>& upcoming) override
    {
        // Characters outside the layout take a spare key each; "\x01" cannot be made.
        std::set<std::string> lent;
        size_t count = 0;
        for (const auto& c : upcoming) {
            if (c == "\x01") break;
            if (static_cast<unsigned char>(c[0]) >= 0x80 && !lent.contains(c)) {
                if (lent.size() == spareKeys) break;
                lent.insert(c);
            }
            ++count;
        }
        record("prepare " + std::to_string(count));
        lentCharacters = lent;
        return {count, !lent.empty()};
    }
    bool postCharacter(const std::string& character) override
    {
        record("char " + character);
        return true;
    }
    void finishCharacters() override
    {
        record("finish");
        ++finished;
    }
    Duration keyboardSettleTime() const override { return std::chrono::milliseconds(20); }
    /// How long the target takes to confirm it has read what was typed;
    /// nothing: it cannot be asked.
    std::optional<Duration> confirmAfter = std::chrono::milliseconds(10);
    std::optional<uint64_t> askTargetToConfirm() override
    {
        if (!confirmAfter) return std::nullopt;
        record("ask");
        confirmAt_ = loop_.now() + *confirmAfter;
        return ++tickets_;
    }
    bool targetConfirmed(uint64_t) override { return loop_.now() >= confirmAt_; }
    bool postMouseButton(MouseButton button, bool down, ScreenPoint at, int clickState) override
    {
        char line[96];
        std::snprintf(line, sizeof line, "%s %s (%g,%g) state %d", button == MouseButton::right ? "right" : "left",
                      down ? "down" : "up", at.x, at.y, clickState);
        record(line);
        return down || !failButtonUp;
    }
    bool postScroll(int32_t linesDown, int32_t linesRight) override
    {
        record("scroll " + std::to_string(linesDown) + " " + std::to_string(linesRight));
        return !failScroll;
    }
    std::optional<ScreenPoint> pointerLocation() override { return ScreenPoint{}; }
    bool focusIsOwnWindow() override { return ownWindowFocused; }
    /// Points at which this program's own window is shown.
    std::vector<ScreenPoint> ownWindowPoints;
    bool isOwnWindowAt(ScreenPoint at) override
    {
        for (const auto& p : ownWindowPoints)
            if (p.x == at.x && p.y == at.y) return true;
        return false;
    }

private:
    void record(std::string what) { events.push_back({std::move(what), loop_.now()}); }
    const MainLoop& loop_;
    uint64_t tickets_ = 0;
    TimePoint confirmAt_{};
};

/// A clipboard in memory.
class FakePasteboard : public Pasteboard {
public:
    std::optional<std::string> content;
    bool refuseWrites = false;

    std::optional<std::string> readString() override { return content; }
    void clear() override { content.reset(); }
    bool writeString(const std::string& text) override
    {
        if (refuseWrites) return false;
        content = text;
        return true;
    }
};

} // namespace twk::test
