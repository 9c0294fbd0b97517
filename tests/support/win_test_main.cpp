// The in-process tests' entry: the process state that the program's own start-up
// would leave behind, but with a settings file that belongs to this run only.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>

#include "app/session.h"
#include "app/ebe.h"
#include "app/main_window.h"
#include "tests/support/win_test_support.h"

namespace {

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
    g_session.settle();
    DeleteFileW((g_session.settings_path + L".bak").c_str());
    SetFilePointer(g_session.settings.get(), 0, nullptr, FILE_BEGIN);
    SetEndOfFile(g_session.settings.get());
    DWORD written = 0;
    if (!bytes.empty())
        WriteFile(g_session.settings.get(), bytes.data(), DWORD(bytes.size()), &written, nullptr);
}

bytes_t settings_bytes() {
    g_session.settle();
    LARGE_INTEGER size{};
    GetFileSizeEx(g_session.settings.get(), &size);
    bytes_t bytes(static_cast<std::size_t>(size.QuadPart));
    SetFilePointer(g_session.settings.get(), 0, nullptr, FILE_BEGIN);
    DWORD read = 0;
    if (!bytes.empty())
        ReadFile(g_session.settings.get(), bytes.data(), DWORD(bytes.size()), &read, nullptr);
    bytes.resize(read);
    return bytes;
}

main_window_t* open_settled_window() {
    reset_settings();
    main_window_t* window = main_window_t::open();
    EXPECT_TRUE(pump_until([window] { return window->ebe->folder != nullptr; }))
        << "no navigation reported";
    return window;
}

void close_window(main_window_t* window) {
    SendMessageW(window->handle, WM_CLOSE, 0, 0);
    pump_for(50);
    take_quits();
}

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    SetUnhandledExceptionFilter(report_crash);

    if (!open_process_state(L"zvt")) {
        std::fprintf(stderr, "cannot create the font or the settings file\n");
        return 2;
    }

    const int result = RUN_ALL_TESTS();

    close_process_state();
    return result;
}
