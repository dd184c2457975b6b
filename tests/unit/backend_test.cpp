#include "backend/backend.h"
#include "fakes/fake_http_client.h"
#include "fakes/memory_settings.h"
#include "fakes/run_task.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <thread>

namespace twk {
namespace {

using nlohmann::json;
using test::FakeHttpClient;
using test::runTask;

const std::string mintBody =
    R"({"clientSecret":"ek_1","expiresAt":1767225600,"model":"rt-1","plan":"free","remainingSeconds":840.5,"quotaSeconds":900,"extra":true})";
const std::string statusBody =
    R"({"plan":"free","quotaSeconds":900,"usedSeconds":60,"remainingSeconds":840,"resetAt":1767225600000,"linked":true,"email":"ada@example.org"})";

class BackendTest : public ::testing::Test {
protected:
    test::VirtualMainLoop loop;
    test::MemorySettings settings;
    FakeHttpClient http;
    Backend backend{http, settings, "https://api.example.org"};

    void SetUp() override { settings.setString("twk.userId", "u-1"); }

    template <typename T>
    Error errorOf(Task<T> task)
    {
        try {
            runTask(loop, std::move(task));
        } catch (const Error& e) {
            return e;
        }
        ADD_FAILURE() << "no twk::Error raised";
        return Error("", 0, "");
    }
};

TEST_F(BackendTest, UserIdIsCreatedOnceAsALowerCaseUuidEvenUnderConcurrentFirstUse)
{
    settings.setString("twk.userId", "");
    std::vector<std::string> ids(8);
    std::vector<std::thread> threads;
    for (auto& id : ids) threads.emplace_back([&] { id = backend.userId(); });
    for (auto& t : threads) t.join();
    EXPECT_EQ(std::set<std::string>(ids.begin(), ids.end()).size(), 1u);
    EXPECT_TRUE(std::regex_match(ids[0], std::regex("[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}")))
        << ids[0];
    EXPECT_EQ(settings.string("twk.userId"), ids[0]);
    settings.remove("twk.userId");
    EXPECT_NE(backend.userId(), ids[0]); // a cleared store starts a new identity
}

TEST_F(BackendTest, MintPostsTheUserIdAndDecodesTheCredential)
{
    http.respond = [](const HttpRequest&) { return FakeHttpClient::reply(200, mintBody); };
    const SessionMint mint = runTask(loop, backend.mintSession());
    EXPECT_EQ(mint.clientSecret, "ek_1");
    EXPECT_EQ(mint.expiresAt, 1767225600);
    EXPECT_EQ(mint.model, "rt-1");
    EXPECT_EQ(mint.remainingSeconds, 840.5);
    EXPECT_EQ(mint.quotaSeconds, 900);
    const HttpRequest r = http.last();
    EXPECT_EQ(r.method, "POST");
    EXPECT_EQ(r.url, "https://api.example.org/api/realtime/session");
    EXPECT_EQ(r.headers, (decltype(r.headers){{"Content-Type", "application/json"}}));
    EXPECT_EQ(r.timeout, std::chrono::seconds(60));
    EXPECT_EQ(*r.body, R"({"userId":"u-1"})");
}

TEST_F(BackendTest, MintFailuresMapToTheirErrors)
{
    http.respond = [](const HttpRequest&) { return FakeHttpClient::reply(402, R"({"error":"quota used","remainingSeconds":0})"); };
    try {
        runTask(loop, backend.mintSession());
        FAIL() << "no QuotaError";
    } catch (const QuotaError& q) {
        EXPECT_EQ(q.error, "quota used");
        EXPECT_FALSE(q.plan.has_value());
        EXPECT_EQ(q.remainingSeconds, 0.0);
    }

    http.respond = [](const HttpRequest&) { return FakeHttpClient::reply(402, "Payment Required"); };
    EXPECT_EQ(errorOf(backend.mintSession()).domain(), "twk.decode"); // not a QuotaError

    http.respond = [](const HttpRequest&) { return FakeHttpClient::reply(503, "upstream down"); };
    EXPECT_EQ(errorOf(backend.mintSession()), Error("twk.backend", 503, "mint 503: upstream down"));

    http.respond = [](const HttpRequest&) { return FakeHttpClient::reply(500, "\xff\xfe bad"); };
    EXPECT_EQ(errorOf(backend.mintSession()), Error("twk.backend", 500, "mint 500: "));

    http.respond = [](const HttpRequest&) { return Expected<HttpResponse>(HttpResponse{std::nullopt, "x"}); };
    EXPECT_EQ(errorOf(backend.mintSession()), Error("twk.backend", -1, ""));

    const Error offline("twk.network", 1, "Connection refused");
    http.respond = [&](const HttpRequest&) { return Expected<HttpResponse>(offline); };
    EXPECT_EQ(errorOf(backend.mintSession()), offline);

    http.respond = [](const HttpRequest&) { return FakeHttpClient::reply(200, R"({"clientSecret":"x"})"); };
    const Error missing = errorOf(backend.mintSession());
    EXPECT_EQ(missing.domain(), "twk.decode");
    EXPECT_NE(missing.description().find("expiresAt"), std::string::npos);
}

TEST_F(BackendTest, StatusIsAPlainGetAndAnyRefusalIsCodeMinusOne)
{
    http.respond = [](const HttpRequest&) { return FakeHttpClient::reply(200, statusBody); };
    const Status s = runTask(loop, backend.fetchStatus());
    EXPECT_EQ(s.plan, "free");
    EXPECT_EQ(s.usedSeconds, 60);
    EXPECT_EQ(s.resetAt, 1767225600000.0);
    EXPECT_TRUE(s.linked);
    EXPECT_EQ(s.email, "ada@example.org");
    const HttpRequest r = http.last();
    EXPECT_EQ(r.method, "GET");
    EXPECT_EQ(r.url, "https://api.example.org/api/usage/status?userId=u-1");
    EXPECT_TRUE(r.headers.empty());
    EXPECT_FALSE(r.body.has_value());

    settings.setString("twk.userId", "a b&c");
    runTask(loop, backend.fetchStatus());
    EXPECT_EQ(http.last().url, "https://api.example.org/api/usage/status?userId=a%20b%26c");

    http.respond = [](const HttpRequest&) { return FakeHttpClient::reply(500, statusBody); };
    EXPECT_EQ(errorOf(backend.fetchStatus()), Error("twk.backend", -1, ""));
}

TEST_F(BackendTest, StatusDecodingTreatsOnlyEmailAsOptional)
{
    auto decodeWith = [&](json::object_t changes, std::vector<std::string> drop) {
        json j = json::parse(statusBody);
        for (auto& [k, v] : changes) j[k] = v;
        for (auto& k : drop) j.erase(k);
        return Status::decode(j.dump());
    };
    EXPECT_FALSE(decodeWith({}, {"email"}).email.has_value());
    EXPECT_FALSE(decodeWith({{"email", nullptr}}, {}).email.has_value());
    EXPECT_THROW(decodeWith({}, {"linked"}), Error);
    EXPECT_THROW(decodeWith({{"linked", 1}}, {}), Error);       // a number is not a boolean
    EXPECT_THROW(decodeWith({{"plan", nullptr}}, {}), Error);    // null in a required key
    EXPECT_THROW(decodeWith({{"email", 5}}, {}), Error);         // present but not a string
    EXPECT_EQ(decodeWith({{"quotaSeconds", 900.25}}, {}).quotaSeconds, 900.25);
    EXPECT_THROW(Status::decode("[]"), Error);
}

TEST_F(BackendTest, TrackUsageNeverRaises)
{
    http.respond = [](const HttpRequest&) { return FakeHttpClient::reply(500, "no"); };
    runTask(loop, backend.trackUsage(30.5));
    EXPECT_EQ(http.last().url, "https://api.example.org/api/usage/track");
    EXPECT_EQ(*http.last().body, R"({"userId":"u-1","seconds":30.5})");
    http.respond = [](const HttpRequest&) { return Expected<HttpResponse>(Error("twk.network", 1, "down")); };
    EXPECT_NO_THROW(runTask(loop, backend.trackUsage(2)));
}

TEST_F(BackendTest, LinksNameTheDashboardWithTheIdentifier)
{
    settings.setString("twk.userId", "0f8e-ab");
    EXPECT_EQ(backend.signInLink(), "https://api.example.org/dashboard?uuid=0f8e-ab&source=mac");
    EXPECT_EQ(backend.dashboardLink(), "https://api.example.org/dashboard?uuid=0f8e-ab");
    EXPECT_TRUE(http.requests().empty());
}

} // namespace
} // namespace twk
