#include "app/url_router.h"
#include "common/log.h"
#include "fakes/virtual_main_loop.h"

#include <gtest/gtest.h>

namespace twk {
namespace {

class UrlRouterTest : public ::testing::Test {
protected:
    test::VirtualMainLoop loop;
    std::vector<std::string> events;
    LogCapture capture{[this](const std::string& l) { events.push_back(l); }};
    UrlRouter router{loop, [this] { events.push_back("refresh"); }};
};

TEST_F(UrlRouterTest, RefreshHostOrPathTriggersOneRefreshEachOnTheMainLoop)
{
    router.open({"tarnwick://refresh", "tarnwick://account/refresh", "https://example.com/refresh?x=1"});
    EXPECT_EQ(events, (std::vector<std::string>{"[twk] handle URL: tarnwick://refresh",
                                                "[twk] handle URL: tarnwick://account/refresh",
                                                "[twk] handle URL: https://example.com/refresh?x=1"}));
    loop.runPosted();
    EXPECT_EQ(std::count(events.begin(), events.end(), "refresh"), 3);
}

TEST_F(UrlRouterTest, OtherUrlsAreOnlyLogged)
{
    router.open({"tarnwick://REFRESH", "tarnwick://refresh2", "tarnwick://x/refresh/", "tarnwick://x/Refresh",
                 "tarnwick:refresh", "tarnwick://x?refresh", "not a url"});
    loop.runPosted();
    EXPECT_EQ(events.size(), 7u);
    EXPECT_EQ(std::count(events.begin(), events.end(), "refresh"), 0);
    EXPECT_EQ(events.back(), "[twk] handle URL: not a url");
}

TEST_F(UrlRouterTest, EncodedAndUserinfoFormsReachTheSameRoute)
{
    router.open({"tarnwick://host/%72efresh", "tarnwick://user@refresh:8080"});
    loop.runPosted();
    EXPECT_EQ(std::count(events.begin(), events.end(), "refresh"), 2);
}

} // namespace
} // namespace twk
