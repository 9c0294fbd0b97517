#pragma once
// Whether the file system takes a name for a folder, told before it is asked: a refused
// name can then be mended in the box it was typed in.
#include <string_view>

enum class name_fault_t {
    none,
    reserved_character, // one of \ / : * ? " < > |
    control_character,  // below U+0020
    device_name,        // CON, NUL, COM1, LPT1... with or without an extension
    no_name,            // nothing but spaces and dots
    too_long,           // past a path component's 255 units
};

name_fault_t folder_name_fault(std::u16string_view name);
