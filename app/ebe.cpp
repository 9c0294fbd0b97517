#include "app/ebe.h"

#include "app/main_window.h"
#include "ui/address/address_view.h"
#include "ui/tree/tree_view.h"

HRESULT ebe_t::OnNavigationPending(PCIDLIST_ABSOLUTE pending) {
    // Started from the tree or the bar, the keys stay there: the new view takes the focus
    // for itself when it shows.
    const HWND focus = GetFocus();
    keys_stay =
        focus && (focus == mw->tree->handle || focus == mw->address->handle) ? focus : nullptr;
    folder = idlist_copy(pending);
    if (!folder) return S_OK; // out of memory: the panes keep the folder they show
    mw->address->set_folder(folder.get());
    mw->tree->model().show_folder(folder.get());
    mw->save_settings();
    return S_OK;
}

HRESULT ebe_t::OnViewCreated(IShellView* created) {
    view = created;
    return S_OK;
}

HRESULT ebe_t::OnNavigationComplete(PCIDLIST_ABSOLUTE completed) {
    if (completed) shown = idlist_copy(completed);
    // A file asked for: its folder shows, the file selected in it.
    if (mw && mw->select_after) {
        if (view)
            view->SelectItem(mw->select_after.get(),
                             SVSI_SELECT | SVSI_FOCUSED | SVSI_ENSUREVISIBLE | SVSI_DESELECTOTHERS);
        mw->select_after.reset();
    }
    const HWND focus = GetFocus();
    if (mw && keys_stay && IsWindow(keys_stay) && focus != keys_stay &&
        (focus == mw->eb_handle || IsChild(mw->eb_handle, focus)))
        SetFocus(keys_stay);
    keys_stay = nullptr;
    return S_OK;
}

HRESULT ebe_t::OnNavigationFailed(PCIDLIST_ABSOLUTE failed) {
    // The bar, the tree and the file followed the pending folder; the browser still shows
    // the one before. A navigation given up for a later one changes nothing: the panes
    // already follow the later one.
    const bool latest = failed && folder && idlist_length(failed) == idlist_length(folder.get()) &&
                        memcmp(failed, folder.get(), idlist_length(failed)) == 0;
    if (latest && shown) OnNavigationPending(shown.get());
    return S_OK;
}
