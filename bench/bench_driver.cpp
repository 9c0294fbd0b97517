// Out-of-process figures of zelvon.exe beside Wine's own file browser and beside the floor
// (floor.exe, the browser alone), taken as a user waits for them: start-up until the
// first window lists its folder, the hand-over of a second start, and the objects a
// process holds. Run under Wine with a display:
//   bench_driver startup RUNS        start-up, fresh and with 20 pins, explorer.exe, floor
//   bench_driver pins-wide RUNS      start-up with 20 pins among 30 000 sibling folders
//                                    (made once in C:\zbench_wide), beside none pinned
//   bench_driver handover RUNS       a second start with a folder until its window lists
//                                    it, beside explorer.exe's start
//   bench_driver mem-start zelvon|explorer|floor   starts one on C:\windows, prints its pid
//   bench_driver mem-windows N [zelvon|floor]  opens (by the new-window message) or closes
//                                    windows until N are open, each listing its folder
//   bench_driver mem-count PID       GDI objects, windows and threads of the process, and
//                                    the GDI objects of each type
//   bench_driver mem-close PID       closes its windows and waits for it to end
// The mem-* steps leave the process running in between, so that the caller can read its
// memory from outside.
#include <windows.h>
#include <winternl.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

#include "bench/figures.h"
#include "bench/pin_folders.h"
#include "tests/e2e/driver.h"

namespace {

using namespace e2e;

constexpr unsigned NEW_WINDOW_MESSAGE = 0x800A;
constexpr DWORD POLL_MS = 3;
const wchar_t EXPLORER[] = L"C:\\windows\\explorer.exe";
const wchar_t FOLDER[] = L"C:\\windows";
const wchar_t WIDE_PARENT[] = L"C:\\zbench_wide";
constexpr int WIDE_CHILDREN = 30000;

// A program built beside this one.
std::wstring sibling_path(const wchar_t* name) {
    wchar_t path[MAX_PATH] = L"";
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder = path;
    return folder.substr(0, folder.find_last_of(L"\\/") + 1) + name;
}

std::wstring zelvon_path() {
    return sibling_path(L"zelvon.exe");
}

std::wstring floor_path() {
    return sibling_path(L"floor.exe");
}

struct process_t {
    HANDLE handle = nullptr;
    DWORD id = 0;
    double started = 0; // now_ms() just before CreateProcess
};

process_t start(const std::wstring& exe, const std::wstring& arguments) {
    std::wstring command = L"\"" + exe + L"\"";
    if (!arguments.empty()) command += L" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    process_t p;
    // A start that fails (the executable being rewritten by a build, say) is tried again
    // for a few seconds; the time counts from the start that took.
    for (int attempt = 0;; ++attempt) {
        p.started = now_ms();
        if (CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                           &startup, &info))
            break;
        if (attempt == 50) {
            std::fprintf(stderr, "cannot start %ls: error %lu\n", command.c_str(), GetLastError());
            std::exit(2);
        }
        Sleep(100);
    }
    CloseHandle(info.hThread);
    p.handle = info.hProcess;
    p.id = info.dwProcessId;
    return p;
}

std::wstring class_of(HWND window) {
    wchar_t name[64] = L"";
    GetClassNameW(window, name, 64);
    return name;
}

// The programs that open more windows on the new-window message, by their windows.
struct windowed_t {
    const wchar_t* class_name;
    const wchar_t* title;
};
const windowed_t ZELVON_WINDOWS{L"main_window", L"zelvon"};
const windowed_t FLOOR_WINDOWS{L"floor", L"floor"};

bool is_window_of(const windowed_t& program, HWND window) {
    wchar_t title[64] = L"";
    GetWindowTextW(window, title, 64);
    return class_of(window) == program.class_name && wcscmp(title, program.title) == 0;
}

// The visible top-level window of the process, other than those in `old`, whose list
// view holds `items` items (any, for 0); null while there is none. A foreign window's
// list view is asked through messages, which its thread answers between its own work.
HWND listed_window(DWORD process_id, int items, const std::vector<HWND>& old = {}) {
    for (HWND window : top_level_windows(process_id)) {
        if (!IsWindowVisible(window) || std::find(old.begin(), old.end(), window) != old.end())
            continue;
        const int count = browser_item_count(window);
        if (items > 0 ? count == items : count > 0) return window;
    }
    return nullptr;
}

