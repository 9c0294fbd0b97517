#include "fault/report_format.h"

#include <gtest/gtest.h>

#include <cstring>

#include <string>

namespace {

std::string compose(const char* format, ...) {
    char out[MESSAGE_SIZE];
    std::memset(out, 'x', sizeof out);
    va_list args;
    va_start(args, format);
    compose_message(out, format, args);
    va_end(args);
    return out;
}

TEST(ReportFormat, TraceLinesNameTheFrameOrSayTheyCannot) {
    char trace[TRACE_SIZE] = "";
    std::size_t used = 0;
    ASSERT_TRUE(append_trace_line(trace, used, 0x401a2c, "init_gui", 10));
    ASSERT_TRUE(append_trace_line(trace, used, 0x7b012345, nullptr, 0));
    EXPECT_STREQ(trace, "0x00401a2c init_gui() + 0xa\r\n0x7b012345, ---\r\n");
    EXPECT_EQ(used, std::strlen(trace));
}

TEST(ReportFormat, SixtyFourBitAddressesKeepAllTheirDigits) {
    char trace[TRACE_SIZE] = "";
    std::size_t used = 0;
    append_trace_line(trace, used, 0x140001822, "wWinMain", 0x1f);
    append_trace_line(trace, used, 0xffffffffffffffff, nullptr, 0);
    EXPECT_STREQ(trace, "0x140001822 wWinMain() + 0x1f\r\n0xffffffffffffffff, ---\r\n");
}

TEST(ReportFormat, TheBudgetTakesWholeLinesOnly) {
    // Fill the trace with the longest lines until one no longer fits: every line stays
    // whole and the terminator always has its byte.
    char trace[TRACE_SIZE];
    trace[0] = 0;
    std::size_t used = 0;
    const std::string name(100, 'f');
    int lines = 0;
    while (append_trace_line(trace, used, UINT64_MAX, name.c_str(), UINT64_MAX)) ++lines;
    EXPECT_LT(used, TRACE_SIZE);
    EXPECT_EQ(std::strlen(trace), used);
    const std::size_t line = std::strlen("0xffffffffffffffff () + 0xffffffffffffffff\r\n") + 100;
    EXPECT_EQ(used, lines * line);
    EXPECT_LT(TRACE_SIZE - used, TRACE_LINE_RESERVE + name.size());

    // A name too long for what is left ends the walk, though short lines would fit.
    std::size_t nearly = TRACE_SIZE - 200;
    const std::string long_name(300, 'g');
    EXPECT_FALSE(append_trace_line(trace, nearly, 1, long_name.c_str(), 0));
    EXPECT_EQ(nearly, TRACE_SIZE - 200);
    EXPECT_TRUE(append_trace_line(trace, nearly, 1, nullptr, 0));
}

TEST(ReportFormat, TheMessageIsCutAfter999Characters) {
    const std::string function(600, 'f'), expression(600, 'e');
    const std::string message =
        compose("function:\r\n%s\r\n\r\nexpression: \r\n%s", function.c_str(), expression.c_str());
    ASSERT_EQ(message.size(), 999u);
    EXPECT_EQ(message.substr(0, 11), "function:\r\n");
    EXPECT_EQ(compose("function:\r\n%s\r\n\r\nexpression: \r\n%s", "f()", "x"),
              "function:\r\nf()\r\n\r\nexpression: \r\nx");
}

} // namespace
