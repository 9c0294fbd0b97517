#pragma once
// Reads folders' children off the user-interface thread, so that a slow share or a
// sleeping drive never holds the window. Each worker binds its own shell folders from
// item ID bytes: COM objects never cross from one thread to another.
#include <windows.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "core/idlist.h"
#include "ui/tree/tree_node.h"

// What a worker read of one folder; `children` is empty when it could not be read.
struct folder_read_t {
    std::uint64_t job = 0;
    std::optional<std::vector<child_item_t>> children;
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

    // The job's result if it finishes within `ms` milliseconds.
    std::optional<folder_read_t> wait(std::uint64_t job, DWORD ms);

    // Every result finished and not yet taken.
    std::vector<folder_read_t> take_done();

private:
    struct state_t;
    std::shared_ptr<state_t> state;
};
