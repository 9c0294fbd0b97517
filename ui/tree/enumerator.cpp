#include "ui/tree/enumerator.h"

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>

#include "win/background.h"

struct enumerator_t::job_t {
    std::uint64_t id;
    byte_list folder;
    SHCONTF flags;
    bool naming; // names items, reads nothing
    std::vector<name_request_t> names;
};

// Shared with the workers, which may outlive the enumerator while a read hangs.
struct enumerator_t::state_t {
    std::mutex lock;
    std::condition_variable changed;
    std::vector<folder_read_t> done;
    std::uint64_t next_job = 1;
    bool stopping = false;
    HWND window;
    UINT message;
    desktop_factory_t make_desktop;
};

namespace {

Microsoft::WRL::ComPtr<IShellFolder> bind_list(IShellFolder* desktop, const byte_list& list) {
    Microsoft::WRL::ComPtr<IShellFolder> folder;
    if (idlist_length(list.data()) == 0)
        folder = desktop;
    else
        desktop->BindToObject(as_idlist(list), nullptr, IID_PPV_ARGS(&folder));
    return folder;
}

// Asked of its parent, as the shell's views do.
bool is_file_system_folder(IShellFolder* desktop, const byte_list& list) {
    const std::size_t items = idlist_count(list.data());
    if (items == 0) return true;
    const std::size_t parent_length = idlist_prefix_length(list.data(), items - 1);
    byte_list parent(list.begin(), list.begin() + parent_length);
    parent.insert(parent.end(), {0, 0});
    const auto folder = bind_list(desktop, parent);
    const auto* item = reinterpret_cast<const ITEMIDLIST*>(list.data() + parent_length);
    SFGAOF attributes = SFGAO_FILESYSTEM;
    return folder && SUCCEEDED(folder->GetAttributesOf(1, &item, &attributes)) &&
           (attributes & SFGAO_FILESYSTEM);
}

folder_read_t run_job(IShellFolder* desktop, const enumerator_t::job_t& job) {
    folder_read_t read;
    read.job = job.id;
    if (!desktop) return read;
    if (job.naming) {
        // Each folder bound once for all the items it names.
        std::map<byte_list, Microsoft::WRL::ComPtr<IShellFolder>> bound;
        for (const name_request_t& request : job.names) {
            auto at = bound.find(request.folder);
            if (at == bound.end())
                at = bound.emplace(request.folder, bind_list(desktop, request.folder)).first;
            read.names.push_back(
                at->second ? display_name_of(at->second.Get(), as_idlist(request.item)) : nullptr);
        }
        return read;
    }
    if (const auto folder = bind_list(desktop, job.folder))
        read.children = enumerate_children(folder.Get(), job.flags, true);
    read.file_system = read.children && is_file_system_folder(desktop, job.folder);
    // Its path too, asked of the desktop the read went through: it binds the parent, which
    // may wait on the volume as the read did.
    if (read.file_system)
        if (const task_string path =
                display_name_of(desktop, as_idlist(job.folder), SHGDN_FORPARSING))
            read.path = path.get();
    return read;
}

} // namespace

enumerator_t::enumerator_t(HWND window, UINT message, desktop_factory_t make_desktop)
    : state(std::make_shared<state_t>()) {
    state->window = window;
    state->message = message;
    state->make_desktop = std::move(make_desktop);
}

enumerator_t::~enumerator_t() {
    const std::lock_guard<std::mutex> hold(state->lock);
    state->stopping = true;
    state->window = nullptr;
    state->done.clear();
}

std::uint64_t enumerator_t::start(const byte_list& folder, SHCONTF flags) {
    return queue({0, folder, flags, false, {}});
}

std::uint64_t enumerator_t::name(std::vector<name_request_t> requests) {
    return queue({0, {}, 0, true, std::move(requests)});
}

std::uint64_t enumerator_t::queue(job_t job) {
    const std::lock_guard<std::mutex> hold(state->lock);
    const std::uint64_t id = job.id = state->next_job++;
    // On the process's helper threads, which outlive this enumerator while a read hangs.
    run_in_background(
        [shared = state, job = std::move(job)]() -> job_done_t {
            {
                const std::lock_guard<std::mutex> hold(shared->lock);
                if (shared->stopping) return {};
            }
            folder_read_t read = run_job(shared->make_desktop().Get(), job);
            const std::lock_guard<std::mutex> hold(shared->lock);
            if (shared->stopping) return {};
            shared->done.push_back(std::move(read));
            shared->changed.notify_all();
            if (shared->window) PostMessageW(shared->window, shared->message, 0, 0);
            return {};
        },
        nullptr, 0);
    return id;
}

std::optional<folder_read_t> enumerator_t::wait(std::uint64_t job, DWORD ms) {
    std::unique_lock<std::mutex> hold(state->lock);
    const auto finished = [&] {
        for (const folder_read_t& read : state->done)
            if (read.job == job) return true;
        return false;
    };
    if (!state->changed.wait_for(hold, std::chrono::milliseconds(ms), finished))
        return std::nullopt;
    std::optional<folder_read_t> result;
    for (auto it = state->done.begin(); it != state->done.end(); ++it)
        if (it->job == job) {
            result.emplace(std::move(*it));
            state->done.erase(it);
            break;
        }
    return result;
}

std::vector<folder_read_t> enumerator_t::take_done() {
    const std::lock_guard<std::mutex> hold(state->lock);
    return std::exchange(state->done, {});
}
