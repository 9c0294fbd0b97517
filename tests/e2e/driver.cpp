#include "driver.h"

#include <commctrl.h>
#include <shlobj.h>

namespace e2e {

namespace {

std::int32_t get_i32(const std::uint8_t* p) {
    return static_cast<std::int32_t>(p[0] | p[1] << 8 | p[2] << 16 |
                                     static_cast<std::uint32_t>(p[3]) << 24);
}

std::wstring class_name(HWND window) {
    wchar_t name[64] = L"";
    GetClassNameW(window, name, 64);
    return name;
}

std::wstring title(HWND window) {
    wchar_t text[64] = L"";
    GetWindowTextW(window, text, 64);
    return text;
}

// The shell's desktop folder, with COM ready on this thread for what it hands out.
IShellFolder* desktop_folder() {
    static const HRESULT com = CoInitialize(nullptr);
    (void)com;
    IShellFolder* desktop = nullptr;
    SHGetDesktopFolder(&desktop);
    return desktop;
}

std::wstring program_folder() {
    wchar_t path[MAX_PATH] = L"";
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder = path;
    return folder.substr(0, folder.find_last_of(L"\\/"));
}

} // namespace

std::wstring settings_path() {
    wchar_t folder[MAX_PATH] = L"";
    SHGetSpecialFolderPathW(nullptr, folder, CSIDL_APPDATA, FALSE);
    return std::wstring(folder) + L"\\zelvon.sav";
}

void delete_settings() {
    DeleteFileW(settings_path().c_str());
}

void write_settings(const std::vector<std::uint8_t>& bytes) {
    HANDLE file =
        CreateFileW(settings_path().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    if (!bytes.empty()) WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

std::optional<std::vector<std::uint8_t>> read_settings(DWORD timeout_ms) {
    HANDLE file = INVALID_HANDLE_VALUE;
    wait_until(
        [&] {
            file =
                CreateFileW(settings_path().c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
            return file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_SHARING_VIOLATION;
        },
        timeout_ms);
    if (file == INVALID_HANDLE_VALUE) return std::nullopt;
    std::vector<std::uint8_t> bytes(GetFileSize(file, nullptr));
    DWORD read = 0;
    if (!bytes.empty()) ReadFile(file, bytes.data(), DWORD(bytes.size()), &read, nullptr);
    CloseHandle(file);
    bytes.resize(read);
    return bytes;
}

settings_image_t decode_settings(const std::vector<std::uint8_t>& bytes) {
    settings_image_t s;
    std::size_t pos = 0;
    auto i32 = [&](std::int32_t& value) {
        if (bytes.size() - pos < 4) return false;
        value = get_i32(bytes.data() + pos);
        pos += 4;
        return true;
    };
    auto record = [&](std::vector<std::uint8_t>* items) {
        std::int32_t length = 0;
        if (!i32(length) || bytes.size() - pos < static_cast<std::uint32_t>(length)) return false;
        if (items) items->assign(bytes.begin() + pos, bytes.begin() + pos + length);
        pos += static_cast<std::uint32_t>(length);
        return true;
    };
    std::int32_t magic = 0, edges[4] = {};
    if (!i32(magic) || magic != 100 || !i32(s.split)) return s;
    for (auto& edge : edges)
        if (!i32(edge)) return s;
    s.rect = {edges[0], edges[1], edges[2], edges[3]};
    if (!record(&s.folder) || !i32(s.pin_count) || s.pin_count < 0) return s;
    for (std::int32_t i = 0; i < s.pin_count; ++i)
        if (!record(nullptr)) return s;
    s.valid = true;
    return s;
}

void put_i32(std::vector<std::uint8_t>& bytes, std::int32_t value) {
    const auto v = static_cast<std::uint32_t>(value);
    for (int shift = 0; shift < 32; shift += 8) bytes.push_back(std::uint8_t(v >> shift));
}

std::vector<std::uint8_t> encode_settings(std::int32_t split, const RECT& rect,
                                          const std::vector<std::uint8_t>& folder) {
    std::vector<std::uint8_t> bytes;
    put_i32(bytes, 100);
    put_i32(bytes, split);
    for (LONG edge : {rect.left, rect.top, rect.right, rect.bottom}) put_i32(bytes, edge);
    put_i32(bytes, std::int32_t(folder.size()));
    bytes.insert(bytes.end(), folder.begin(), folder.end());
    put_i32(bytes, 0);
    return bytes;
}

std::vector<std::uint8_t> parse_path(const wchar_t* path) {
    IShellFolder* desktop = desktop_folder();
    if (!desktop) return {};
    ITEMIDLIST* list = nullptr;
    std::wstring name = path;
    const HRESULT hr =
        desktop->ParseDisplayName(nullptr, nullptr, name.data(), nullptr, &list, nullptr);
    desktop->Release();
    std::vector<std::uint8_t> items;
    if (hr == S_OK && list) {
        const auto* p = reinterpret_cast<const std::uint8_t*>(list);
        std::size_t length = 0;
        for (std::uint16_t cb; (cb = std::uint16_t(p[length] | p[length + 1] << 8)) != 0;)
            length += cb;
        items.assign(p, p + length);
    }
    CoTaskMemFree(list);
    return items;
}

int folder_item_count(const std::vector<std::uint8_t>& folder) {
    IShellFolder* desktop = desktop_folder();
    if (!desktop) return -1;
    IShellFolder* shell_folder = desktop;
    if (!folder.empty()) {
        std::vector<std::uint8_t> list = folder;
        list.resize(list.size() + 2, 0);
        shell_folder = nullptr;
        desktop->BindToObject(reinterpret_cast<ITEMIDLIST*>(list.data()), nullptr,
                              IID_PPV_ARGS(&shell_folder));
        desktop->Release();
        if (!shell_folder) return -1;
    }
    IEnumIDList* items = nullptr;
    int count = -1;
    if (shell_folder->EnumObjects(nullptr, SHCONTF_FOLDERS | SHCONTF_NONFOLDERS, &items) == S_OK) {
        count = 0;
        ITEMIDLIST* item = nullptr;
        for (ULONG got = 0; items->Next(1, &item, &got) == S_OK; ++count) CoTaskMemFree(item);
        items->Release();
    }
    shell_folder->Release();
    return count;
}

int browser_item_count(HWND browser) {
    HWND list = nullptr;
    EnumChildWindows(
        browser,
        [](HWND child, LPARAM found) -> BOOL {
            if (class_name(child) != WC_LISTVIEWW) return TRUE;
            *reinterpret_cast<HWND*>(found) = child;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&list));
    DWORD_PTR count = 0;
    if (!list || !SendMessageTimeoutW(list, LVM_GETITEMCOUNT, 0, 0, SMTO_NORMAL, WAIT_MS, &count))
        return -1;
    return static_cast<int>(count);
}

panes_t find_panes(HWND main_window) {
    panes_t panes;
    for (HWND child = GetWindow(main_window, GW_CHILD); child;
         child = GetWindow(child, GW_HWNDNEXT)) {
        const std::wstring name = class_name(child);
        if (name == L"tree_view")
            panes.tree = child;
        else if (name == L"address_view")
            panes.address = child;
        else if (!panes.browser)
            panes.browser = child;
        else
            return {}; // more than one unknown child: nothing to tell the browser by
    }
    return panes;
}

RECT window_rect(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    return r;
}

RECT client_rect(HWND window) {
    RECT r{};
    GetClientRect(window, &r);
    return r;
}

RECT rect_in_parent(HWND child) {
    RECT r = window_rect(child);
    MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

COLORREF client_pixel(HWND window, int x, int y) {
    POINT p{x, y};
    ClientToScreen(window, &p);
    HDC screen = GetDC(nullptr);
    const COLORREF colour = GetPixel(screen, p.x, p.y);
    ReleaseDC(nullptr, screen);
    return colour;
}

void drag(HWND window, int from_x, int to_x, int y) {
    auto at = [y](int x) { return MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y)); };
    DWORD_PTR result = 0;
    SendMessageTimeoutW(window, WM_LBUTTONDOWN, MK_LBUTTON, at(from_x), SMTO_NORMAL, WAIT_MS,
                        &result);
    SendMessageTimeoutW(window, WM_MOUSEMOVE, MK_LBUTTON, at(to_x), SMTO_NORMAL, WAIT_MS, &result);
    SendMessageTimeoutW(window, WM_LBUTTONUP, 0, at(to_x), SMTO_NORMAL, WAIT_MS, &result);
}

app_t::app_t(const std::wstring& arguments) {
    // A window holding the capture during a drag takes every pointer move, also those
    // Wine makes up when the window under the real pointer changes: keep it off them all.
    SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1);
    const std::wstring folder = program_folder();
    std::wstring command = L"\"" + folder + L"\\zelvon.exe\"";
    if (!arguments.empty()) command += L" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.c_str(), &startup, &info))
        return;
    CloseHandle(info.hThread);
    process_ = info.hProcess;
    id_ = info.dwProcessId;
}

app_t::~app_t() {
    if (!process_) return;
    if (running()) {
        TerminateProcess(process_, 255);
        WaitForSingleObject(process_, WAIT_MS);
    }
    CloseHandle(process_);
}

std::vector<HWND> app_t::main_windows() const {
    struct search_t {
        DWORD id;
        std::vector<HWND> found;
    } search{id_, {}};
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<search_t*>(param);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == s->id && class_name(window) == L"main_window" &&
                title(window) == L"zelvon")
                s->found.push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND app_t::wait_for_window(DWORD timeout_ms) {
    HWND window = nullptr;
    wait_until(
        [&] {
            for (HWND found : main_windows())
                if (IsWindowVisible(found)) window = found;
            return window || !running();
        },
        timeout_ms);
    if (!window) return nullptr;
    WaitForInputIdle(process_, timeout_ms);
    return sync(window) ? window : nullptr;
}

bool app_t::sync(HWND window) const {
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, WAIT_MS, &result) != 0;
}

void app_t::close(HWND window) const {
    PostMessageW(window, WM_CLOSE, 0, 0);
}

std::optional<DWORD> app_t::wait_for_exit(DWORD timeout_ms) {
    if (!process_ || WaitForSingleObject(process_, timeout_ms) != WAIT_OBJECT_0)
        return std::nullopt;
    DWORD code = 0;
    GetExitCodeProcess(process_, &code);
    return code;
}

bool app_t::running() const {
    return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

} // namespace e2e