// Waits for such a window; the time it was seen, or a negative time when none came.
double wait_listed(const process_t& p, int items, const std::vector<HWND>& old = {},
                   HWND* found = nullptr) {
    const double deadline = now_ms() + WAIT_MS;
    while (now_ms() < deadline) {
        if (HWND window = listed_window(p.id, items, old)) {
            const double at = now_ms();
            if (found) *found = window;
            return at;
        }
        Sleep(POLL_MS);
    }
    return -1;
}

// Asks every visible top-level window of the process to close, as its close button
// would, and waits for the process to end; ends it when it will not.
void close_process(process_t& p) {
    for (HWND window : top_level_windows(p.id))
        if (IsWindowVisible(window)) PostMessageW(window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(p.handle, 15000) != WAIT_OBJECT_0) {
        std::fprintf(stderr, "process %lu did not end after WM_CLOSE; terminated\n", p.id);
        TerminateProcess(p.handle, 255);
        WaitForSingleObject(p.handle, WAIT_MS);
    }
    CloseHandle(p.handle);
    p.handle = nullptr;
}

int items_of(const std::wstring& path) {
    return folder_item_count(parse_path(path.c_str()));
}

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "%s\n", what);
    std::fflush(stderr);
    std::exit(1);
}

// A settings file of one window on C:\windows with these folders pinned.
std::vector<std::uint8_t> settings_pinning(const std::vector<std::wstring>& folders) {
    std::vector<item_list> pins;
    for (const std::wstring& folder : folders) {
        pins.push_back(parse_path(folder.c_str()));
        if (pins.back().empty()) fail("a folder to pin does not parse");
    }
    return encode_settings(300, RECT{0, 0, 1024, 768}, parse_path(FOLDER), pins);
}

std::vector<std::uint8_t> pinned_settings() {
    const std::vector<std::wstring> folders = pin_folders();
    if (folders.size() != 20) fail("fewer than 20 folders to pin");
    return settings_pinning(folders);
}

// One start until the first window lists `items` items, then a clean close.
double start_until_listed(const std::wstring& exe, const std::wstring& arguments, int items) {
    process_t p = start(exe, arguments);
    const double listed = wait_listed(p, items);
    close_process(p);
    if (listed < 0) fail("no window listed its folder in time");
    return listed - p.started;
}

int bench_startup(int runs) {
    // The desktop's view shows more than its enumeration: any item will do there.
    const int desktop_items = 0;
    const int folder_items = items_of(FOLDER);
    if (folder_items <= 0) fail("the folder to list cannot be read");
    const std::vector<std::uint8_t> pins = pinned_settings();
    std::printf("start-up: %d runs of each, interleaved; %ls lists %d items\n", runs, FOLDER,
                folder_items);
    std::vector<double> fresh, fresh_folder, pinned, explorer, floor;
    for (int run = -1; run < runs; ++run) { // run -1 warms the caches and is not kept
        delete_settings();
        const double a = start_until_listed(zelvon_path(), L"", desktop_items);
        delete_settings();
        const double b = start_until_listed(zelvon_path(), FOLDER, folder_items);
        write_settings(pins);
        const double c = start_until_listed(zelvon_path(), L"", folder_items);
        const double d = start_until_listed(EXPLORER, FOLDER, folder_items);
        const double e = start_until_listed(floor_path(), FOLDER, folder_items);
        if (run < 0) continue;
        fresh.push_back(a);
        fresh_folder.push_back(b);
        pinned.push_back(c);
        explorer.push_back(d);
        floor.push_back(e);
    }
    delete_settings();
    print_figure("startup.zelvon.fresh", "zelvon, no settings file, the desktop", "ms", fresh);
    print_figure("startup.zelvon.fresh_folder", "zelvon, no settings file, C:\\windows given", "ms",
                 fresh_folder);
    print_figure("startup.zelvon.pins", "zelvon, 20 pins saved, C:\\windows saved", "ms", pinned);
    print_figure("startup.explorer", "explorer.exe C:\\windows", "ms", explorer);
    print_figure("startup.floor", "floor.exe C:\\windows (the browser alone)", "ms", floor);
    print_figure("startup.ratio.fresh_folder", "ratio zelvon C:\\windows given / explorer", "x",
                 ratios(fresh_folder, explorer));
    print_figure("startup.ratio.fresh_folder_floor", "ratio zelvon C:\\windows given / floor", "x",
                 ratios(fresh_folder, floor));
    print_figure("startup.ratio.explorer_floor", "ratio explorer / floor", "x",
                 ratios(explorer, floor));
    print_figure("startup.ratio.pins", "ratio zelvon 20 pins / explorer", "x",
                 ratios(pinned, explorer));
    return 0;
}

