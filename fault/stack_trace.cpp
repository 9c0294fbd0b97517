#include "fault/stack_trace.h"

#include <imagehlp.h>

#include <type_traits>

#include "fault/report_format.h"

namespace {
// One record for every walk; walks never overlap on the one thread.
alignas(IMAGEHLP_SYMBOL64) BYTE symbol_buffer[10000];

// The library is loaded for the first trace: most runs never make one, and once loaded it
// costs the process its pages.
struct imagehlp_t {
    decltype(&SymInitialize) initialize = nullptr;
    decltype(&StackWalk64) walk = nullptr;
    decltype(&SymFunctionTableAccess64) table_access = nullptr;
    decltype(&SymGetModuleBase64) module_base = nullptr;
    decltype(&SymGetSymFromAddr64) symbol_at = nullptr;
    decltype(&SymCleanup) cleanup = nullptr;
};

bool load(imagehlp_t& f) {
    const HMODULE library = LoadLibraryExW(L"imagehlp.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    const auto get = [library](auto& function, const char* name) {
        function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(
            reinterpret_cast<void*>(GetProcAddress(library, name)));
        return function != nullptr;
    };
    return library && get(f.initialize, "SymInitialize") && get(f.walk, "StackWalk64") &&
           get(f.table_access, "SymFunctionTableAccess64") &&
           get(f.module_base, "SymGetModuleBase64") && get(f.symbol_at, "SymGetSymFromAddr64") &&
           get(f.cleanup, "SymCleanup");
}
} // namespace

// Not inlined and not a tail call, so the trace opens with this very function.
__attribute__((noinline)) int capture_stack_trace(char* trace) {
    const UINT previous = SetErrorMode(SEM_NOGPFAULTERRORBOX);
    CONTEXT context{};
    RtlCaptureContext(&context);
    walk_stack(context, trace);
    SetErrorMode(previous);
    asm volatile("" ::: "memory");
    return 0;
}

int walk_stack(const CONTEXT& captured, char* trace) {
    static imagehlp_t sym;
    static const bool loaded = load(sym);
    HANDLE process = GetCurrentProcess();
    if (!loaded || !sym.initialize(process, nullptr, TRUE)) return 0;
    auto* symbol = reinterpret_cast<IMAGEHLP_SYMBOL64*>(symbol_buffer);
    symbol->SizeOfStruct = sizeof(IMAGEHLP_SYMBOL64);
    symbol->MaxNameLength = sizeof symbol_buffer - sizeof(IMAGEHLP_SYMBOL64);

    // The walker updates the context as it unwinds; the caller's stays as it was.
    CONTEXT context = captured;
    STACKFRAME64 frame{};
    frame.AddrPC.Offset = context.Rip;
    frame.AddrFrame.Offset = context.Rbp;
    frame.AddrStack.Offset = context.Rsp;
    frame.AddrPC.Mode = frame.AddrFrame.Mode = frame.AddrStack.Mode = AddrModeFlat;

    std::size_t used = 0;
    while (sym.walk(IMAGE_FILE_MACHINE_AMD64, process, GetCurrentThread(), &frame, &context,
                    nullptr, sym.table_access, sym.module_base, nullptr)) {
        if (frame.AddrFrame.Offset == 0) break;
        DWORD64 displacement = 0;
        const bool found = sym.symbol_at(process, frame.AddrPC.Offset, &displacement, symbol);
        if (!append_trace_line(trace, used, frame.AddrPC.Offset, found ? symbol->Name : nullptr,
                               displacement))
            break;
    }
    sym.cleanup(process);
    return 0;
}
