#pragma once
// A symbolised trace of the calling thread, for the fatal report.
#include <windows.h>

// Fills `trace` (10000 bytes, holding the empty string) with one line per frame,
// innermost first. Returns 0.
int capture_stack_trace(char* trace);

// Walks from a captured processor state. Returns 0.
int walk_stack(const CONTEXT& context, char* trace);
