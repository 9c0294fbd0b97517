#pragma once
// For the tests and benchmarks that run the program's objects in their own process: the
// state the program's start-up would leave behind, and a message pump to wait on the
// explorer browser with, which reports navigations through the queue. Header-only, so
// that a benchmark needs nothing else of the tests' support.
#include <windows.h>

#include <functional>
#include <string>

#include "app/process.h"
#include "app/session.h"
#include "app/settings_file.h"
#include "app/startup.h"

// The settings file of this process, a fresh temporary one.
inline std::wstring process_settings_path;

// COM and OLE, and the program's font and settings file made by its own code, except
// that the file is a fresh temporary one (named from `prefix`) that goes when the state
// is closed, so no run sees what another left behind, and none touches the user's.
// False when the font or the file cannot be made.
inline bool open_process_state(const wchar_t* prefix) {
    CoInitialize(nullptr);
    OleInitialize(nullptr);
    g_font.reset(create_ui_font());
    wchar_t dir[MAX_PATH] = L"";
    wchar_t path[MAX_PATH] = L"";
    GetTempPathW(MAX_PATH, dir);
    GetTempFileNameW(dir, prefix, 0, path);
    process_settings_path = path;
    g_session.settings_path = path;
    g_session.settings = open_settings_file(path);
    return g_font && valid_handle(g_session.settings);
}

inline void close_process_state() {
    g_session.settle();
    close_gui();
    DeleteFileW(process_settings_path.c_str());
    DeleteFileW((process_settings_path + L".bak").c_str());
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
        // Alertable, as the program's loop: the folder watch's reads come back as calls.
        MsgWaitForMultipleObjectsEx(0, nullptr, DWORD(wait), QS_ALLINPUT,
                                    MWMO_ALERTABLE | MWMO_INPUTAVAILABLE);
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
