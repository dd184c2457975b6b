// The account page's pieces without a socket: labels, tokens, site checks and the rendered page.

#include "account_links.h"
#include "dashboard_page.h"
#include "form_token.h"
#include "site_guard.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

namespace twk::server {
namespace {

const std::string alice = "4f0c2a9e-1b7d-4c11-9a53-0d6f0e1a2b3c";
const std::string bob = "00000000-0000-4000-8000-000000000001";

TEST(AccountLabel, KeepsNamesAndAddressesTrimmedAndRefusesWhatCouldShowAsSomethingElse)
{
    EXPECT_EQ(std::get<std::string>(checkedLabel("  Zoë Ñúñez  ")), "Zoë Ñúñez");
    EXPECT_EQ(std::get<std::string>(checkedLabel("<b>x</b>@example.org")), "<b>x</b>@example.org") << "escaped where shown, not refused";
    EXPECT_EQ(std::get<std::string>(checkedLabel(std::string(120, 'a'))).size(), 120u);
    for (const std::string& bad : {std::string(" \t "), std::string(121, 'a'), std::string("a\nb"), std::string("a\0b", 3),
                                  std::string("\xff\xfe"), std::string("evil\u202Egro.elpmaxe"), std::string("a\u200Bb")})
        EXPECT_TRUE(std::holds_alternative<LabelProblem>(checkedLabel(bad))) << bad;
}

TEST(FormTokensTest, ATokenOpensOnlyItsOwnInstallationAndOutlivesARestart)
{
    QTemporaryDir dir;
    const std::string path = dir.path().toStdString() + "/t.sqlite3";
    std::string token;
    {
        SqliteDatabase db(path);
        FormTokens tokens(db);
        token = tokens.token(alice);
        EXPECT_TRUE(tokens.valid(alice, token));
        EXPECT_FALSE(tokens.valid(bob, token));
        EXPECT_FALSE(tokens.valid(alice, token.substr(1)));
        EXPECT_FALSE(tokens.valid(alice, ""));
    }
    SqliteDatabase db(path);
    EXPECT_TRUE(FormTokens(db).valid(alice, token));
    QTemporaryDir other;
    SqliteDatabase elsewhere(other.path().toStdString() + "/t.sqlite3");
    EXPECT_FALSE(FormTokens(elsewhere).valid(alice, token)) << "each server has its own key";
}

HttpRequest formPost(std::vector<std::pair<std::string, std::string>> headers)
{
    HttpRequest r;
    r.method = "POST";
    r.path = "/dashboard/link";
    r.headers = {{"host", "127.0.0.1:8787"}, {"content-type", "application/x-www-form-urlencoded"}};
    r.headers.insert(r.headers.begin(), headers.begin(), headers.end());
    return r;
}

TEST(PageSiteCheck, TakesFormsFromItsOwnPagesOnly)
{
    const std::vector<std::string> hosts{"tarnwick.home.arpa"};
    EXPECT_FALSE(checkPageSite(formPost({{"origin", "http://127.0.0.1:8787"}, {"sec-fetch-site", "same-origin"}}), hosts));
    EXPECT_FALSE(checkPageSite(formPost({{"referer", "http://127.0.0.1:8787/dashboard?uuid=x"}}), hosts));
    struct Case {
        HttpRequest request;
        int status;
    };
    const Case refused[] = {
        {formPost({{"origin", "http://evil.example"}}), 403},
        {formPost({{"origin", "http://127.0.0.1:8788"}}), 403},
        {formPost({{"origin", "null"}}), 403},
        {formPost({{"referer", "http://127.0.0.1:8787.evil.example/"}}), 403},
        {formPost({}), 403}, // neither Origin nor Referer: no browser form of ours
        {formPost({{"origin", "http://127.0.0.1:8787"}, {"sec-fetch-site", "cross-site"}}), 403},
        {formPost({{"host", "evil.example"}, {"origin", "http://evil.example"}}), 403}, // DNS rebinding
        {formPost({{"origin", "http://127.0.0.1:8787"}, {"content-type", "application/json"}}), 415},
    };
    for (const auto& c : refused) {
        const auto r = checkPageSite(c.request, hosts);
        ASSERT_TRUE(r) << c.request.headers.front().first << ": " << c.request.headers.front().second;
        EXPECT_EQ(r->status, c.status) << r->message;
    }
    HttpRequest get;
    get.method = "GET";
    get.headers = {{"host", "tarnwick.home.arpa:8787"}, {"sec-fetch-site", "none"}};
    EXPECT_FALSE(checkPageSite(get, hosts)) << "opened from the desktop app";
}

TEST(DashboardPageTest, ShowsTheFiguresEscapesEverythingAndDrawsOneBarPerDayWithUsage)
{
    DashboardView v;
    v.userId = alice;
    v.status.plan = "free<script>";
    v.status.quotaSeconds = 900;
    v.status.usedSeconds = 330;
    v.status.remainingSeconds = 570;
    v.status.resetAtMs = 1751328000000; // 2025-07-01
    v.status.linkedLabel = "\"><script>alert(1)</script>";
    v.service = "model <i>m</i>";
    v.formToken = "tok\"en";
    constexpr int64_t day = 24 * 3600 * 1000;
    for (int i = 0; i < 30; ++i) v.days.push_back({1748736000000 + i * day, i % 7 == 0 ? 60.0 * i + 1 : 0.0});
    const std::string html = dashboardPage(v);

    EXPECT_EQ(html.find("<script"), std::string::npos);
    EXPECT_EQ(html.find("<i>"), std::string::npos);
    EXPECT_NE(html.find("&quot;&gt;&lt;script&gt;alert(1)&lt;/script&gt;"), std::string::npos);
    EXPECT_NE(html.find("value=\"tok&quot;en\""), std::string::npos);
    EXPECT_NE(html.find("5.5 min"), std::string::npos);
    EXPECT_NE(html.find("9.5 min"), std::string::npos);
    EXPECT_NE(html.find("Jul 1, 2025"), std::string::npos);
    EXPECT_NE(html.find("not a verified account"), std::string::npos);
    EXPECT_NE(html.find("/dashboard/unlink"), std::string::npos) << "a linked installation can unlink";

    size_t bars = 0;
    for (size_t at = html.find("class=\"bar\""); at != std::string::npos; at = html.find("class=\"bar\"", at + 1)) ++bars;
    EXPECT_EQ(bars, 5u);
    EXPECT_NE(html.find("data-day=\"2025-06-29\""), std::string::npos) << "the 29th day, last with usage";
    EXPECT_EQ(html.find("data-day=\"2025-06-30\""), std::string::npos);
}

} // namespace
} // namespace twk::server
