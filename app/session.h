#pragma once
// What the process holds for all its windows: the settings file, the pins, the windows
// themselves, the image a save could not write yet, and when saves happen. A save is made
// when something is done, not while it is being done: a navigation or a pin at once, a
// layout when its gesture ends (or after a short quiet time), nothing while a start
// restores its windows and one save after the last of them.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/idlist.h"
#include "core/settings_format.h"
#include "win/handle.h"

struct main_window_t;

// The process's pinned folders, one set for every window: read from the settings file by
// the first window that restores, shown in every window, written by every save. A pin
// whose folder cannot be reached for now stays until its folder is seen to be gone.
struct pin_set_t {
    std::vector<byte_list> folders; // in the order they were pinned
    bool loaded = false;
};

struct session_t {
    std::vector<main_window_t*> main_windows; // oldest first; the windows own themselves
    pin_set_t pins;
    unique_handle settings;     // the open settings file, held for the whole run
    std::wstring settings_path; // where it is; its backup beside it
    // How a window is written into the file: given by the windows' own code, which alone
    // knows one.
    std::function<window_record_t(const main_window_t*)> describe;
    // How often the file was written, for the benchmark and the tests.
    std::uint64_t writes = 0;

    session_t() = default;
    session_t(const session_t&) = delete;
    session_t& operator=(const session_t&) = delete;

    // What a start restores: the file, or the backup where it holds the later save.
    std::vector<std::uint8_t> read();

    void window_opened(main_window_t* window);
    // A window closed while others stay leaves the session at once; the last one, or all of
    // them as the process ends, stay in it for the next start. After the last one the
    // message loop ends once the shell has finished what it does for the process.
    void window_closed(main_window_t* window);

    // This window's state written at once (a navigation, a pin, the end of a gesture).
    void save_now(const main_window_t* from);
    // Written after a short quiet time, unless something else saves first (a window moved
    // or sized while no gesture says when it ends).
    void save_soon(const main_window_t* from);
    // While windows are set up (a start restoring its windows, a new window placed)
    // nothing is written; one save follows the last of them.
    void hold_saves();
    void release_saves();
    // What waits, written now: before the last window goes, and as the process ends.
    void flush();
    // As the process ends: what waits, and once more what could not be written, and the
    // report of a failure not yet given.
    void end();

    // The report of a failed save, given once, outside whatever ran the save.
    void say_save_failed();
    // Returns once every save handed to the disk is written (or has failed).
    void settle();

    // A message-only window of the session's own, where the writer reports.
    HWND handle = nullptr;
    static constexpr bool owned_by_window = false;
    LRESULT on_message(UINT message, WPARAM wparam, LPARAM lparam);

private:
    const main_window_t* saver = nullptr; // whose state the file's first record holds
    bool pending = false;
    int held = 0;
    UINT_PTR quiet_timer = 0, report_timer = 0;
    std::uint64_t generation = 0;
    bool generation_known = false;
    std::vector<std::uint8_t> unsaved; // kept until a save gets through
    std::wstring failure_unsaid;
    bool failing = false; // said once while saves keep failing
    // Saves reach the disk on a thread of their own: the flushes that make them safe never
    // hold a navigation. The newest image replaces one that has not begun.
    struct writer_t;
    std::shared_ptr<writer_t> writer;
    // The process's reference, handed to the shell, which holds it while it works for the
    // process on threads of its own (a copy or move that a paste, a drop or a verb began).
    struct shell_reference_t;
    shell_reference_t* shell_reference = nullptr; // ours, while a window is open
    void make_window();

    std::vector<std::uint8_t> compose();
    void write();
    void writes_done();
    void stop_quiet_timer();
    static void CALLBACK on_timer(HWND, UINT, UINT_PTR timer, DWORD);
};

extern session_t g_session;

// Saves held for as long as it lives.
struct saves_held_t {
    saves_held_t() { g_session.hold_saves(); }
    ~saves_held_t() { g_session.release_saves(); }
    saves_held_t(const saves_held_t&) = delete;
    saves_held_t& operator=(const saves_held_t&) = delete;
};
