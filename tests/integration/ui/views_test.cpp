// The tray controller, popover and HUD on a real X server, against a fresh
// state, virtual time for the permission poll, and counting permissions.

#include "fakes/memory_settings.h"
#include "fakes/virtual_main_loop.h"
#include "ui/menu_bar_controller.h"
#include "ui/status_hud_controller.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

namespace twk::test {
namespace {

class CountingPermissions : public Permissions {
public:
    int reads = 0;
    bool microphoneGranted() override { return ++reads, true; }
    bool accessibilityGranted() override { return true; }
    bool screenRecordingGranted() override { return true; }
    void requestAccessibility() override {}
    void requestScreenRecording() override {}
    void openSoundSettings() override {}
};

void spin(int ms = 100)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 10);
}

class Views : public ::testing::Test {
protected:
    MemorySettings settings;
    VirtualMainLoop loop;
    AppState state{settings, loop};
    CountingPermissions permissions;
    std::vector<std::string> chosenMics;
    ui::PopoverActions actions;
    ui::StatusHUDController hud{state};

    Views()
    {
        actions.availableMics = [] { return std::vector<std::pair<std::string, std::string>>{{"usb-7", "USB mic"}}; };
        actions.selectedMicID = [this] { return settings.string("twk.micDeviceID").value_or(""); };
        actions.chooseMic = [this](const std::string& id) { chosenMics.push_back(id); };
    }
};

TEST_F(Views, PermissionsArePolledOnlyWhileThePopoverIsOpenWithOneTimerAcrossReopening)
{
    ui::MenuBarController bar(state, permissions, loop, hud, actions);
    const int atStart = permissions.reads; // read once when built
    EXPECT_EQ(atStart, 1);

    bar.togglePopover();
    EXPECT_TRUE(bar.popover().isVisible());
    EXPECT_EQ(permissions.reads, 2); // at once on opening
    loop.advance(seconds(1.5));
    EXPECT_EQ(permissions.reads, 3);

    bar.togglePopover(); // closes
    EXPECT_FALSE(bar.popover().isVisible());
    loop.advance(seconds(6));
    EXPECT_EQ(permissions.reads, 3);

    spin(350); // a click just after closing is the click that closed it
    bar.togglePopover();
    bar.popover().close(); // dismissed by itself (Escape, a click elsewhere)
    spin(350);
    bar.togglePopover();
    const int reopened = permissions.reads;
    loop.advance(seconds(1.5));
    EXPECT_EQ(permissions.reads, reopened + 1); // one timer, not two
    bar.togglePopover();
}

TEST_F(Views, PopoverClosesOnEscapeKeepsItsSettingsSectionAndSwitchesTheMic)
{
    ui::PopoverView popover(state, actions);
    popover.popUpAt(QPoint(1900, 10));
    spin();
    popover.findChild<QToolButton*>()->click(); // the gear
    EXPECT_TRUE(popover.settingsOpen());
    QTest::keyClick(&popover, Qt::Key_Escape);
    EXPECT_FALSE(popover.isVisible());
    popover.popUpAt(QPoint(1900, 10));
    spin();
    EXPECT_TRUE(popover.settingsOpen());

    QComboBox* mic = nullptr;
    QComboBox* voice = nullptr;
    for (auto* box : popover.findChildren<QComboBox*>()) (box->findText("USB mic") >= 0 ? mic : voice) = box;
    ASSERT_TRUE(mic && voice);
    EXPECT_EQ(mic->currentText(), "System default");
    mic->activated(mic->findText("USB mic"));
    EXPECT_EQ(chosenMics, std::vector<std::string>{"usb-7"});

    EXPECT_TRUE(voice->isEnabled());
    state.verbosity.set(Verbosity::silent);
    spin();
    EXPECT_FALSE(voice->isEnabled()); // no spoken reply to give a voice to
    popover.close();
}

TEST_F(Views, HudResizesWithTheStateAndReturnsToTheCornerEvenWhenTheSizeStaysTheSame)
{
    hud.show();
    spin();
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    const auto corner = [&] { return hud.panel()->geometry().topRight(); };
    const QPoint home = corner();
    EXPECT_EQ(home, QPoint(area.right() - 16, area.top() + 16));

    state.isEnabled.set(true);
    state.setPlan({"One", "Two"});
    for (const char* a : {"a", "b", "c", "d", "e"}) state.setActivity(a);
    spin();
    EXPECT_EQ(hud.panel()->size(), QSize(560, 326));
    EXPECT_EQ(corner(), home);

    hud.panel()->move(100, 400); // dragged away
    state.setActivity("f");      // same size, still re-anchored
    spin();
    EXPECT_EQ(corner(), home);

    state.setEnabled(false);
    spin();
    EXPECT_EQ(hud.panel()->size(), QSize(280, 72));
}

} // namespace
} // namespace twk::test
