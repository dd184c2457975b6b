#include "usage_service.h"

#include "usage_period.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <limits>
#include <memory>

namespace twk::server {
namespace {

constexpr int64_t june17 = 1750161600000; // 2025-06-17 12:00 UTC
constexpr int64_t july1 = 1751328000000;  // 2025-07-01 00:00 UTC
const std::string alice = "4f0c2a9e-1b7d-4c11-9a53-0d6f0e1a2b3c";
const std::string bob = "00000000-0000-4000-8000-000000000001";

class UsageServiceTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    int64_t now = june17;

    std::unique_ptr<SqliteDatabase> db;
    std::unique_ptr<UsageService> service;

    void SetUp() override { reopen(); }

    void reopen(double quotaSeconds = 15 * 60)
    {
        service.reset();
        db = std::make_unique<SqliteDatabase>(dir.path().toStdString() + "/usage.sqlite3");
        UsageService::Settings settings;
        settings.plan.quotaSeconds = quotaSeconds;
        settings.model = "m1";
        settings.secretTtlMs = 60'000;
        service = std::make_unique<UsageService>(*db, settings, [this] { return now; });
    }

    std::string mintedSecret()
    {
        auto outcome = service->mint(alice);
        auto* granted = std::get_if<UsageService::Granted>(&outcome);
        return granted ? granted->secret.secret : std::string();
    }
};

TEST_F(UsageServiceTest, MintsUntilTheMonthsQuotaIsUsedThenRefuses)
{
    service->track(alice, 899.5, {});
    auto outcome = service->mint(alice);
    ASSERT_TRUE(std::holds_alternative<UsageService::Granted>(outcome));
    const auto& granted = std::get<UsageService::Granted>(outcome);
    EXPECT_DOUBLE_EQ(granted.status.remainingSeconds, 0.5);
    EXPECT_EQ(granted.model, "m1");
    EXPECT_EQ(granted.secret.expiresAtMs, june17 + 60'000);

    // A session may run past the quota: the figures stop at zero, the refusal says so.
    service->track(alice, 30, {});
    const auto secrets = [this] {
        SqliteDatabase::Statement count(*db, "SELECT COUNT(*) FROM client_secrets");
        count.step();
        return count.int64At(0);
    };
    const int64_t issued = secrets();
    auto refused = service->mint(alice);
    ASSERT_TRUE(std::holds_alternative<UsageService::Refused>(refused));
    EXPECT_EQ(secrets(), issued); // a refusal issues nothing
    EXPECT_EQ(std::get<UsageService::Refused>(refused).status.remainingSeconds, 0);
    EXPECT_DOUBLE_EQ(service->status(alice).usedSeconds, 929.5);
    // Other installations are not affected.
    EXPECT_EQ(service->status(bob).remainingSeconds, 900);
}

TEST_F(UsageServiceTest, ANewMonthStartsFromZero)
{
    service->track(alice, 900, {{"input", 10}});
    EXPECT_EQ(service->status(alice).resetAtMs, july1);
    now = july1;
    const UsageStatus fresh = service->status(alice);
    EXPECT_EQ(fresh.usedSeconds, 0);
    EXPECT_EQ(fresh.remainingSeconds, 900);
    EXPECT_TRUE(fresh.tokens.empty());
    EXPECT_EQ(fresh.resetAtMs, monthlyPeriod(july1).endMs);
    EXPECT_TRUE(std::holds_alternative<UsageService::Granted>(service->mint(alice)));
}

TEST_F(UsageServiceTest, SecretsAreValidForTheirLifetimeOnly)
{
    const std::string secret = mintedSecret();
    ASSERT_FALSE(secret.empty());
    EXPECT_NE(mintedSecret(), secret);
    const auto grant = service->validateSecret(secret);
    ASSERT_TRUE(grant);
    EXPECT_EQ(grant->userId, alice);
    EXPECT_EQ(grant->model, "m1");
    EXPECT_FALSE(service->validateSecret(secret.substr(0, secret.size() - 1)));
    EXPECT_FALSE(service->validateSecret(""));
    now += 59'999;
    EXPECT_TRUE(service->validateSecret(secret));
    now += 1;
    EXPECT_FALSE(service->validateSecret(secret));
}

TEST_F(UsageServiceTest, EverythingIsOnDiskAndNoSecretIsStoredInTheClear)
{
    const std::string secret = mintedSecret();
    service->track(alice, 12.25, {{"input", 5}});
    service->track(alice, 1, {{"input", 2}, {"output", 1}});
    reopen();
    const UsageStatus s = service->status(alice);
    EXPECT_DOUBLE_EQ(s.usedSeconds, 13.25);
    EXPECT_EQ(s.tokens, (std::map<std::string, int64_t>{{"input", 7}, {"output", 1}}));
    EXPECT_TRUE(service->validateSecret(secret));

    SqliteDatabase::Statement rows(*db, "SELECT secret_sha256 FROM client_secrets");
    ASSERT_TRUE(rows.step());
    EXPECT_EQ(rows.textAt(0).size(), 64u);
    EXPECT_EQ(rows.textAt(0).find(secret.substr(7)), std::string::npos);
}

TEST_F(UsageServiceTest, AReportOfAMeteredSessionCountsOnceAtTheLargerFigure)
{
    service->meter(alice, 20);
    service->meter(alice, 10);
    EXPECT_EQ(service->track(alice, 25, {}).usedSeconds, 30.0) << "the report is within what was metered";
    EXPECT_EQ(service->track(alice, 12, {}).usedSeconds, 37.0) << "5 metered seconds were left to match";
    EXPECT_EQ(service->track(alice, 8, {}).usedSeconds, 45.0) << "a session that was not metered here counts in full";
    reopen();
    service->meter(alice, 3);
    EXPECT_EQ(service->track(alice, 3, {}).usedSeconds, 48.0) << "what is left to match survives a restart";
}

TEST_F(UsageServiceTest, TokenCountsStopAtTheLargestIntegerInsteadOfOverflowing)
{
    constexpr int64_t huge = std::numeric_limits<int64_t>::max() - 10;
    service->track(alice, 1, {{"input", huge}});
    const auto status = service->track(alice, 1, {{"input", 100}});
    EXPECT_EQ(status.tokens.at("input"), std::numeric_limits<int64_t>::max());
}

TEST_F(UsageServiceTest, AnUnlimitedPlanMetersButNeverRefuses)
{
    reopen(0);
    service->track(alice, 40 * 24 * 3600.0, {}); // more than a month
    EXPECT_FALSE(service->refusal(alice));
    const UsageStatus status = service->status(alice);
    EXPECT_EQ(status.usedSeconds, 40 * 24 * 3600.0);
    // What is left is what is left of the month, so a live session is never cut.
    EXPECT_DOUBLE_EQ(status.remainingSeconds, double(july1 - june17) / 1000);

    // A credential minted elsewhere opens sessions here until it expires.
    const auto granted = service->adopt(alice, "ek_elsewhere", june17 + 5000);
    EXPECT_EQ(granted.secret.secret, "ek_elsewhere");
    ASSERT_TRUE(service->validateSecret("ek_elsewhere"));
    EXPECT_EQ(service->validateSecret("ek_elsewhere")->userId, alice);
    now += 5000;
    EXPECT_FALSE(service->validateSecret("ek_elsewhere"));
}

TEST_F(UsageServiceTest, DailyUsageBooksWhatEachDayAddedOnce)
{
    constexpr int64_t day = 24 * 3600 * 1000;
    now = june17 - 40 * day; // outside the chart's window
    service->track(alice, 50, {});
    now = june17 - 2 * day;
    service->meter(alice, 20);
    service->track(alice, 25, {}); // the report of the metered session adds its 5 extra seconds only
    now = june17;
    service->track(alice, 90, {});
    service->track(bob, 600, {});

    const auto days = service->dailyUsage(alice, 30);
    ASSERT_EQ(days.size(), 30u);
    EXPECT_EQ(days.back().dayStartMs, june17 - 12 * 3600 * 1000) << "today last, from UTC midnight";
    EXPECT_EQ(days.front().dayStartMs, days.back().dayStartMs - 29 * day);
    std::map<int64_t, double> used;
    for (const auto& d : days)
        if (d.seconds > 0) used[d.dayStartMs] = d.seconds;
    EXPECT_EQ(used, (std::map<int64_t, double>{{days.back().dayStartMs - 2 * day, 25.0}, {days.back().dayStartMs, 90.0}}));
}

TEST_F(UsageServiceTest, ALinkedLabelShowsInTheStatusUntilUnlinkedAndSurvivesARestart)
{
    EXPECT_FALSE(service->status(alice).linkedLabel);
    EXPECT_EQ(service->link(alice, "Ana").linkedLabel, "Ana");
    EXPECT_EQ(service->link(alice, "ana@example.org").linkedLabel, "ana@example.org");
    EXPECT_FALSE(service->status(bob).linkedLabel);
    reopen();
    EXPECT_EQ(service->status(alice).linkedLabel, "ana@example.org");
    EXPECT_FALSE(service->unlink(alice).linkedLabel);
}

} // namespace
} // namespace twk::server
