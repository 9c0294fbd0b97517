#include "fault/stack_trace.h"

#include <imagehlp.h>

#include "fault/report_format.h"

namespace {
// One record for every walk; walks never overlap on the one thread.
alignas(IMAGEHLP_SYMBOL64) BYTE symbol_buffer[10000];
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
    HANDLE process = GetCurrentProcess();
    if (!SymInitialize(process, nullptr, TRUE)) return 0;
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
    while (StackWalk64(IMAGE_FILE_MACHINE_AMD64, process, GetCurrentThread(), &frame, &context,
                       nullptr, SymFunctionTableAccess64, SymGetModuleBase64, nullptr)) {
        if (frame.AddrFrame.Offset == 0) break;
        DWORD64 displacement = 0;
        const bool found = SymGetSymFromAddr64(process, frame.AddrPC.Offset, &displacement, symbol);
        if (!append_trace_line(trace, used, frame.AddrPC.Offset, found ? symbol->Name : nullptr,
                               displacement))
            break;
    }
    SymCleanup(process);
    return 0;
}
