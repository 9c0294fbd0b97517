#pragma once
// The texts of the fatal report, apart from windows: the message and the trace lines.
#include <cstdarg>
#include <cstddef>
#include <cstdint>

constexpr std::size_t TRACE_SIZE = 10000;  // the trace text, terminator included
constexpr std::size_t MESSAGE_SIZE = 1000; // the message, terminator included

// Room a line needs besides its symbol name: "0x", up to sixteen address digits, the
// separators, up to sixteen displacement digits, "\r\n" and the terminator.
constexpr std::size_t TRACE_LINE_RESERVE = 48;

// Appends one frame's line to the trace text (holding `used` characters) when it fits
// whole, as "0x%08x %s() + 0x%x\r\n", or "0x%08x, ---\r\n" without a symbol; the
// address keeps all its digits. False, with nothing written, when it does not fit.
bool append_trace_line(char* trace, std::size_t& used, std::uint64_t address, const char* symbol,
                       std::uint64_t displacement);

// Composes the message into `out` (MESSAGE_SIZE bytes), cut after 999 characters and
// always terminated.
void compose_message(char* out, const char* format, va_list args);
