// Whatever another process leaves in the block, the reader stays inside it and stops
// at the first zero.
#include <cstdlib>

#include "core/handover.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::u16string path = read_handover_block(data, size);
    if (path.size() * 2 > size) std::abort();
    for (char16_t c : path)
        if (c == 0) std::abort();
    return 0;
}
