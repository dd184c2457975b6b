#include "tools/argument_readers.h"

#include <gtest/gtest.h>

#include <cmath>

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

TEST(ArgumentReaders, IntegersFromNumbersAndDigitStrings)
{
    const auto a = args(R"({"i":45,"neg":-7,"f":45.5,"nf":-45.9,"s":"45","plus":"+45","minus":"-45",
        "max":"9223372036854775807","min":"-9223372036854775808","bigf":1e300,"bigu":18446744073709551615})");
    EXPECT_EQ(intArg(a, "i"), 45);
    EXPECT_EQ(intArg(a, "neg"), -7);
    EXPECT_EQ(intArg(a, "f"), 45);
    EXPECT_EQ(intArg(a, "nf"), -45);
    EXPECT_EQ(intArg(a, "s"), 45);
    EXPECT_EQ(intArg(a, "plus"), 45);
    EXPECT_EQ(intArg(a, "minus"), -45);
    EXPECT_EQ(intArg(a, "max"), INT64_MAX);
    EXPECT_EQ(intArg(a, "min"), INT64_MIN);
    EXPECT_EQ(intArg(a, "bigf"), std::nullopt);
    EXPECT_EQ(intArg(a, "bigu"), std::nullopt);
}

TEST(ArgumentReaders, IntegerStringsMustBeDigitsOnly)
{
    for (const char* bad : {"45.5", "", " 45", "45 ", "4 5", "+", "-", "+-4", "--4", "0x10", "1e3",
                            "9223372036854775808", "-9223372036854775809", "forty"}) {
        const ToolArgs a = {{"v", bad}};
        EXPECT_EQ(intArg(a, "v"), std::nullopt) << bad;
    }
    EXPECT_EQ(intArg(args(R"({"v":true})"), "v"), std::nullopt);
    EXPECT_EQ(intArg(args(R"({"v":null})"), "v"), std::nullopt);
    EXPECT_EQ(intArg(args("{}"), "v"), std::nullopt);
}

TEST(ArgumentReaders, DoublesFromNumbersAndWholeDecimalStrings)
{
    const auto a = args(R"({"i":30,"f":30.5,"s":"30","sf":"-2.25","e":"1e3","plus":"+0.5","u":18446744073709551615})");
    EXPECT_EQ(doubleArg(a, "i"), 30.0);
    EXPECT_EQ(doubleArg(a, "f"), 30.5);
    EXPECT_EQ(doubleArg(a, "s"), 30.0);
    EXPECT_EQ(doubleArg(a, "sf"), -2.25);
    EXPECT_EQ(doubleArg(a, "e"), 1000.0);
    EXPECT_EQ(doubleArg(a, "plus"), 0.5);
    EXPECT_EQ(doubleArg(a, "u"), 18446744073709551615.0);
    const auto nan = doubleArg(ToolArgs{{"v", "nan"}}, "v");
    ASSERT_TRUE(nan.has_value());
    EXPECT_TRUE(std::isnan(*nan));
    for (const char* bad : {"", "30%", " 30", "30 ", "3,5", "+-3", "abc", ".", "1e"}) {
        const ToolArgs b = {{"v", bad}};
        EXPECT_EQ(doubleArg(b, "v"), std::nullopt) << bad;
    }
    EXPECT_EQ(doubleArg(args(R"({"v":false})"), "v"), std::nullopt);
    EXPECT_EQ(doubleArg(args(R"({"v":[1]})"), "v"), std::nullopt);
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
