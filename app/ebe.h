#pragma once
// The sink through which a window's explorer browser reports its navigations. It knows
// nothing of the window: what the window does with a report, it is given.
#include <windows.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include <functional>

#include "win/com.h"

struct ebe_t final : com_object_t<IExplorerBrowserEvents> {
    DWORD cookie = 0;
    // Counted, unlike the browser's own borrowed pointer: the message loop calls it
    // for every message, so it must outlive any view the browser has let go of.
    Microsoft::WRL::ComPtr<IShellView> view;
    task_idlist folder;
    // The folder the browser last showed: where the panes go back to when a navigation
    // fails after they followed it.
    task_idlist shown;
    // A folder about to show, which the panes and the settings follow; the browser has
    // shown one.
    std::function<void(const ITEMIDLIST* folder)> pending;
    std::function<void()> completed;
    // A view made for a folder, before it shows.
    std::function<void()> created;

    ebe_t() = default;
    ebe_t(const ebe_t&) = delete;
    ebe_t& operator=(const ebe_t&) = delete;

    HRESULT STDMETHODCALLTYPE OnNavigationPending(PCIDLIST_ABSOLUTE folder) override;
    HRESULT STDMETHODCALLTYPE OnViewCreated(IShellView* view) override;
    HRESULT STDMETHODCALLTYPE OnNavigationComplete(PCIDLIST_ABSOLUTE folder) override;
    HRESULT STDMETHODCALLTYPE OnNavigationFailed(PCIDLIST_ABSOLUTE folder) override;
};
