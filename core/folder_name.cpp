#include "core/folder_name.h"

#include <array>

namespace {

char16_t upper(char16_t c) {
    return c >= u'a' && c <= u'z' ? char16_t(c - u'a' + u'A') : c;
}

bool same_letters(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (upper(a[i]) != upper(b[i])) return false;
    return true;
}

// The system opens a device for these whatever follows the first dot, and spaces before it.
bool names_a_device(std::u16string_view name) {
    std::u16string_view stem = name.substr(0, name.find(u'.'));
    while (!stem.empty() && stem.back() == u' ') stem.remove_suffix(1);
    static constexpr std::array<std::u16string_view, 6> plain{u"CON", u"PRN",    u"AUX",
                                                              u"NUL", u"CONIN$", u"CONOUT$"};
    for (std::u16string_view device : plain)
        if (same_letters(stem, device)) return true;
    if (stem.size() != 4 || stem[3] < u'1' || stem[3] > u'9') return false;
    return same_letters(stem.substr(0, 3), u"COM") || same_letters(stem.substr(0, 3), u"LPT");
}

} // namespace

name_fault_t folder_name_fault(std::u16string_view name) {
    for (char16_t c : name) {
        if (c < 0x20) return name_fault_t::control_character;
        if (std::u16string_view(u"\\/:*?\"<>|").find(c) != std::u16string_view::npos)
            return name_fault_t::reserved_character;
    }
    // The file system drops trailing spaces and dots; nothing may be all that is left.
    if (name.find_first_not_of(u" .") == std::u16string_view::npos) return name_fault_t::no_name;
    if (name.size() > 255) return name_fault_t::too_long;
    if (names_a_device(name)) return name_fault_t::device_name;
    return name_fault_t::none;
}
