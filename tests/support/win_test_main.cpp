// The in-process tests' entry: the process state that the program's own start-up
// would leave behind, but with a settings file that belongs to this run only.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "app/app.h"
#include "tests/support/win_test_support.h"

namespace {

int quits = 0;

// Like the program's own, except that the file is a fresh temporary one that goes
// away with the process, so no run sees what another left behind.
void open_settings() {
    wchar_t dir[MAX_PATH] = L"";
    wchar_t path[MAX_PATH] = L"";
    GetTempPathW(MAX_PATH, dir);
    GetTempFileNameW(dir, L"zvt", 0, path);
    g_settings = CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
}

// A crash names the test and ends the run, rather than leaving it waiting on a debugger.
LONG WINAPI report_crash(EXCEPTION_POINTERS* info) {
    const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
    std::fprintf(stderr, "exception 0x%08lx at %p in %s.%s\n", info->ExceptionRecord->ExceptionCode,
                 info->ExceptionRecord->ExceptionAddress, test ? test->test_suite_name() : "-",
                 test ? test->name() : "-");
    std::fflush(stderr);
    TerminateProcess(GetCurrentProcess(), 3);
    return EXCEPTION_EXECUTE_HANDLER;
}

} // namespace

void reset_settings(const bytes_t& bytes) {
    SetFilePointer(g_settings, 0, nullptr, FILE_BEGIN);
    SetEndOfFile(g_settings);
    DWORD written = 0;
    if (!bytes.empty()) WriteFile(g_settings, bytes.data(), DWORD(bytes.size()), &written, nullptr);
}

bytes_t settings_bytes() {
    LARGE_INTEGER size{};
    GetFileSizeEx(g_settings, &size);
    bytes_t bytes(static_cast<std::size_t>(size.QuadPart));
    SetFilePointer(g_settings, 0, nullptr, FILE_BEGIN);
    DWORD read = 0;
    if (!bytes.empty()) ReadFile(g_settings, bytes.data(), DWORD(bytes.size()), &read, nullptr);
    bytes.resize(read);
    return bytes;
}

bool pump_until(const std::function<bool()>& done, DWORD timeout_ms) {
    const ULONGLONG deadline = GetTickCount64() + timeout_ms;
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            // The last window's close posts it; a test loop must not end on it unseen.
            if (msg.message == WM_QUIT) {
                ++quits;
                continue;
            }
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (done()) return true;
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, DWORD(std::min<ULONGLONG>(deadline - now, 20)),
                                  QS_ALLINPUT);
    }
}

void pump_for(DWORD ms) {
    pump_until([] { return false; }, ms);
}

int take_quits() {
    const int taken = quits;
    quits = 0;
    return taken;
}

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    SetUnhandledExceptionFilter(report_crash);

    CoInitialize(nullptr);
    OleInitialize(nullptr);
    g_font = CreateFontW(18, 0, 0, 0, FW_DONTCARE, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                         OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_NATURAL_QUALITY,
                         DEFAULT_PITCH, L"\u30e1\u30a4\u30ea\u30aa");
    open_settings();
    if (!g_font || g_settings == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "cannot create the font or the settings file\n");
        return 2;
    }

    const int result = RUN_ALL_TESTS();

    CloseHandle(g_settings);
    DeleteObject(g_font);
    return result;
}
