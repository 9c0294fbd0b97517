// Any settings file decodes without reading outside it, and every list it yields can
// be handed to the shell: its items stay inside it and it ends in a terminator.
#include <cstdlib>

#include "core/settings_format.h"
#include "core/idlist.h"

namespace {
void check(const byte_list& list) {
    if (list.size() < 2 || list[list.size() - 2] || list.back()) std::abort();
    if (idlist_length(list.data()) != list.size() - 2) std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto s = decode_settings(data, size);
    if (!s) return 0;
    if (s->folder) check(*s->folder);
    for (const byte_list& pin : s->pins) check(pin);
    // What is restored saves and decodes to the same thing.
    std::vector<std::uint8_t> image;
    put_i32(image, SETTINGS_MAGIC);
    put_i32(image, s->split);
    for (std::int32_t edge : s->rect) put_i32(image, edge);
    write_pidl_record(image, s->folder ? s->folder->data() : nullptr);
    put_i32(image, static_cast<std::int32_t>(s->pins.size()));
    for (const byte_list& pin : s->pins) write_pidl_record(image, pin.data());
    const auto again = decode_settings(image.data(), image.size());
    if (!again || again->split != s->split || again->pins != s->pins) std::abort();
    if (s->folder && again->folder != s->folder) std::abort();
    return 0;
}
