#pragma once

#include "accessibility/accessibility_service.h"
#include "fakes/fake_accessibility.h"
#include "fakes/fake_workspace.h"

#include <gtest/gtest.h>

namespace twk::test {

/// One application, "Editor" (pid 42), in front with its window; this
/// program is pid 7.
class AccessibilityFixture : public ::testing::Test {
protected:
    static constexpr int appPid = 42;
    static constexpr int ownPid = 7;

    AccessibilityFixture()
    {
        ax.applications[appPid] = app;
        app->attributes["AXFocusedWindow"] = FakeAccessibility::handle(window);
        app->attributes["AXMenuBar"] = FakeAccessibility::handle(menuBar);
        ax.stacking = {appPid};
        workspace.apps = {{appPid, "org.example.Editor", "Editor", true}, {ownPid, "tarnwick", "Tarnwick", true}};
    }

    /// A node with a frame big enough to be numbered.
    static FakeAXNodePtr shown(const std::string& role, const std::string& title = {})
    {
        return axNode(role, title, 40, 20, 10, 10);
    }

    FakeAccessibility ax;
    FakeWorkspace workspace;
    MarkElementMap map;
    WorkerPool thread{1};
    std::vector<Duration> pauses;
    FakeAXNodePtr app = axNode("AXApplication", "Editor");
    FakeAXNodePtr window = axNode("AXWindow", "Untitled", 400, 300);
    FakeAXNodePtr menuBar = axNode("AXMenuBar");
    AccessibilityService service{
        {ax, workspace, map, thread, ownPid, [this](Duration wait) { pauses.push_back(wait); }}};
};

} // namespace twk::test