// Pins whose parent holds many folders, beside the same start with none pinned: restoring
// them should not list that parent once per pin.
int bench_pins_wide(int runs) {
    const double making = now_ms();
    const int made = make_wide_parent(WIDE_PARENT, WIDE_CHILDREN);
    const double made_ms = now_ms() - making;
    if (GetFileAttributesW(wide_child(WIDE_PARENT, WIDE_CHILDREN - 1).c_str()) ==
        INVALID_FILE_ATTRIBUTES)
        fail("the wide parent's folders could not be made");
    const int folder_items = items_of(FOLDER);
    const std::vector<std::uint8_t> none = settings_pinning({});
    const std::vector<std::uint8_t> wide =
        settings_pinning(wide_pin_folders(WIDE_PARENT, WIDE_CHILDREN));
    std::printf("pins among %d folders: %d made in %.1f s; %d runs of each, interleaved\n",
                WIDE_CHILDREN, made, made_ms / 1000, runs);
    // Where the pins' time goes: the parent is bound once, and under Wine a bind looks for
    // the folder's desktop.ini, a name that a case-insensitive lookup must compare with
    // every name in it before it knows that none matches.
    std::vector<double> bind_wide, bind_small, miss_wide, miss_small;
    const auto bind_ms = [](const wchar_t* path) {
        std::vector<std::uint8_t> list = parse_path(path);
        list.insert(list.end(), {0, 0});
        IShellFolder* desktop = nullptr;
        SHGetDesktopFolder(&desktop);
        IShellFolder* folder = nullptr;
        const double start = now_ms();
        if (desktop)
            desktop->BindToObject(reinterpret_cast<PCUIDLIST_RELATIVE>(list.data()), nullptr,
                                  IID_IShellFolder, reinterpret_cast<void**>(&folder));
        const double took = now_ms() - start;
        if (folder) folder->Release();
        if (desktop) desktop->Release();
        return took;
    };
    const auto miss_ms = [](const std::wstring& folder) {
        const double start = now_ms();
        GetFileAttributesW((folder + L"\\desktop.ini").c_str());
        return now_ms() - start;
    };
    std::vector<double> unpinned, pinned;
    for (int run = -1; run < runs; ++run) {
        if (run >= 0) {
            bind_wide.push_back(bind_ms(WIDE_PARENT));
            bind_small.push_back(bind_ms(FOLDER));
            miss_wide.push_back(miss_ms(WIDE_PARENT));
            miss_small.push_back(miss_ms(FOLDER));
        }
        write_settings(none);
        const double a = start_until_listed(zelvon_path(), L"", folder_items);
        write_settings(wide);
        const double b = start_until_listed(zelvon_path(), L"", folder_items);
        if (run < 0) continue;
        unpinned.push_back(a);
        pinned.push_back(b);
    }
    delete_settings();
    if (made > 0)
        print_figure("pins_wide.made", "making the 30 000 folders (once per prefix)", "s",
                     {made_ms / 1000});
    print_figure("pins_wide.none", "zelvon, C:\\windows saved, no pins", "ms", unpinned);
    print_figure("pins_wide.pins", "zelvon, C:\\windows saved, 20 pins among 30 000", "ms", pinned);
    print_figure("pins_wide.ratio", "ratio 20 pins among 30 000 / no pins", "x",
                 ratios(pinned, unpinned));
    print_figure("pins_wide.bind_wide", "  binding the parent of 30 000 (the platform's own)", "ms",
                 bind_wide);
    print_figure("pins_wide.bind_small", "  binding C:\\windows, beside it", "ms", bind_small);
    print_figure("pins_wide.miss_wide", "  a name not among the 30 000 looked up", "ms", miss_wide);
    print_figure("pins_wide.miss_small", "  a name not in C:\\windows looked up", "ms", miss_small);
    return 0;
}

