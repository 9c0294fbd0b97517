// A drive whose every look-up below N:\slow takes seconds, as a share whose server has gone
// quiet (the test command mounts it as a network drive where it can): zelvon's window goes
// on answering while it waits on it.
#include <gtest/gtest.h>

#include <cstdio>

#include "checks.h"
#include "driver.h"

using namespace e2e;

namespace {

bool have_slow_drive() {
    return GetFileAttributesW(L"N:\\quick") != INVALID_FILE_ATTRIBUTES &&
           GetDriveTypeW(L"N:\\") == DRIVE_REMOTE;
}

// Whether the window took every message sent to it within a second, for `ms`: a look-up
// on its thread would hold one for seconds.
bool keeps_answering(HWND window, DWORD ms) {
    for (const ULONGLONG end = GetTickCount64() + ms; GetTickCount64() < end; Sleep(50)) {
        DWORD_PTR result = 0;
        if (!SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 1000, &result)) {
            // Whether it was the window, or Wine's server held by a look-up it made.
            const ULONGLONG asked = GetTickCount64();
            CloseHandle(CreateEventW(nullptr, TRUE, FALSE, nullptr));
            std::fprintf(stderr,
                         "the window left a message unanswered for 1 s; Wine's server "
                         "answers in %llu ms\n",
                         GetTickCount64() - asked);
            return false;
        }
    }
    return true;
}

} // namespace

// Folders looked for there, not gone to: going there, the browser itself lists the folder
// on the window's thread, as it does everywhere.

TEST(SlowDrive, ThePathBoxListsItsFoldersAndLooksForAPathWhileTheWindowAnswers) {
    if (!have_slow_drive()) GTEST_SKIP() << "no slow drive (the test command mounts one as root)";
    delete_settings();
    app_t app(L"C:\\windows");
    HWND window = app.wait_for_window();
    ASSERT_TRUE(window);
    expect_browser_shows(window, parse_path(L"C:\\windows"));
    const panes_t panes = find_panes(window);
    ASSERT_TRUE(focus_tree(panes.tree));

    press_keys({VK_CONTROL, 'L'});
    type_text(L"N:\\slow\\a\\"); // each backslash lists the folder before it
    EXPECT_TRUE(keeps_answering(window, 3000)) << "while it lists the folders typed";
    type_text(L"none");
    press_keys({VK_RETURN});
    EXPECT_TRUE(keeps_answering(window, 8000)) << "while it looks for the path";
    // Named nothing: the box stays, its text selected, to be put right.
    HWND editor = find_child(panes.address, L"Edit");
    EXPECT_TRUE(wait_until([&] {
        DWORD_PTR range = 0;
        SendMessageTimeoutW(editor, EM_GETSEL, 0, 0, SMTO_NORMAL, WAIT_MS, &range);
        return IsWindowVisible(editor) && LOWORD(range) == 0 && HIWORD(range) > 0;
    }));
    close_and_read(app, window);
}

TEST(SlowDrive, AFolderThereHandedOverIsLookedForWhileTheWindowAnswers) {
    if (!have_slow_drive()) GTEST_SKIP() << "no slow drive (the test command mounts one as root)";
    delete_settings();
    app_t app(L"C:\\windows");
    HWND window = app.wait_for_window();
    ASSERT_TRUE(window);
    expect_browser_shows(window, parse_path(L"C:\\windows"));

    app_t later(L"N:\\slow\\a\\none");
    EXPECT_EQ(later.wait_for_exit(), std::optional<DWORD>(0));
    EXPECT_TRUE(keeps_answering(window, 6000)) << "while it parses the folder handed over";
    // Named nothing: a window as the file has it.
    EXPECT_TRUE(wait_until([&] { return app.main_windows().size() == 2; }));
    close_all_and_read(app);
}
