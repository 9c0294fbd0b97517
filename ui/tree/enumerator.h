#pragma once
// Reads folders' children and names items off the user-interface thread, so that a slow
// share or a sleeping drive never holds the window. Each worker binds its own shell folders from
// item ID bytes: COM objects never cross from one thread to another.
#include <windows.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/idlist.h"
#include "ui/tree/tree_node.h"

// An item to be named by a folder: both as lists with their terminators, the folder's
// absolute (empty: the desktop, which names absolute lists), the item's relative to it.
struct name_request_t {
    byte_list folder;
    byte_list item;
};

// What a worker did for one job. A read: the folder's children, empty when it could not be
// read, and whether it is one of the file system's, whose listing is the whole truth about
// what is in it (a virtual folder, the computer or the network, lists only what is
// reachable at the moment; the desktop counts as the file system's). A naming: a name for
// each request, null where it has none.
struct folder_read_t {
    std::uint64_t job = 0;
    std::optional<std::vector<child_item_t>> children;
    bool file_system = false;
    std::wstring path; // a read file-system folder's, found where it was read
    std::vector<task_string> names;
};

class enumerator_t {
public:
    using desktop_factory_t = std::function<Microsoft::WRL::ComPtr<IShellFolder>()>;

    // Finished reads are announced by posting `message` to `window`.
    enumerator_t(HWND window, UINT message, desktop_factory_t make_desktop);
    ~enumerator_t();
    enumerator_t(const enumerator_t&) = delete;
    enumerator_t& operator=(const enumerator_t&) = delete;

    // Starts reading the folder of an absolute list; the job's number, never 0.
    std::uint64_t start(const byte_list& folder, SHCONTF flags);
    // Starts naming items; the job's number, never 0.
    std::uint64_t name(std::vector<name_request_t> requests);

    // The job's result if it finishes within `ms` milliseconds.
    std::optional<folder_read_t> wait(std::uint64_t job, DWORD ms);

    // Every result finished and not yet taken.
    std::vector<folder_read_t> take_done();

    struct job_t;

private:
    struct state_t;
    std::shared_ptr<state_t> state;
    std::uint64_t queue(job_t job);
};
