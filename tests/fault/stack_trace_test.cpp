#include "fault/stack_trace.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fault/report_format.h"

// Frames the traces must show by name: outside any namespace, never inlined, and each
// call followed by something, so that none becomes a tail call.
__attribute__((noinline)) void zelvon_trace_probe(char* trace) {
    capture_stack_trace(trace);
    asm volatile("" ::: "memory");
}

__attribute__((noinline)) int zelvon_trace_recurse(int depth, char* trace) {
    if (depth == 0)
        capture_stack_trace(trace);
    else
        zelvon_trace_recurse(depth - 1, trace);
    asm volatile("" ::: "memory");
    return depth;
}

__attribute__((noinline)) void zelvon_walk_probe(char* trace) {
    CONTEXT context{};
    RtlCaptureContext(&context);
    walk_stack(context, trace);
    asm volatile("" ::: "memory");
}

namespace {

constexpr char UNTOUCHED = '#';

struct frame_line_t {
    std::string text;
    std::uint64_t address = 0;
    std::size_t digits = 0;
    bool named = false;
    std::string symbol;
    std::uint64_t displacement = 0;
};

// The hex digits at `text`; how many were read goes to `count`. Lower case only.
std::uint64_t read_hex(const std::string& text, std::size_t from, std::size_t& count) {
    std::uint64_t value = 0;
    count = 0;
    for (std::size_t i = from; i < text.size(); ++i, ++count) {
        const char c = text[i];
        if (c >= '0' && c <= '9')
            value = value << 4 | std::uint64_t(c - '0');
        else if (c >= 'a' && c <= 'f')
            value = value << 4 | std::uint64_t(c - 'a' + 10);
        else
            break;
    }
    return value;
}

// Reads the text line by line against the two line forms; anything else fails the test.
std::vector<frame_line_t> parse_trace(const char* trace) {
    std::vector<frame_line_t> lines;
    const std::string text = trace;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = text.find("\r\n", at);
        if (end == std::string::npos) {
            ADD_FAILURE() << "unfinished last line: " << text.substr(at);
            break;
        }
        frame_line_t line;
        line.text = text.substr(at, end - at);
        at = end + 2;
        SCOPED_TRACE(line.text);
        EXPECT_EQ(line.text.find_first_of("\r\n"), std::string::npos);
        EXPECT_EQ(line.text.compare(0, 2, "0x"), 0);
        line.address = read_hex(line.text, 2, line.digits);
        EXPECT_GE(line.digits, 8u);
        EXPECT_LE(line.digits, 16u);
        const std::string rest = line.text.substr(2 + line.digits);
        if (rest == ", ---") {
            lines.push_back(line);
            continue;
        }
        // " name() + 0xdisplacement"; the name itself may hold spaces or parentheses.
        const std::size_t mark = rest.rfind("() + 0x");
        EXPECT_TRUE(rest.size() > 1 && rest[0] == ' ' && mark != std::string::npos && mark > 1)
            << "neither line form";
        if (mark == std::string::npos || mark < 1) continue;
        line.named = true;
        line.symbol = rest.substr(1, mark - 1);
        std::size_t count = 0;
        line.displacement = read_hex(rest, mark + 7, count);
        EXPECT_GE(count, 1u);
        EXPECT_EQ(mark + 7 + count, rest.size()) << "more after the displacement";
        EXPECT_TRUE(count == 1 || rest[mark + 7] != '0') << "displacement with leading zeros";
        lines.push_back(line);
    }
    return lines;
}

// Eight digits at least, and as many more as the address needs.
std::size_t digits_needed(std::uint64_t address) {
    std::size_t digits = 1;
    while (address >>= 4) ++digits;
    return std::max<std::size_t>(digits, 8);
}

bool in_own_module(std::uint64_t address) {
    const auto* base = reinterpret_cast<const std::uint8_t*>(GetModuleHandleW(nullptr));
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const auto start = reinterpret_cast<std::uint64_t>(base);
    return start <= address && address < start + nt->OptionalHeader.SizeOfImage;
}

std::uint64_t address_of(const void* function) {
    return reinterpret_cast<std::uint64_t>(function);
}

// A line for a frame inside `function`: named so, its address in our module and written
// in full, and the displacement leading back to the function's first byte.
void expect_frame_in(const frame_line_t& line, const char* name, const void* function) {
    SCOPED_TRACE(line.text);
    EXPECT_TRUE(line.named);
    EXPECT_EQ(line.symbol, name);
    EXPECT_TRUE(in_own_module(line.address));
    EXPECT_GT(line.address, 0xFFFFFFFFu) << "the image lies above 4 GB in this build";
    EXPECT_EQ(line.digits, digits_needed(line.address)) << "address cut or padded";
    EXPECT_GT(line.displacement, 0u);
    EXPECT_EQ(line.address - line.displacement, address_of(function));
}

