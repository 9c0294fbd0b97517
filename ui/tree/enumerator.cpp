#include "ui/tree/enumerator.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace {

// Enough that one hung share does not hold every other folder back.
constexpr std::size_t MAX_WORKERS = 4;
// A worker with nothing to do for this long ends: a thread at rest costs its stack.
constexpr auto IDLE_END = std::chrono::seconds(3);

struct job_t {
    std::uint64_t id;
    byte_list folder;
    SHCONTF flags;
};

} // namespace

// Shared with the workers, which may outlive the enumerator while a read hangs.
struct enumerator_t::state_t {
    std::mutex lock;
    std::condition_variable changed;
    std::deque<job_t> queue;
    std::vector<folder_read_t> done;
    std::size_t workers = 0, idle = 0;
    std::uint64_t next_job = 1;
    bool stopping = false;
    HWND window;
    UINT message;
    desktop_factory_t make_desktop;
};

namespace {

folder_read_t read_folder(IShellFolder* desktop, const job_t& job) {
    folder_read_t read{job.id, std::nullopt};
    if (!desktop) return read;
    Microsoft::WRL::ComPtr<IShellFolder> folder;
    if (idlist_length(job.folder.data()) == 0)
        folder = desktop;
    else
        desktop->BindToObject(as_idlist(job.folder), nullptr, IID_PPV_ARGS(&folder));
    if (folder) read.children = enumerate_children(folder.Get(), job.flags, true);
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
    state->queue.clear();
    state->done.clear();
    state->changed.notify_all();
}

std::uint64_t enumerator_t::start(const byte_list& folder, SHCONTF flags) {
    std::unique_lock<std::mutex> hold(state->lock);
    const std::uint64_t id = state->next_job++;
    state->queue.push_back({id, folder, flags});
    if (state->idle == 0 && state->workers < MAX_WORKERS) {
        ++state->workers;
        std::thread([shared = state] {
            CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
            {
                std::unique_lock<std::mutex> hold(shared->lock);
                for (;;) {
                    ++shared->idle;
                    const bool woken = shared->changed.wait_for(
                        hold, IDLE_END, [&] { return shared->stopping || !shared->queue.empty(); });
                    --shared->idle;
                    if (shared->stopping || !woken) break;
                    const job_t job = std::move(shared->queue.front());
                    shared->queue.pop_front();
                    hold.unlock();
                    folder_read_t read = read_folder(shared->make_desktop().Get(), job);
                    hold.lock();
                    if (shared->stopping) break;
                    shared->done.push_back(std::move(read));
                    shared->changed.notify_all();
                    if (shared->window) PostMessageW(shared->window, shared->message, 0, 0);
                }
                --shared->workers;
            }
            CoUninitialize();
        }).detach();
    }
    state->changed.notify_all();
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
