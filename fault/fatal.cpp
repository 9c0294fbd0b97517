#include "fault/fatal.h"

#include <windows.h>

#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "fault/report_format.h"
#include "fault/stack_trace.h"

namespace {

LRESULT CALLBACK dialog_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_CREATE:
        ShowWindow(window, SW_SHOW);
        SetFocus(window);
        return 0;
    case WM_NCLBUTTONDOWN:
        return 0; // the report stays where it is
    case WM_CLOSE:
    case WM_DESTROY:
        // Alt+F4, the taskbar's close or anything else that takes the report away ends
        // the process as its button does, never leaving it running unseen.
        PostQuitMessage(1);
        return 0;
    case WM_COMMAND:
        if (LOWORD(wparam) == 0) PostMessageA(window, WM_QUIT, 1, 0);
        if (LOWORD(wparam) == IDOK) PostMessageA(window, WM_QUIT, 0, 0);
        break;
    }
    return DefWindowProcA(window, message, wparam, lparam);
}

// The report's lengths are those of a 96-DPI screen, scaled to the screen's scale (the
// same rounding as every other length of the program).
int px(int length) {
    static const int dpi = [] {
        HDC screen = GetDC(nullptr);
        const int scale = GetDeviceCaps(screen, LOGPIXELSY);
        ReleaseDC(nullptr, screen);
        return scale > 0 ? scale : 96;
    }();
    const long long n = static_cast<long long>(length) * dpi;
    return static_cast<int>(n >= 0 ? (n + 48) / 96 : -((-n + 48) / 96));
}

struct control_t {
    const char* cls;
    DWORD style, ex_style;
    int x, y, width, height, id;
    bool text_font;
};

// Heading, "code:", message box, "stack trace:", trace box, button.
constexpr control_t controls[6] = {
    {"STATIC", 0x50020000, 0, 22, 18, 588, 24, 2, false},
    {"STATIC", 0x50000000, 0, 22, 43, 588, 16, 2, false},
    {"EDIT", 0x50000844, WS_EX_CLIENTEDGE, 22, 64, 588, 114, 2, true},
    {"STATIC", 0x50000000, 0, 22, 195, 588, 16, 2, false},
    {"EDIT", 0x50000844, WS_EX_CLIENTEDGE, 22, 214, 588, 162, 2, true},
    {"BUTTON", 0x50030001, 0, 515, 412, 88, 24, 0, false},
};
enum { HEADING, CODE_LABEL, MESSAGE_BOX, TRACE_LABEL, TRACE_BOX, BUTTON };

// Shows the report until its button is pressed. Everything is released before the
// process ends; a step that fails skips to the release.
[[noreturn]] void show_error_dialog_v(const char* heading, const char* caption, const char* format,
                                      va_list args) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    char* trace = static_cast<char*>(std::malloc(TRACE_SIZE));
    char* message = nullptr;
    wchar_t* wide = nullptr;
    HFONT label_font = nullptr, text_font = nullptr;
    HWND dialog = nullptr, windows[6] = {};
    bool built = false;

    if (trace) {
        trace[0] = 0;
        capture_stack_trace(trace);
        message = static_cast<char*>(std::malloc(MESSAGE_SIZE));
    }
    if (message) {
        compose_message(message, format, args);
        wide = static_cast<wchar_t*>(std::malloc(MESSAGE_SIZE * sizeof(wchar_t)));
    }
    if (wide) {
        wide[0] = 0;
        MultiByteToWideChar(GetACP(), 0, message, -1, wide, MESSAGE_SIZE - 1);
        wide[MESSAGE_SIZE - 1] = 0;
        label_font =
            CreateFontA(px(13), 0, 0, 0, 400, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "Tahoma");
    }
    if (label_font)
        text_font = CreateFontA(px(14), 0, 0, 0, 400, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0,
                                FIXED_PITCH, "Courier New");
    if (text_font) {
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof wc;
        wc.style = CS_HREDRAW | CS_VREDRAW;
        wc.lpfnWndProc = dialog_proc;
        wc.hInstance = instance;
        wc.hIcon = LoadIconA(nullptr, MAKEINTRESOURCEA(32512));     // the application icon
        wc.hIconSm = LoadIconA(nullptr, MAKEINTRESOURCEA(32517));   // the system's logo
        wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512)); // the arrow
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = "err_dlg";
        if (RegisterClassExA(&wc) || GetLastError() == ERROR_CLASS_ALREADY_EXISTS)
            dialog =
                CreateWindowExA(0, "err_dlg", caption, WS_OVERLAPPED, CW_USEDEFAULT, CW_USEDEFAULT,
                                px(640), px(480), nullptr, nullptr, instance, nullptr);
    }
    if (dialog) {
        built = true;
        const char* texts[6] = {heading, "code:", nullptr, "stack trace:", trace, "&abort"};
        for (int i = 0; i < 6 && built; ++i) {
            const control_t& c = controls[i];
            HMENU id = reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id));
            windows[i] =
                i == MESSAGE_BOX
                    ? CreateWindowExW(c.ex_style, L"EDIT", wide, c.style, px(c.x), px(c.y),
                                      px(c.width), px(c.height), dialog, id, instance, nullptr)
                    : CreateWindowExA(c.ex_style, c.cls, texts[i], c.style, px(c.x), px(c.y),
                                      px(c.width), px(c.height), dialog, id, instance, nullptr);
            built = windows[i] != nullptr;
            if (built)
                SendMessageW(windows[i], WM_SETFONT,
                             reinterpret_cast<WPARAM>(c.text_font ? text_font : label_font), 0);
        }
    }
    if (built) {
        MessageBeep(MB_OK);
        SetFocus(windows[BUTTON]);
        ShowWindow(dialog, SW_SHOW);
        UpdateWindow(dialog);
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            bool ours = msg.hwnd == dialog;
            for (HWND w : windows) ours = ours || msg.hwnd == w;
            if (msg.hwnd && !ours) continue; // the rest of the program stands still
            // The two boxes get their keys directly: caret keys, selection, and Tab
            // that stays inside.
            const bool box = msg.hwnd == windows[MESSAGE_BOX] || msg.hwnd == windows[TRACE_BOX];
            if (!box && IsDialogMessageW(dialog, &msg)) continue;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    for (int i : {TRACE_BOX, TRACE_LABEL, MESSAGE_BOX, CODE_LABEL, HEADING, BUTTON})
        if (windows[i]) DestroyWindow(windows[i]);
    if (dialog) DestroyWindow(dialog);
    if (text_font) DeleteObject(text_font);
    if (label_font) DeleteObject(label_font);
    std::free(wide);
    std::free(message);
    std::free(trace);
    std::exit(1);
}

[[noreturn]] void show_error_dialog(const char* heading, const char* caption, const char* format,
                                    ...) {
    va_list args;
    va_start(args, format);
    show_error_dialog_v(heading, caption, format, args);
}

} // namespace

void fatal_error(const char* function_text, const char* expression_text, const wchar_t* detail) {
    // The report's texts are narrow, in the code page it shows them in.
    char extra[MESSAGE_SIZE] = "";
    if (detail && *detail) {
        std::memcpy(extra, "\r\n\r\n", 4);
        WideCharToMultiByte(GetACP(), 0, detail, -1, extra + 4, int(sizeof extra) - 5, nullptr,
                            nullptr);
        extra[sizeof extra - 1] = 0;
    }
    show_error_dialog("runtime exception", "abort", "function:\r\n%s\r\n\r\nexpression: \r\n%s%s",
                      function_text, expression_text, extra);
}
