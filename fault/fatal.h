#pragma once
// The one way a failed precondition ends the program.
#include "fault/fatal_sites.h"

// `detail`, when given, follows the two texts in the report: what the user needs to
// know to put it right (a path and the system's reason, say).
[[noreturn]] void fatal_error(const char* function_text, const char* expression_text,
                              const wchar_t* detail = nullptr);

// A precondition: false ends the program with the site's texts. Always inlined, so the
// report's trace goes from fatal_error straight to the function that checked.
[[gnu::always_inline]] inline void fatal_check(bool holds, const fatal_site_t& site,
                                               const wchar_t* detail = nullptr) {
    if (!holds) fatal_error(site.function, site.expression, detail);
}
