#include "json_input.h"

#include <gtest/gtest.h>

namespace twk::server {
namespace {

std::string nested(int depth, const std::string& inner = "") { return std::string(size_t(depth), '[') + inner + std::string(size_t(depth), ']'); }

TEST(JsonInputTest, DepthIsCountedOutsideStringsOnly)
{
    EXPECT_TRUE(parseJsonInput(nested(4), 4).ok());
    const JsonInput deep = parseJsonInput(nested(5), 4);
    EXPECT_FALSE(deep.ok());
    EXPECT_NE(deep.error.find("deeper than 4"), std::string::npos);
    // Brackets inside strings, escaped quotes included, are text.
    EXPECT_TRUE(parseJsonInput(nested(4, R"("[[[[\"{{{{")"), 4).ok());
    EXPECT_TRUE(parseJsonInput(R"({"a":{"b":"\\"},"c":[1]})", 2).ok());
    EXPECT_FALSE(parseJsonInput(R"({"a":{"b":"\\"},"c":[[1]]})", 2).ok());
    // Closers that open nothing cannot buy depth back.
    EXPECT_FALSE(parseJsonInput("]]]]" + nested(3), 2).ok());
    EXPECT_EQ(parseJsonInput("{\"a\":", 8).error, "not valid JSON");
}

} // namespace
} // namespace twk::server