// A 10000-byte trace buffer holding the empty string, the rest marked so that any
// write past the terminator shows.
std::vector<char> fresh_buffer() {
    std::vector<char> buffer(TRACE_SIZE, UNTOUCHED);
    buffer[0] = 0;
    return buffer;
}

// The text is terminated inside the buffer and nothing after its terminator was written.
std::size_t expect_terminated(const std::vector<char>& buffer) {
    const std::size_t length = strnlen(buffer.data(), buffer.size());
    EXPECT_LT(length, buffer.size()) << "no terminator";
    if (length >= buffer.size()) return buffer.size();
    EXPECT_EQ(std::count(buffer.begin() + length + 1, buffer.end(), UNTOUCHED),
              std::ptrdiff_t(buffer.size() - length - 1))
        << "written past the terminator";
    return length;
}

TEST(StackTrace, OpensWithTheCaptureThenItsCallers) {
    const UINT mode = GetErrorMode();
    std::vector<std::string> texts;
    for (int round = 0; round < 2; ++round) {
        std::vector<char> buffer = fresh_buffer();
        zelvon_trace_probe(buffer.data());
        EXPECT_EQ(GetErrorMode(), mode) << "the error mode was not restored";
        const std::size_t length = expect_terminated(buffer);
        ASSERT_LT(length, TRACE_SIZE);
        texts.push_back(buffer.data());
    }
    // The symbol service comes and goes with each walk; the second sees the same.
    EXPECT_EQ(texts[0], texts[1]);

    const std::vector<frame_line_t> lines = parse_trace(texts[0].c_str());
    ASSERT_GE(lines.size(), 3u) << texts[0];
    expect_frame_in(lines[0], "capture_stack_trace", reinterpret_cast<void*>(&capture_stack_trace));
    expect_frame_in(lines[1], "zelvon_trace_probe", reinterpret_cast<void*>(&zelvon_trace_probe));
    // This very test's body follows further out.
    const auto body = std::find_if(lines.begin() + 2, lines.end(), [](const frame_line_t& l) {
        return l.symbol.find("OpensWithTheCaptureThenItsCallers") != std::string::npos;
    });
    EXPECT_NE(body, lines.end()) << texts[0];
}

TEST(StackTrace, ADeepStackFillsTheBufferWithWholeLinesOnly) {
    constexpr int DEPTH = 400; // far more lines than the buffer holds
    std::vector<char> buffer = fresh_buffer();
    zelvon_trace_recurse(DEPTH, buffer.data());
    const std::size_t length = expect_terminated(buffer);
    ASSERT_LT(length, TRACE_SIZE);
    const std::vector<frame_line_t> lines = parse_trace(buffer.data());
    ASSERT_GT(lines.size(), 100u);
    expect_frame_in(lines[0], "capture_stack_trace", reinterpret_cast<void*>(&capture_stack_trace));
    for (std::size_t i = 1; i < lines.size(); ++i)
        expect_frame_in(lines[i], "zelvon_trace_recurse",
                        reinterpret_cast<void*>(&zelvon_trace_recurse));
    // It stopped for want of room, not early: one more such line would not have fitted.
    EXPECT_GT(length + lines.back().text.size() + 2, TRACE_SIZE - TRACE_LINE_RESERVE);
}

TEST(StackTrace, WalkStartsWhereTheContextWasCaptured) {
    std::vector<char> buffer = fresh_buffer();
    zelvon_walk_probe(buffer.data());
    expect_terminated(buffer);
    const std::vector<frame_line_t> lines = parse_trace(buffer.data());
    ASSERT_GE(lines.size(), 2u) << buffer.data();
    expect_frame_in(lines[0], "zelvon_walk_probe", reinterpret_cast<void*>(&zelvon_walk_probe));
}

TEST(StackTraceWalk, NonsenseContextsEndCleanly) {
    struct registers_t {
        const char* name;
        DWORD64 rip, rsp, rbp;
    };
    std::vector<std::uint64_t> zeros(64, 0);
    const auto stack_of_zeros = reinterpret_cast<DWORD64>(zeros.data() + 32);
    const registers_t cases[] = {
        {"all zero", 0, 0, 0},
        {"garbage, the stack unreadable", 0xDEADBEEFDEADBEEF, 0x10, 0x12345678},
        {"our code, a stack of zeros", address_of(reinterpret_cast<void*>(&zelvon_trace_probe)),
         stack_of_zeros, stack_of_zeros},
    };
    for (const registers_t& c : cases) {
        SCOPED_TRACE(c.name);
        CONTEXT context{};
        context.ContextFlags = CONTEXT_FULL;
        context.Rip = c.rip;
        context.Rsp = c.rsp;
        context.Rbp = c.rbp;
        std::vector<char> buffer = fresh_buffer();
        EXPECT_EQ(walk_stack(context, buffer.data()), 0);
        expect_terminated(buffer);
        parse_trace(buffer.data()); // whatever it holds is whole lines
    }
}

} // namespace
