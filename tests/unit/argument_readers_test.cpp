#include "tools/argument_readers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <utility>
#include <vector>

namespace twk {
namespace {

ToolArgs args(const char* json) { return parseToolArgs(json); }

TEST(ArgumentReaders, AnythingButAJsonObjectReadsAsNoArguments)
{
    for (const char* text : {"", "not json", "{\"a\":", "[1,2]", "\"text\"", "42", "null", "{\"a\":\"\xff\"}"})
        EXPECT_EQ(parseToolArgs(text), ToolArgs::object()) << text;
    EXPECT_EQ(strArg(args("{\"name\":\"Slack\"}"), "name"), "Slack");
}

TEST(ArgumentReaders, StringsAreTakenOnlyAsStrings)
{
    const auto a = args(R"({"s":"Slack","empty":"","n":5,"b":true,"l":["x"]})");
    EXPECT_EQ(strArg(a, "s"), "Slack");
    EXPECT_EQ(strArg(a, "empty"), "");
    EXPECT_EQ(strArg(a, "n"), "");
    EXPECT_EQ(strArg(a, "missing"), "");
    EXPECT_EQ(optStrArg(a, "s"), "Slack");
    EXPECT_EQ(optStrArg(a, "empty"), std::nullopt);
    EXPECT_EQ(optStrArg(a, "b"), std::nullopt);
    EXPECT_EQ(optStrArg(a, "l"), std::nullopt);
}

/// The argument "v" holding `value`, a JSON text.
ToolArgs holding(const std::string& value) { return parseToolArgs("{\"v\":" + value + "}"); }

TEST(ArgumentReaders, IntegersFromNumbersAndWholeDigitStrings)
{
    const std::vector<std::pair<std::string, std::optional<int64_t>>> cases{
        {"45", 45}, {"-7", -7}, {"45.5", 45}, {"-45.9", -45}, {R"("45")", 45}, {R"("+45")", 45}, {R"("-45")", -45},
        {R"("9223372036854775807")", INT64_MAX}, {R"("-9223372036854775808")", INT64_MIN},
        // Out of range, not wholly digits, or not a number at all.
        {"1e300", std::nullopt}, {"18446744073709551615", std::nullopt}, {R"("9223372036854775808")", std::nullopt},
        {R"("-9223372036854775809")", std::nullopt}, {R"("45.5")", std::nullopt}, {R"("")", std::nullopt},
        {R"(" 45")", std::nullopt}, {R"("45 ")", std::nullopt}, {R"("4 5")", std::nullopt}, {R"("+")", std::nullopt},
        {R"("+-4")", std::nullopt}, {R"("0x10")", std::nullopt}, {R"("1e3")", std::nullopt},
        {R"("forty")", std::nullopt}, {"true", std::nullopt}, {"null", std::nullopt}};
    for (const auto& [value, expected] : cases) EXPECT_EQ(intArg(holding(value), "v"), expected) << value;
    EXPECT_EQ(intArg(args("{}"), "v"), std::nullopt);
}

TEST(ArgumentReaders, DoublesFromNumbersAndWholeDecimalStrings)
{
    const std::vector<std::pair<std::string, std::optional<double>>> cases{
        {"30", 30.0}, {"30.5", 30.5}, {R"("30")", 30.0}, {R"("-2.25")", -2.25}, {R"("1e3")", 1000.0},
        {R"("+0.5")", 0.5}, {"18446744073709551615", 18446744073709551615.0},
        {R"("")", std::nullopt}, {R"("30%")", std::nullopt}, {R"(" 30")", std::nullopt}, {R"("30 ")", std::nullopt},
        {R"("3,5")", std::nullopt}, {R"("+-3")", std::nullopt}, {R"("abc")", std::nullopt}, {R"(".")", std::nullopt},
        {R"("1e")", std::nullopt}, {"false", std::nullopt}, {"[1]", std::nullopt}};
    for (const auto& [value, expected] : cases) EXPECT_EQ(doubleArg(holding(value), "v"), expected) << value;
    const auto nan = doubleArg(holding(R"("nan")"), "v");
    ASSERT_TRUE(nan.has_value());
    EXPECT_TRUE(std::isnan(*nan));
}

TEST(ArgumentReaders, BooleansFromBooleansNumbersAndWords)
{
    const auto a = args(R"({"t":true,"f":false,"one":1,"zero":0,"half":0.5,"zf":0.0,
        "yes":"YES","on":"On","s1":"1","true":"true","off":"off","no":"no","empty":"","word":"sure"})");
    for (const char* key : {"t", "one", "half", "yes", "on", "s1", "true"}) EXPECT_EQ(boolArg(a, key), true) << key;
    for (const char* key : {"f", "zero", "zf", "off", "no", "empty", "word"}) EXPECT_EQ(boolArg(a, key), false) << key;
    for (const char* absent : {R"({})", R"({"v":null})", R"({"v":[true]})", R"({"v":{"a":1}})"})
        EXPECT_EQ(boolArg(args(absent), "v"), std::nullopt) << absent;
}

TEST(ArgumentReaders, StringListsAreAllOrNothing)
{
    EXPECT_EQ(stringListArg(args(R"({"v":["a","b"]})"), "v"), (std::vector<std::string>{"a", "b"}));
    EXPECT_TRUE(stringListArg(args(R"({"v":[]})"), "v").empty());
    EXPECT_TRUE(stringListArg(args(R"({"v":["a",1]})"), "v").empty());
    EXPECT_TRUE(stringListArg(args(R"({"v":"a"})"), "v").empty());
    EXPECT_TRUE(stringListArg(args(R"({})"), "v").empty());
}

} // namespace
} // namespace twk
