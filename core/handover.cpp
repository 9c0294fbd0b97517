#include "core/handover.h"

std::u16string read_handover_block(const void* view, std::size_t size) {
    const auto* bytes = static_cast<const unsigned char*>(view);
    std::u16string path;
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        const char16_t unit = static_cast<char16_t>(bytes[i] | bytes[i + 1] << 8);
        if (unit == 0) break;
        path += unit;
    }
    return path;
}