// A folder of `files` empty files, made once.
std::wstring make_folder(const std::wstring& path, int files) {
    CreateDirectoryW(L"C:\\zbench", nullptr);
    CreateDirectoryW(L"C:\\zbench\\handover", nullptr);
    CreateDirectoryW(path.c_str(), nullptr);
    for (int i = 0; i < files; ++i) {
        wchar_t name[32];
        swprintf(name, 32, L"\\file%03d.txt", i);
        HANDLE f =
            CreateFileW((path + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
        if (f != INVALID_HANDLE_VALUE) CloseHandle(f);
    }
    return path;
}

int bench_handover(int runs) {
    // Each new window first restores the folder the one before it was handed, so two
    // folders told apart by their item counts take turns.
    const std::wstring targets[2] = {make_folder(L"C:\\zbench\\handover\\a", 60),
                                     make_folder(L"C:\\zbench\\handover\\b", 61)};
    const int items[2] = {items_of(targets[0]), items_of(targets[1])};
    if (items[0] == items[1] || items[0] <= 0) fail("the hand-over folders cannot be told apart");

    const int folder_items = items_of(FOLDER);
    delete_settings();
    process_t first = start(zelvon_path(), L"");
    if (wait_listed(first, 0) < 0) fail("zelvon did not start");
    std::printf("hand-over: %d runs, a running zelvon, folders of %d and %d items in turn\n", runs,
                items[0], items[1]);

    // explorer.exe starts between the hand-overs, so that the two meet the same machine.
    std::vector<double> listed, exited, explorer;
    for (int run = -1; run < runs; ++run) {
        const double e = start_until_listed(EXPLORER, FOLDER, folder_items);
        if (run >= 0) explorer.push_back(e);
        const int t = (run + 1) % 2;
        const std::vector<HWND> old = top_level_windows(first.id);
        process_t second = start(zelvon_path(), targets[t]);
        HWND window = nullptr;
        const double at = wait_listed(first, items[t], old, &window);
        const bool ended = WaitForSingleObject(second.handle, WAIT_MS) == WAIT_OBJECT_0;
        const double end = now_ms();
        DWORD code = 1;
        GetExitCodeProcess(second.handle, &code);
        CloseHandle(second.handle);
        if (at < 0 || !ended || code != 0) fail("the hand-over did not complete");
        if (run >= 0) {
            listed.push_back(at - second.started);
            exited.push_back(end - second.started);
        }
        PostMessageW(window, WM_CLOSE, 0, 0);
        wait_until([&] { return !IsWindow(window); });
    }
    close_process(first);
    delete_settings();
    print_figure("handover.listed", "second start until its window lists the folder", "ms", listed);
    print_figure("handover.exited", "second start until that process has ended", "ms", exited);
    print_figure("handover.explorer", "explorer.exe C:\\windows, started in between", "ms",
                 explorer);
    print_figure("handover.ratio", "ratio hand-over until listed / explorer's start", "x",
                 ratios(listed, explorer));
    return 0;
}

// ---- The objects a process holds, for the caller that measures its memory meanwhile.

// GDI objects of another process, from the handle table its PEB points to (0xF8 on x64);
// with `kinds`, how many of each type, for telling what a difference is made of.
int gdi_objects(DWORD process_id, std::string* kinds = nullptr) {
    struct entry_t {
        std::uint64_t object;
        std::uint32_t owner;
        std::uint16_t unique;
        std::uint8_t type, flags;
        std::uint64_t user;
    };
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, process_id);
    if (!process) return -1;
    PROCESS_BASIC_INFORMATION basic{};
    ULONG length = 0;
    std::uint64_t table = 0;
    std::vector<entry_t> entries(65536);
    SIZE_T read = 0;
    int count = -1;
    if (NtQueryInformationProcess(process, ProcessBasicInformation, &basic, sizeof basic,
                                  &length) == 0 &&
        ReadProcessMemory(process, reinterpret_cast<BYTE*>(basic.PebBaseAddress) + 0xF8, &table,
                          sizeof table, &read) &&
        table &&
        ReadProcessMemory(process, reinterpret_cast<void*>(table), entries.data(),
                          entries.size() * sizeof(entry_t), &read)) {
        count = 0;
        int of_type[256] = {};
        for (std::size_t i = 0; i < read / sizeof(entry_t); ++i) {
            count += entries[i].type != 0;
            ++of_type[entries[i].type];
        }
        for (int type = 1; kinds && type < 256; ++type)
            if (of_type[type])
                *kinds += " " + std::to_string(type) + ":" + std::to_string(of_type[type]);
    }
    CloseHandle(process);
    return count;
}

// Windows of the process, top-level and their descendants: most of its user objects.
int window_count(DWORD process_id) {
    int count = 0;
    for (HWND window : top_level_windows(process_id)) {
        ++count;
        EnumChildWindows(
            window, [](HWND, LPARAM n) { return ++*reinterpret_cast<int*>(n), TRUE; },
            reinterpret_cast<LPARAM>(&count));
    }
    return count;
}

int mem_start(const std::wstring& which) {
    const int items = items_of(FOLDER);
    process_t p;
    if (which == L"zelvon") {
        delete_settings();
        p = start(zelvon_path(), FOLDER);
    } else if (which == L"floor") {
        p = start(floor_path(), FOLDER);
    } else if (which == L"explorer") {
        p = start(EXPLORER, FOLDER);
    } else {
        fail("mem-start takes zelvon, explorer or floor");
    }
    if (wait_listed(p, items) < 0) fail("no window listed C:\\windows");
    std::printf("pid %lu\n", p.id);
    return 0;
}

std::vector<HWND> windows_of(const windowed_t& program, DWORD* process_id) {
    struct search_t {
        const windowed_t& program;
        std::vector<HWND> found;
    } search{program, {}};
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<search_t*>(param);
            if (is_window_of(s->program, window)) s->found.push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    if (!search.found.empty()) GetWindowThreadProcessId(search.found.front(), process_id);
    return search.found;
}

int mem_windows(int wanted, const std::wstring& which) {
    if (which != L"zelvon" && which != L"floor") fail("mem-windows takes zelvon or floor");
    const windowed_t& program = which == L"floor" ? FLOOR_WINDOWS : ZELVON_WINDOWS;
    const int items = items_of(FOLDER);
    DWORD id = 0;
    for (std::vector<HWND> windows = windows_of(program, &id); int(windows.size()) < wanted;
         windows = windows_of(program, &id)) {
        if (windows.empty()) fail("no window of the program is open");
        DWORD_PTR result = 0;
        SendMessageTimeoutW(windows.front(), NEW_WINDOW_MESSAGE, 0, 0, SMTO_NORMAL, WAIT_MS,
                            &result);
        const std::vector<HWND> old = windows;
        if (!wait_until([&] { return listed_window(id, items, old) != nullptr; }))
            fail("a new window did not list its folder");
    }
    std::vector<HWND> windows = windows_of(program, &id);
    for (std::size_t i = std::size_t(std::max(wanted, 1)); i < windows.size(); ++i)
        PostMessageW(windows[i], WM_CLOSE, 0, 0);
    if (!wait_until([&] { return int(windows_of(program, &id).size()) <= std::max(wanted, 1); }))
        fail("the windows did not close");
    return 0;
}

// Threads of the process, those the system runs in it on its behalf among them.
int thread_count(DWORD process_id) {
    const HANDLE all = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (all == INVALID_HANDLE_VALUE) return -1;
    int count = 0;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(all, &entry); more; more = Thread32Next(all, &entry))
        count += entry.th32OwnerProcessID == process_id;
    CloseHandle(all);
    return count;
}

