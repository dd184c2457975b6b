// The account page of the real tarnwick-server: its forms over raw HTTP,
// then the page in headless Chromium as a person would use it.

#include "integration/loopback_http_server.h"
#include "integration/server/headless_chromium.h"
#include "integration/server/server_process.h"
#include "integration/server/server_requests.h"
#include "usage_service.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <QDateTime>
#include <QTemporaryDir>

#include <filesystem>
#include <regex>

namespace twk {
namespace {

using nlohmann::json;
using test::getRequest;
using test::rawRequest;
using test::ServerProcess;
using test::testUserId;

const std::string otherUser = "00000000-0000-4000-8000-000000000001";

std::string formEncode(const std::string& text)
{
    return QUrl::toPercentEncoding(QString::fromStdString(text)).toStdString();
}

class AccountPageTest : public ::testing::Test {
protected:
    QTemporaryDir dataDir;
    std::unique_ptr<ServerProcess> server;

    void start() { server = std::make_unique<ServerProcess>(dataDir.path().toStdString()); }
    void TearDown() override
    {
        if (server) {
            EXPECT_EQ(server->stop(), 0) << server->process().output();
        }
    }

    json status(const std::string& user = testUserId)
    {
        return json::parse(rawRequest(server->port(), getRequest("/api/usage/status?userId=" + user)).body);
    }
    std::string token(const std::string& user)
    {
        const auto page = rawRequest(server->port(), getRequest("/dashboard?uuid=" + user));
        std::smatch m;
        return std::regex_search(page.body, m, std::regex("name=\"token\" value=\"([^\"]+)\"")) ? m[1].str() : "";
    }
    test::RawResponse post(const std::string& path, const std::string& body, const std::string& origin)
    {
        return rawRequest(server->port(), "POST " + path + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(server->port()) +
                                              "\r\nOrigin: " + origin +
                                              "\r\nContent-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
                                              std::to_string(body.size()) + "\r\n\r\n" + body);
    }
};

TEST_F(AccountPageTest, FormsLinkAndUnlinkOnlyFromTheInstallationsOwnPage)
{
    start();
    rawRequest(server->port(), test::jsonPost("/api/usage/track", R"({"userId":")" + testUserId + R"(","seconds":30})"));
    const std::string self = server->origin();
    const std::string mine = token(testUserId);
    ASSERT_FALSE(mine.empty());
    const auto form = [&](const std::string& user, const std::string& t, const std::string& label) {
        return "uuid=" + user + "&token=" + formEncode(t) + "&label=" + formEncode(label);
    };

    // Refused, and nothing changes: another site, another installation's token, a hostile name.
    EXPECT_EQ(post("/dashboard/link", form(testUserId, mine, "x"), "http://evil.example").status, 403);
    EXPECT_EQ(post("/dashboard/link", form(otherUser, mine, "x"), self).status, 403);
    const auto hostile = post("/dashboard/link", form(testUserId, mine, "admin\u202E\n"), self);
    EXPECT_EQ(hostile.status, 400);
    EXPECT_NE(hostile.body.find("Not linked"), std::string::npos);
    EXPECT_EQ(status()["linked"], false);

    const std::string label = "<img src=x onerror=alert(1)> \"Ana\" & co";
    const auto linked = post("/dashboard/link", form(testUserId, mine, label), self);
    EXPECT_EQ(linked.status, 303);
    EXPECT_EQ(linked.headers.at("location"), "/dashboard?uuid=" + testUserId + "&changed=linked");
    EXPECT_EQ(status()["email"], label);
    EXPECT_EQ(status(otherUser)["linked"], false);
    const auto page = rawRequest(server->port(), getRequest(linked.headers.at("location")));
    EXPECT_EQ(page.body.find("<img"), std::string::npos);
    EXPECT_NE(page.body.find("&lt;img src=x onerror=alert(1)&gt; &quot;Ana&quot; &amp; co"), std::string::npos);
    EXPECT_NE(page.body.find("tarnwick://refresh"), std::string::npos);

    EXPECT_EQ(post("/dashboard/unlink", "uuid=" + testUserId + "&token=" + mine, self).status, 303);
    EXPECT_EQ(status()["linked"], false);
    EXPECT_TRUE(status()["email"].is_null());

    // An identifier the server has never seen, and a malformed one, get pages that say so, not an error dump.
    EXPECT_NE(rawRequest(server->port(), getRequest("/dashboard?uuid=" + otherUser)).body.find("no usage recorded"),
              std::string::npos);
    EXPECT_EQ(rawRequest(server->port(), getRequest("/dashboard?uuid=" + testUserId)).body.find("no usage recorded"),
              std::string::npos);
    const auto bad = rawRequest(server->port(), getRequest("/dashboard?uuid=%3Cscript%3E&source=mac"));
    EXPECT_EQ(bad.status, 400);
    EXPECT_EQ(bad.headers.at("content-type"), "text/html; charset=utf-8");
    EXPECT_NE(bad.body.find("&lt;script&gt;&quot; is not an installation identifier"), std::string::npos);
}

/// Usage on chosen days before the server starts, through the usage service's own bookkeeping.
void seedUsage(const std::string& dataDir, const std::vector<int>& daysAgo)
{
    server::SqliteDatabase db(dataDir + "/tarnwick-server.sqlite3");
    int64_t now = 0;
    server::UsageService usage(db, {}, [&now] { return now; });
    for (const int days : daysAgo) {
        now = QDateTime::currentMSecsSinceEpoch() - int64_t(days) * 24 * 3600 * 1000;
        usage.track(testUserId, 60.0 * (days + 1), {});
    }
}

TEST_F(AccountPageTest, InChromiumThePageDrawsEachDayAndItsFormLinksTheInstallation)
{
    if (!std::filesystem::exists(test::HeadlessChromium::path)) GTEST_SKIP() << "no Chromium (scripts/deps.sh installs it)";
    seedUsage(dataDir.path().toStdString(), {0, 3, 11, 29, 31});
    start();
    test::HeadlessChromium browser;
    browser.navigate(server->origin() + "/dashboard?uuid=" + testUserId + "&source=mac");
    ASSERT_TRUE(browser.waitUntil("document.readyState === 'complete' && document.getElementById('chart')")) << browser.output();

    EXPECT_EQ(browser.evaluate("document.title"), "Your account · tarnwick");
    EXPECT_EQ(browser.evaluate("document.querySelectorAll('#chart rect.bar').length"), 4) << "day 31 is outside the chart";
    EXPECT_GT(browser.evaluate("document.querySelector('#chart svg').getBoundingClientRect().height"), 50);

    browser.evaluate("document.getElementById('label').value = 'ana@example.org'; document.getElementById('link-form').submit()");
    ASSERT_TRUE(browser.waitUntil("document.getElementById('linked-label')")) << browser.output();
    EXPECT_EQ(browser.evaluate("document.getElementById('linked-label').textContent"), "ana@example.org");
    EXPECT_EQ(status()["linked"], true);
    EXPECT_EQ(status()["email"], "ana@example.org");
    browser.screenshot(std::filesystem::path(ARTEFACTS_DIR) / "account_page.png");

    // A page of another origin posting the same form, even with a valid token, changes nothing.
    const std::string mine = token(testUserId);
    const std::string attack = "<!doctype html><form id=f method=post action='" + server->origin() + "/dashboard/unlink'>"
                               "<input name=uuid value=" + testUserId + "><input name=token value=" + mine + "></form>"
                               "<script>document.getElementById('f').submit()</script>";
    test::LoopbackHttpServer site([&](const test::LoopbackHttpServer::Request&) {
        return test::LoopbackHttpServer::Response{200, attack, "text/html", {}};
    });
    browser.navigate(site.origin() + "/");
    ASSERT_TRUE(browser.waitUntil("location.pathname === '/dashboard/unlink'"));
    EXPECT_NE(browser.evaluate("document.body.textContent").get<std::string>().find("only taken from this server's own pages"),
              std::string::npos);
    EXPECT_EQ(status()["linked"], true);
}

} // namespace
} // namespace twk
