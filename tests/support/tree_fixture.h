#pragma once
// A suite's tests of the tree of one main window, opened for the suite and settled, each
// test on a fake namespace of its own.
#include <gtest/gtest.h>

#include "tests/support/fake_shell.h"
#include "tests/support/win_test_support.h"

struct main_window_t;
struct tree_view_t;

class tree_fixture_t : public testing::Test {
protected:
    static inline main_window_t* window = nullptr;

    static void SetUpTestSuite() { window = open_settled_window(); }
    static void TearDownTestSuite() {
        close_window(window);
        window = nullptr;
    }

    fake_shell_t shell;
    tree_view_t* tree = nullptr;
};
