#include "win/background.h"

#include <objbase.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>

namespace {

// Enough that one share gone quiet does not hold all the others back.
constexpr std::size_t MAX_WORKERS = 4;
// A worker with nothing to do for this long ends: a thread at rest costs its stack.
constexpr auto REST = std::chrono::seconds(3);

struct job_t {
    std::function<job_done_t()> work;
    HWND window;
    UINT message;
};

struct pool_t {
    std::mutex lock;
    std::condition_variable more;
    std::deque<job_t> queue;
    std::size_t workers = 0, idle = 0;
};

// Lives as long as the process: workers may still wait on a share as it ends.
pool_t& pool() {
    static pool_t* const shared = new pool_t;
    return *shared;
}

void serve() {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    pool_t& p = pool();
    std::unique_lock<std::mutex> hold(p.lock);
    for (;;) {
        ++p.idle;
        const bool given = p.more.wait_for(hold, REST, [&] { return !p.queue.empty(); });
        --p.idle;
        if (!given) break;
        job_t job = std::move(p.queue.front());
        p.queue.pop_front();
        hold.unlock();
        auto done = std::make_unique<job_done_t>(job.work());
        if (*done && PostMessageW(job.window, job.message, 0, reinterpret_cast<LPARAM>(done.get())))
            done.release();
        hold.lock();
    }
    --p.workers;
    hold.unlock();
    CoUninitialize();
}

DWORD WINAPI run_thread(void* given) {
    const std::unique_ptr<std::function<void()>> work(static_cast<std::function<void()>*>(given));
    (*work)();
    return 0;
}

} // namespace

void run_in_background(std::function<job_done_t()> work, HWND window, UINT message) {
    pool_t& p = pool();
    const std::lock_guard<std::mutex> hold(p.lock);
    p.queue.push_back({std::move(work), window, message});
    if (p.idle > 0) return p.more.notify_one();
    if (p.workers >= MAX_WORKERS) return;
    if (start_thread(serve, SHELL_CODE_STACK)) ++p.workers;
}

bool start_thread(std::function<void()> work, std::size_t reserve) {
    auto owned = std::make_unique<std::function<void()>>(std::move(work));
    const HANDLE thread = CreateThread(nullptr, reserve, run_thread, owned.get(),
                                       STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (!thread) return false;
    owned.release();
    CloseHandle(thread);
    return true;
}

void run_job_done(LPARAM done) {
    const std::unique_ptr<job_done_t> owned(reinterpret_cast<job_done_t*>(done));
    if (owned && *owned) (*owned)();
}
