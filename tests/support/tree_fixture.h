#pragma once
// A tree pane of each test's own, on a plain parent window with a recording host and a
// fake namespace.
#include <gtest/gtest.h>

#include <memory>

#include "app/process.h"
#include "tests/support/fake_shell.h"
#include "tests/support/test_host.h"
#include "tests/support/win_test_support.h"
#include "ui/tree/tree_view.h"

class tree_fixture_t : public testing::Test {
protected:
    fake_shell_t shell;
    test_host_t home;
    std::unique_ptr<tree_view_t> pane =
        std::make_unique<tree_view_t>(home.parent, g_font.get(), home.host());
    tree_view_t* tree = pane.get();

    tree_fixture_t() { attach_tree(tree->model(), shell); }
};
