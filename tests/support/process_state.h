#pragma once
// For the tests and benchmarks that run the program's objects in their own process: the
// state the program's start-up would leave behind, and a message pump to wait on the
// explorer browser with, which reports navigations through the queue. Header-only, so
// that a benchmark needs nothing else of the tests' support.
#include <windows.h>

#include <functional>

#include "app/app.h"

// COM and OLE, the program's font, and a settings file like the program's own except that
// it is a fresh temporary one (named from `prefix`) that goes away with the process, so
// no run sees what another left behind, and none touches the user's. False when the font
// or the file cannot be made.
inline bool open_process_state(const wchar_t* prefix) {
    CoInitialize(nullptr);
    OleInitialize(nullptr);
    g_font = CreateFontW(18, 0, 0, 0, FW_DONTCARE, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                         OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_NATURAL_QUALITY,
                         DEFAULT_PITCH, L"\u30e1\u30a4\u30ea\u30aa");
    wchar_t dir[MAX_PATH] = L"";
    wchar_t path[MAX_PATH] = L"";
    GetTempPathW(MAX_PATH, dir);
    GetTempFileNameW(dir, prefix, 0, path);
    g_settings = CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    return g_font && g_settings != INVALID_HANDLE_VALUE;
}

inline void close_process_state() {
    CloseHandle(g_settings);
    DeleteObject(g_font);
}

// WM_QUIT messages the pump has taken out of the queue and not yet handed to take_quits.
inline int pumped_quits = 0;

// Dispatches this thread's messages until `done` holds or `timeout_ms` has passed; true
// when `done` held.
inline bool pump_until(const std::function<bool()>& done, DWORD timeout_ms = 10000) {
    const ULONGLONG deadline = GetTickCount64() + timeout_ms;
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            // The last window's close posts it; a loop must not end on it unseen.
            if (msg.message == WM_QUIT) {
                ++pumped_quits;
                continue;
            }
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (done()) return true;
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline) return false;
        const ULONGLONG wait = deadline - now < 20 ? deadline - now : 20;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, DWORD(wait), QS_ALLINPUT);
    }
}

inline void pump_for(DWORD ms) {
    pump_until([] { return false; }, ms);
}

// How many WM_QUIT messages the pump has taken out of the queue since the last call.
inline int take_quits() {
    const int taken = pumped_quits;
    pumped_quits = 0;
    return taken;
}
