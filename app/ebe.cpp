#include "app/ebe.h"

HRESULT ebe_t::OnNavigationPending(PCIDLIST_ABSOLUTE pending_folder) {
    folder = idlist_copy(pending_folder);
    if (!folder) return S_OK; // out of memory: the panes keep the folder they show
    if (pending) pending(folder.get());
    return S_OK;
}

HRESULT ebe_t::OnViewCreated(IShellView* created) {
    view = created;
    if (this->created) this->created();
    return S_OK;
}

HRESULT ebe_t::OnNavigationComplete(PCIDLIST_ABSOLUTE completed_folder) {
    if (completed_folder) shown = idlist_copy(completed_folder);
    if (completed) completed();
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
