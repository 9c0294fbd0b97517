#pragma once
// What a screen reader sees of a custom-drawn pane: the pane and, as its children, a list
// of simple elements (the tree's rows, the bar's segments) that the pane describes.
#include <windows.h>
#include <oleacc.h>
#include <wrl/client.h>

#include <functional>
#include <string>

// Children are numbered from 0 here; the accessibility interfaces count them from 1.
struct accessible_source_t {
    LONG role = ROLE_SYSTEM_CLIENT; // the pane's own role
    std::function<LONG()> count;
    std::function<std::wstring(LONG)> name;
    std::function<LONG(LONG)> role_of;
    std::function<LONG(LONG)> state_of;
    std::function<std::wstring(LONG)> value_of; // may be empty
    // The child's rectangle in screen coordinates; false when it is not on screen.
    std::function<bool(LONG, RECT&)> location_of;
    std::function<LONG()> focused;            // the child with the focus, -1 for none
    std::function<void(LONG)> default_action; // may be empty
    std::wstring default_action_name;
};

class accessible_t;

// Made on the first WM_GETOBJECT and disconnected when the pane goes, since a client
// may hold it longer than the pane lives.
struct accessible_holder_t {
    Microsoft::WRL::ComPtr<accessible_t> object;

    accessible_holder_t();
    ~accessible_holder_t();
    accessible_holder_t(const accessible_holder_t&) = delete;
    accessible_holder_t& operator=(const accessible_holder_t&) = delete;
    // The answer to WM_GETOBJECT; 0 (default handling) for other objects than the client.
    LRESULT answer(HWND window, WPARAM wparam, LPARAM lparam,
                   const std::function<accessible_source_t()>& make_source);
};
