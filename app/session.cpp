#include "app/session.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <utility>

#include <shlobj.h>

#include "app/settings_file.h"
#include "win/background.h"
#include "win/window_class.h"

session_t g_session;

namespace {

// A layout that no gesture's end reports (maximised, restored, moved by the keys) is
// written once it has been still this long.
constexpr UINT QUIET_MS = 500;
// From the writer: writes have ended.
constexpr UINT WM_WRITES_DONE = WM_APP + 1;
// The last window has closed and the shell has let the process go.
constexpr UINT WM_SHELL_DONE = WM_APP + 2;
// How long the writer's thread waits for the next save before it ends.
constexpr int WRITER_REST_MS = 3000;

} // namespace

struct session_t::writer_t : std::enable_shared_from_this<writer_t> {
    const HANDLE file;
    const std::wstring path;
    const HWND report_to;
    std::mutex lock;
    std::condition_variable idle;
    std::condition_variable work;
    std::optional<std::vector<std::uint8_t>> next; // the newest image, not begun
    bool busy = false;                             // an image handed over is not written yet
    bool thread_runs = false;                      // the writing thread is there, busy or resting
    // The last write that ended: its image, and why it failed (empty: it did not).
    std::vector<std::uint8_t> ended;
    std::wstring failure;
    bool unseen = false;

    writer_t(HANDLE settings, std::wstring settings_path, HWND window)
        : file(settings), path(std::move(settings_path)), report_to(window) {}

    void put(std::vector<std::uint8_t> image) {
        std::unique_lock<std::mutex> hold(lock);
        next = std::move(image);
        busy = true;
        if (thread_runs) return work.notify_one();
        // A thread while there is something to write, and a moment after: starting one
        // costs the window's thread more than handing it an image.
        thread_runs = start_thread([self = shared_from_this()] { self->run(); }, OWN_CODE_STACK);
        // None to be had: written here and now rather than not at all.
        if (!thread_runs) write_next(hold);
    }

    void run() {
        std::unique_lock<std::mutex> hold(lock);
        while (next || work.wait_for(hold, std::chrono::milliseconds(WRITER_REST_MS),
                                     [this] { return next.has_value(); }))
            write_next(hold);
        thread_runs = false;
    }

    // The image handed over last; the lock is let go while it is written.
    void write_next(std::unique_lock<std::mutex>& hold) {
        std::vector<std::uint8_t> image = std::move(*next);
        next.reset();
        hold.unlock();
        std::wstring failed = write_settings_file(file, path, image);
        hold.lock();
        ended = std::move(image);
        failure = std::move(failed);
        unseen = true;
        if (!next) {
            busy = false;
            idle.notify_all();
            PostMessageW(report_to, WM_WRITES_DONE, 0, 0);
        }
    }

    void wait() {
        std::unique_lock<std::mutex> hold(lock);
        idle.wait(hold, [this] { return !busy; });
    }
};

struct session_t::shell_reference_t final : IUnknown {
    LONG refs = 1;
    HWND report_to;

    explicit shell_reference_t(HWND window) : report_to(window) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        *out = IsEqualIID(riid, IID_IUnknown) ? this : nullptr;
        if (!*out) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&refs); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = InterlockedDecrement(&refs);
        // The last holder may be one of the shell's threads: the end is the window
        // thread's to make.
        if (left == 0) {
            PostMessageW(report_to, WM_SHELL_DONE, 0, 0);
            delete this;
        }
        return left;
    }
};

void session_t::make_window() {
    if (handle) return;
    register_class(
        L"zelvon_session",
        [](HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
            return forward_message<session_t>(window, message, wparam, lparam);
        },
        nullptr, nullptr, 0);
    CreateWindowExW(0, L"zelvon_session", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                    GetModuleHandleW(nullptr), this);
}

std::vector<std::uint8_t> session_t::read() {
    settle();
    settings_read_t read = read_settings_file(settings.get(), settings_path);
    // Saves count on from the last one either file holds, so the next one is the newer.
    if (!generation_known || read.generation > generation) generation = read.generation;
    generation_known = true;
    return std::move(read.bytes);
}

void session_t::window_opened(main_window_t* window) {
    main_windows.push_back(window);
    if (shell_reference) return;
    make_window();
    shell_reference = new shell_reference_t(handle);
    SHSetInstanceExplorer(shell_reference);
}

