#include "fault/report_format.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

bool append_trace_line(char* trace, std::size_t& used, std::uint64_t address, const char* symbol,
                       std::uint64_t displacement) {
    const std::size_t left = TRACE_SIZE - used;
    const std::size_t need = TRACE_LINE_RESERVE + (symbol ? std::strlen(symbol) : 0);
    if (need > left) return false;
    const int written =
        symbol ? std::snprintf(trace + used, left, "0x%08" PRIx64 " %s() + 0x%" PRIx64 "\r\n",
                               address, symbol, displacement)
               : std::snprintf(trace + used, left, "0x%08" PRIx64 ", ---\r\n", address);
    used += static_cast<std::size_t>(written);
    return true;
}

void compose_message(char* out, const char* format, va_list args) {
    std::vsnprintf(out, MESSAGE_SIZE, format, args);
}
