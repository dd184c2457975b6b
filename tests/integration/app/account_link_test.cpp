// The real `tarnwick` against the real tarnwick-server: a name linked on the
// account page shows in the open panel after a tarnwick://refresh, with no restart.
// (The panel is a popup, which the toolkit keeps out of the accessibility tree,
// so the test compares what the screen shows and keeps both pictures.)

#include "integration/app/desktop_probe.h"
#include "integration/process_helpers.h"
#include "integration/server/raw_http.h"
#include "integration/server/server_process.h"
#include "platform/linux/qt_settings.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QTemporaryDir>

#include <filesystem>
#include <regex>
#include <thread>

namespace twk::test {
namespace {

const std::string user = "6a1f3c9d-2b4e-4f70-8c15-3e9a7b2d4f60";

/// The open panel as the screen shows it, saved under the artefacts folder as `name`.
QImage panelPicture(const WindowInfo& popover, const std::string& name)
{
    std::filesystem::create_directories(UI_ARTEFACTS_DIR);
    const std::string file = std::string(UI_ARTEFACTS_DIR) + "/" + name;
    if (!saveScreenshot(file)) return {};
    const QImage panel = QImage(QString::fromStdString(file)).copy(popover.x, popover.y, popover.width, popover.height);
    panel.save(QString::fromStdString(file));
    return panel;
}

TEST(AccountLink, ANameLinkedOnTheAccountPageShowsInTheOpenPanelAfterARefreshLink)
{
    QTemporaryDir dir;
    const std::string root = dir.path().toStdString();
    QtSettings(root + "/config/tarnwick/tarnwick.conf").setString("twk.userId", user);
    ServerProcess server(root + "/data");
    const std::map<std::string, std::optional<std::string>> env{{"TARNWICK_BACKEND_URL", server.origin()},
                                                                {"XDG_CONFIG_HOME", root + "/config"}};

    ChildProcess watcher(SNI_WATCHER, {});
    ASSERT_TRUE(watcher.waitForOutput("ready")) << watcher.output();
    ChildProcess app(TARNWICK_EXE, {}, env);
    ASSERT_TRUE(app.waitForOutput("[twk] MenuBarController constructed")) << app.output();
    ASSERT_TRUE(watcher.waitForOutput("registered ")) << watcher.output() << app.output();
    std::smatch match;
    const std::string registered = watcher.output();
    ASSERT_TRUE(std::regex_search(registered, match, std::regex(R"(registered (\S+) (\S+))")));
    TrayItem item(QString::fromStdString(match[1]), QString::fromStdString(match[2]));

    item.activate();
    std::optional<WindowInfo> popover;
    ASSERT_TRUE(eventually([&] { return (popover = windowTitled("tarnwick popover")) && popover->viewable; }));
    // Opening the panel fetched the status: anonymous, and nothing changes while it stays so.
    ASSERT_TRUE(eventually([&] { return server.process().output().find("status for 6a1f3c9d") != std::string::npos; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const QImage anonymous = panelPicture(*popover, "desktop-popover-anonymous.png");
    ASSERT_FALSE(anonymous.isNull());
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    ASSERT_EQ(panelPicture(*popover, "desktop-popover-anonymous.png"), anonymous) << "the panel is steady";

    // Linking, as the page's form does it.
    const auto page = rawRequest(server.port(), "GET /dashboard?uuid=" + user + "&source=mac HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    std::smatch token;
    ASSERT_TRUE(std::regex_search(page.body, token, std::regex("name=\"token\" value=\"([^\"]+)\"")));
    const std::string form = "uuid=" + user + "&token=" + token[1].str() + "&label=ana%40example.org";
    const std::string host = "127.0.0.1:" + std::to_string(server.port());
    ASSERT_EQ(rawRequest(server.port(), "POST /dashboard/link HTTP/1.1\r\nHost: " + host + "\r\nOrigin: http://" + host +
                                            "\r\nContent-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
                                            std::to_string(form.size()) + "\r\n\r\n" + form)
                  .status,
              303);

    const size_t statusBefore = occurrences(server.process().output(), "status for 6a1f3c9d");
    ChildProcess link(TARNWICK_EXE, {"tarnwick://refresh"}, env);
    EXPECT_EQ(link.waitForExit(), 0) << link.output();
    ASSERT_TRUE(eventually([&] { return occurrences(server.process().output(), "status for 6a1f3c9d") > statusBefore; }))
        << app.output();
    EXPECT_TRUE(eventually([&] { return panelPicture(*popover, "desktop-popover-linked.png") != anonymous; }))
        << "the open panel shows the new identity";
    EXPECT_TRUE(windowTitled("tarnwick popover")->viewable) << "no restart, no reopening";
}

} // namespace
} // namespace twk::test
