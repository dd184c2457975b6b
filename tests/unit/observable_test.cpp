#include "common/observable.h"

#include <gtest/gtest.h>

namespace twk {
namespace {

struct Model : ObservableObject {
    Published<int> count{*this, 0};
    Published<std::string> name{*this, "a", [this](const std::string& v) { saved = v; }};
    std::string saved;
};

TEST(Observable, SubscribersHearEveryAssignmentBeforeItIsStored)
{
    Model m;
    std::vector<std::string> seen;
    auto objectWide = m.onWillChange([&] { seen.push_back("will:" + std::to_string(m.count())); });
    auto perProperty = m.count.subscribe([&](const int& v) {
        seen.push_back("new:" + std::to_string(v) + " old:" + std::to_string(m.count()));
    });
    m.count.set(5);
    m.count.set(5); // an unchanged value is still announced
    EXPECT_EQ(seen, (std::vector<std::string>{"will:0", "new:5 old:0", "will:5", "new:5 old:5"}));
    EXPECT_EQ(m.count(), 5);
}

TEST(Observable, ObjectWideSubscribersHearEveryPropertyAndTheOwnerHookRunsAfterStore)
{
    Model m;
    int changes = 0;
    auto sub = m.onWillChange([&] { ++changes; });
    m.name.set("b");
    m.count.set(1);
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(m.saved, "b");
}

TEST(Observable, DroppedSubscriptionsStopAndSubscribersMayUnsubscribeDuringANotification)
{
    Model m;
    int first = 0, second = 0, added = 0;
    Subscription a, b, c;
    a = m.count.subscribe([&](const int&) {
        ++first;
        b.reset(); // removes the later subscriber before it is reached
        c = m.count.subscribe([&](const int&) { ++added; });
    });
    b = m.count.subscribe([&](const int&) { ++second; });
    m.count.set(1);
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 0);
    EXPECT_EQ(added, 0); // added during the notification: not called by it
    a.reset();
    m.count.set(2);
    EXPECT_EQ(first, 1);
    EXPECT_EQ(added, 1);
}

} // namespace
} // namespace twk
