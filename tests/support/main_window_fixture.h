#pragma once
// Main windows of a test's own over an empty settings file, every one closed at the end.
#include <gtest/gtest.h>

#include "app/ebe.h"
#include "app/main_window.h"
#include "app/session.h"
#include "tests/support/win_test_support.h"

class main_window_fixture_t : public testing::Test {
protected:
    void SetUp() override {
        reset_settings();
        take_quits();
    }

    void TearDown() override {
        // A close that fails to remove its window must not hold the run up.
        for (int left = 8; !g_session.main_windows.empty() && left > 0; --left)
            close(g_session.main_windows.back());
        EXPECT_TRUE(g_session.main_windows.empty());
        g_session.main_windows.clear();
        pump_for(50);
        take_quits();
    }

    // A new window, once the browser's first navigation has reached its sink.
    static main_window_t* open() {
        main_window_t* window = main_window_t::open();
        EXPECT_TRUE(pump_until([window] { return window->ebe->folder != nullptr; }))
            << "no navigation reported";
        return window;
    }

    static void close(main_window_t* window) { SendMessageW(window->handle, WM_CLOSE, 0, 0); }
};
