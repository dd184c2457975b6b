#pragma once

#include "common/main_loop.h"
#include "platform/calendar_store.h"
#include "platform/text_messages.h"
#include "skills/chat_controls.h"

#include <set>
#include <string>
#include <vector>

namespace twk::test {

/// A phone link in memory: records what it sent, or refuses with `failure`.
class FakeTextMessages : public TextMessages {
public:
    std::optional<std::string> failure;
    std::vector<std::pair<std::string, std::string>> sent;
    std::vector<PhoneContact> addressBook;

    std::optional<std::string> send(const std::string& recipient, const std::string& text) override
    {
        if (failure) return failure;
        sent.emplace_back(recipient, text);
        return std::nullopt;
    }
    std::vector<PhoneContact> contacts() override { return addressBook; }
};

/// A calendar store in memory.
class FakeCalendarStore : public CalendarStore {
public:
    struct Task {
        std::string summary;
        std::optional<WallClockTime> due;
    };
    struct Event {
        std::string summary;
        WallClockTime start;
        long long minutes;
    };
    std::optional<std::string> failure;
    std::vector<Task> tasks;
    std::vector<Event> events;

    std::optional<std::string> addTask(const std::string& summary, const std::optional<WallClockTime>& due) override
    {
        if (failure) return failure;
        tasks.push_back({summary, due});
        return std::nullopt;
    }
    std::optional<std::string> addEvent(const std::string& summary, const WallClockTime& start, long long minutes) override
    {
        if (failure) return failure;
        events.push_back({summary, start, minutes});
        return std::nullopt;
    }
};

/// Chat keys and pastes recorded with the loop's time; the window shows
/// the texts in `shown`.
class RecordingChatControls : public ChatControls {
public:
    explicit RecordingChatControls(const MainLoop& loop) : loop_(loop) {}

    struct Step {
        std::string what;
        Duration at;
    };
    std::vector<Step> steps;
    std::set<std::string> shown;

    std::vector<std::string> whats() const
    {
        std::vector<std::string> out;
        for (const auto& s : steps) out.push_back(s.what);
        return out;
    }

    Task<void> press(std::string combination) override
    {
        record("press " + combination);
        co_return;
    }
    Task<void> paste(std::string text) override
    {
        record("paste " + text);
        co_return;
    }
    Task<bool> windowShows(int pid, std::string text) override
    {
        record("look " + std::to_string(pid) + " " + text);
        co_return shown.contains(text);
    }

private:
    void record(std::string what) { steps.push_back({std::move(what), loop_.now() - start_}); }

    const MainLoop& loop_;
    TimePoint start_ = loop_.now();
};

} // namespace twk::test
