#pragma once
// Work that may wait on a slow volume (a share gone quiet, a drive spinning up) done off the
// window's thread, by a few threads the whole process shares, each with an apartment of its
// own, there only while there is work. COM objects never cross: work takes and gives bytes
// and strings.
#include <windows.h>

#include <cstddef>
#include <functional>

// What a job gives back: run on the window's thread once the job has ended.
using job_done_t = std::function<void()>;

// Runs `work` on a worker; what it returns runs on the thread of `window`, posted there as
// `message`, for the window to hand to run_job_done. Nothing runs for a window that went.
void run_in_background(std::function<job_done_t()> work, HWND window, UINT message);

// From the window procedure, for `message`'s lparam.
void run_job_done(LPARAM done);

// A thread of the process's own, left to end by itself, its stack reserved at `reserve`
// bytes rather than the program's default. False when the system could not start it.
constexpr std::size_t OWN_CODE_STACK = 256 * 1024;    // our code and the system's file calls
constexpr std::size_t SHELL_CODE_STACK = 1024 * 1024; // the shell's, and what it loads
bool start_thread(std::function<void()> work, std::size_t reserve);
