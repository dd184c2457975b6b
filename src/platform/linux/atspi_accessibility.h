#pragma once

#include "platform/accessibility.h"

#include <memory>
#include <string>
#include <thread>

namespace twk {

/// The accessibility trees of the desktop's applications through AT-SPI
/// (libatspi). The attribute table is in platform/accessibility.h.
///
/// libatspi makes blocking D-Bus calls and is not thread-safe, so the first
/// call binds this object to its calling thread (the accessibility thread):
/// it gets a GLib main context of its own, which refresh() pumps so that the
/// cached tree state catches up with the applications' change events. Calls
/// from any other thread fail. Each D-Bus call gives up after two seconds: a
/// hung application makes its reads fail instead of stalling the thread.
class AtspiAccessibility final : public Accessibility {
public:
    AtspiAccessibility();
    ~AtspiAccessibility() override;
    AtspiAccessibility(const AtspiAccessibility&) = delete;
    AtspiAccessibility& operator=(const AtspiAccessibility&) = delete;

    bool isProcessTrusted(bool prompt) override;
    bool openAccessibilitySettings() override;
    std::optional<int> frontmostApplicationPid(int excludedPid) override;
    AXElementRef applicationElement(int pid) override;
    std::optional<AXValue> attribute(const AXElementRef& element, std::string_view name) override;
    std::size_t childCount(const AXElementRef& element) override;
    AXElementRef childAt(const AXElementRef& element, std::size_t index) override;
    std::vector<AXElementRef> childRange(const AXElementRef& element, std::size_t first, std::size_t count) override;
    bool isHidden(const AXElementRef& element) override;
    std::optional<std::vector<std::string>> actionNames(const AXElementRef& element) override;
    int performAction(const AXElementRef& element, std::string_view action) override;
    int setAttribute(const AXElementRef& element, std::string_view name, const AXValue& value) override;
    bool menuBarStartsWithSystemMenu() const override { return false; }
    void prefetch(const std::vector<AXElementRef>& elements) override;
    void refresh() override;
    /// Whether prefetch() reads ahead (on by default); off, every read is a
    /// round trip of its own, as the plain walk makes them.
    void setBulkReads(bool on);

private:
    struct State;
    bool ready();
    std::unique_ptr<State> state_;
};

} // namespace twk
