#pragma once
// The one way a failed precondition ends the program.

[[noreturn]] void fatal_error(const char* function_text, const char* expression_text);

// Names the enclosing function for the checks in it, spelt as the dialog shows it.
#define fatal_function(text) static constexpr const char fatal_function_text[] = text

// The expression is evaluated once; zero is a failure. Its source text is the report.
#define fatal_check(expression) fatal_check_text((expression), #expression)

// For a check whose reported text cannot be its own spelling: a test against a value
// other than zero, or a text that must keep bytes of another code page.
#define fatal_check_text(condition, text)                                                          \
    ((condition) ? (void)0 : fatal_error(fatal_function_text, text))
