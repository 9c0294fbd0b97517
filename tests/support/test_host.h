#pragma once
// A home for a pane of the tests' own: a plain visible parent window in place of a main
// window, and a host that records what the pane asks of it.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "core/idlist.h"
#include "ui/pane_host.h"

struct test_host_t {
    HWND parent = nullptr;
    std::vector<std::vector<std::uint8_t>> browsed; // each list asked for, with its terminator
    struct pin_change_t {
        std::vector<std::uint8_t> folder;
        bool pinned;
        bool operator==(const pin_change_t&) const = default;
    };
    std::vector<pin_change_t> pins_changed;
    std::vector<std::pair<std::vector<std::uint8_t>, std::vector<std::uint8_t>>> pins_moved;
    std::vector<POINT> windows_opened;
    std::vector<std::vector<std::uint8_t>> windows_opened_on;
    // Run after a browse is recorded, when a test wants the window's side done too.
    std::function<void(const ITEMIDLIST*)> after_browse;

    test_host_t() {
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"test_parent";
        RegisterClassW(&wc);
        parent = CreateWindowExW(0, L"test_parent", L"test", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                                 1024, 768, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    }
    ~test_host_t() { DestroyWindow(parent); }
    test_host_t(const test_host_t&) = delete;
    test_host_t& operator=(const test_host_t&) = delete;

    pane_host_t host() {
        return {
            [this](const ITEMIDLIST* list) {
                const auto* bytes = reinterpret_cast<const std::uint8_t*>(list);
                browsed.emplace_back(bytes, bytes + idlist_length(list) + 2);
                if (after_browse) after_browse(list);
            },
            [this](const ITEMIDLIST* folder, bool pinned) {
                const auto* bytes = reinterpret_cast<const std::uint8_t*>(folder);
                pins_changed.push_back({{bytes, bytes + idlist_length(folder) + 2}, pinned});
            },
            [this](const ITEMIDLIST* from, const ITEMIDLIST* to) {
                pins_moved.push_back({idlist_bytes(from), idlist_bytes(to)});
            },
            [this](POINT at) { windows_opened.push_back(at); },
            [this](const ITEMIDLIST* folder) { windows_opened_on.push_back(idlist_bytes(folder)); },
        };
    }
};
