#include "fault/fatal.h"

#include <cstdio>
#include <cstdlib>

void fatal_error(const char* function_text, const char* expression_text) {
    std::fprintf(stderr, "runtime exception\nfunction:\n%s\n\nexpression: \n%s\n", function_text,
                 expression_text);
    std::fflush(stderr);
    std::exit(1);
}