int mem_count(DWORD process_id) {
    std::string kinds;
    const int gdi = gdi_objects(process_id, &kinds);
    std::printf("gdi %d windows %d threads %d types%s\n", gdi, window_count(process_id),
                thread_count(process_id), kinds.c_str());
    return 0;
}

int mem_close(DWORD process_id) {
    process_t p;
    p.id = process_id;
    p.handle = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, process_id);
    if (!p.handle) return 0;
    close_process(p);
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring command = argc > 1 ? argv[1] : L"";
    const long n = argc > 2 ? std::wcstol(argv[2], nullptr, 10) : 0;
    if (command == L"startup") return bench_startup(n > 0 ? int(n) : 7);
    if (command == L"pins-wide") return bench_pins_wide(n > 0 ? int(n) : 7);
    if (command == L"handover") return bench_handover(n > 0 ? int(n) : 7);
    if (command == L"mem-start" && argc > 2) return mem_start(argv[2]);
    if (command == L"mem-windows") return mem_windows(int(n), argc > 3 ? argv[3] : L"zelvon");
    if (command == L"mem-count") return mem_count(DWORD(n));
    if (command == L"mem-close") return mem_close(DWORD(n));
    std::fprintf(stderr, "usage: bench_driver startup|pins-wide|handover RUNS | "
                         "mem-start zelvon|explorer|floor | mem-windows N [zelvon|floor] | "
                         "mem-count PID | mem-close PID\n");
    return 2;
}