void session_t::window_closed(main_window_t* window) {
    const auto at = std::find(main_windows.begin(), main_windows.end(), window);
    if (at == main_windows.end()) return;
    if (main_windows.size() == 1) {
        // The last one stays in the file as it is now.
        flush();
        main_windows.clear();
        saver = nullptr;
        // The loop ends when the shell lets the process go too: at once unless it works.
        SHSetInstanceExplorer(nullptr);
        std::exchange(shell_reference, nullptr)->Release();
        return;
    }
    main_windows.erase(at);
    if (saver == window) saver = main_windows.back();
    save_now(saver);
}

void session_t::save_now(const main_window_t* from) {
    saver = from;
    pending = true;
    if (!held) write();
}

void session_t::save_soon(const main_window_t* from) {
    saver = from;
    pending = true;
    if (held) return;
    stop_quiet_timer();
    quiet_timer = SetTimer(nullptr, 0, QUIET_MS, on_timer);
}

void session_t::hold_saves() {
    ++held;
}

void session_t::release_saves() {
    if (held > 0 && --held == 0) flush();
}

void session_t::flush() {
    if (pending) write();
}

void session_t::end() {
    flush();
    settle();
    if (!unsaved.empty() && write_settings_file(settings.get(), settings_path, unsaved).empty())
        unsaved.clear();
    say_save_failed();
}

void session_t::settle() {
    if (!writer) return;
    writer->wait();
    writes_done();
}

void session_t::say_save_failed() {
    if (report_timer) KillTimer(nullptr, report_timer);
    report_timer = 0;
    if (failure_unsaid.empty()) return;
    const std::wstring text = L"zelvon could not save its settings.\n\n" +
                              std::exchange(failure_unsaid, {}) +
                              L"\n\nWhat you set up stays as it is here, and is saved as soon as "
                              L"it can be.";
    MessageBoxW(GetActiveWindow(), text.c_str(), L"zelvon", MB_OK | MB_ICONWARNING);
}

std::vector<std::uint8_t> session_t::compose() {
    const auto open = [this](const main_window_t* w) {
        return std::find(main_windows.begin(), main_windows.end(), w) != main_windows.end();
    };
    if (!open(saver)) saver = main_windows.back();
    const window_record_t first = describe(saver);
    std::vector<std::uint8_t> image;
    image.reserve(512);
    put_i32(image, SETTINGS_MAGIC);
    put_i32(image, first.split);
    for (std::int32_t edge : first.rect) put_i32(image, edge);
    write_pidl_record(image, first.folder ? first.folder->data() : nullptr);
    put_i32(image, static_cast<std::int32_t>(pins.folders.size()));
    for (const byte_list& pin : pins.folders) write_pidl_record(image, pin.data());
    settings_trailer_t trailer{
        .maximized = first.maximized, .windows = {}, .generation = 0, .view = first.view};
    // Every window open, oldest first, for a start to bring them all back.
    for (const main_window_t* window : main_windows) trailer.windows.push_back(describe(window));
    trailer.generation = ++generation;
    write_trailer(image, trailer);
    return image;
}

void session_t::write() {
    stop_quiet_timer();
    pending = false;
    if (main_windows.empty() || !describe) return;
    if (!writer) {
        make_window();
        writer = std::make_shared<writer_t>(settings.get(), settings_path, handle);
    }
    ++writes;
    writer->put(compose());
}

LRESULT session_t::on_message(UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_WRITES_DONE) {
        writes_done();
        return 0;
    }
    if (message == WM_SHELL_DONE) {
        // A window opened since holds the process again.
        if (!shell_reference) PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(handle, message, wparam, lparam);
}

void session_t::writes_done() {
    std::wstring failed;
    std::vector<std::uint8_t> image;
    {
        const std::lock_guard<std::mutex> hold(writer->lock);
        if (!writer->unseen) return;
        writer->unseen = false;
        failed = writer->failure;
        if (!failed.empty()) image = writer->ended;
    }
    if (failed.empty()) {
        unsaved.clear();
        failing = false;
        return;
    }
    // Kept until a save gets through (each one writes the whole state), and said once, not
    // at every save while the disk stays full: after whatever ran this save.
    unsaved = std::move(image);
    if (failing) return;
    failing = true;
    failure_unsaid = failed;
    report_timer = SetTimer(nullptr, 0, 0, on_timer);
}

void session_t::stop_quiet_timer() {
    if (quiet_timer) KillTimer(nullptr, quiet_timer);
    quiet_timer = 0;
}

void CALLBACK session_t::on_timer(HWND, UINT, UINT_PTR timer, DWORD) {
    if (timer == g_session.report_timer) return g_session.say_save_failed();
    if (timer == g_session.quiet_timer) g_session.flush();
    KillTimer(nullptr, timer);
}
