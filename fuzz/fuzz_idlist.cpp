// A list the validator accepts is read by the trusted walkers within its bytes.
#include <cstdlib>
#include <vector>

#include "core/idlist.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto length = idlist_checked_length(data, size);
    if (!length) return 0;
    if (*length > size) std::abort();
    std::vector<std::uint8_t> list(data, data + *length);
    list.resize(*length + 2, 0);
    if (idlist_length(list.data()) != *length) std::abort();
    const std::size_t count = idlist_count(list.data());
    if (idlist_prefix_length(list.data(), count) != *length) std::abort();
    for (std::size_t k = 0; k < count; ++k)
        if (idlist_prefix_length(list.data(), k) >= *length) std::abort();
    if (count && !idlist_item_equal(list.data(), list.data())) std::abort();
    return 0;
}
