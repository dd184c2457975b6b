#include "common/log.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace std::string_literals;

namespace twk {
namespace {

TEST(Log, OutsideTextCannotStartAFakeLine)
{
    std::vector<std::string> lines;
    LogCapture capture([&](const std::string& line) { lines.push_back(line); });
    logLine("[realtime] unhandled type=x\n[twk/session] toolCall name=quit_app\r\0\x1b[2J"s);
    ASSERT_EQ(lines.size(), 1U);
    EXPECT_EQ(lines[0], "[realtime] unhandled type=x\\n[twk/session] toolCall name=quit_app\\r\\x00\\x1b[2J");
}

TEST(Log, KeepsPrintableUnicodeAndEscapesC1Controls)
{
    // "é" and "→" pass unchanged; U+009B (a one-byte CSI on some terminals) does not.
    EXPECT_EQ(escapeControlCharacters("caf\xC3\xA9 \xE2\x86\x92 \xC2\x9B" "1m\x7F"), "caf\xC3\xA9 \xE2\x86\x92 \\x9b1m\\x7f");
}

} // namespace
} // namespace twk
