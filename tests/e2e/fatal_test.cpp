// The one way zelvon gives up: a report window that names what failed and where, which
// only its button closes, ending the process with 1.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "checks.h"
#include "driver.h"

using namespace e2e;

namespace {

HWND find_report(const app_t& app) {
    return shown_window(app.id(), L"err_dlg");
}

struct control_t {
    std::wstring cls, text;
    RECT rect;
    HWND handle;
};

std::vector<control_t> controls_of(HWND dialog) {
    std::vector<control_t> found;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        found.push_back({class_of(child), window_text(child), rect_in_parent(child), child});
    return found;
}

bool same_class(const std::wstring& a, const std::wstring& b) {
    return lstrcmpiW(a.c_str(), b.c_str()) == 0;
}

DWORD selection(HWND box) {
    DWORD_PTR range = 0;
    SendMessageTimeoutW(box, EM_GETSEL, 0, 0, SMTO_NORMAL, WAIT_MS, &range);
    return DWORD(range);
}

bool pushed(HWND button) {
    DWORD_PTR state = 0;
    SendMessageTimeoutW(button, BM_GETSTATE, 0, 0, SMTO_NORMAL, WAIT_MS, &state);
    return (state & BST_PUSHED) != 0;
}

// zelvon started while another holds the settings file as zelvon itself holds it,
// without sharing, so its own open fails and it reports that.
class FatalDialog : public testing::Test {
protected:
    void SetUp() override {
        held_ = CreateFileW(settings_path().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                            OPEN_ALWAYS, 0, nullptr);
        ASSERT_NE(held_, INVALID_HANDLE_VALUE);
        app_ = std::make_unique<app_t>(L"", exe());
        ASSERT_TRUE(wait_until([&] { return (dialog_ = find_report(*app_)) || !app_->running(); }));
        ASSERT_TRUE(dialog_) << "exit code " << app_->wait_for_exit(0).value_or(STILL_ACTIVE);
        ASSERT_TRUE(app_->sync(dialog_));
        controls_ = controls_of(dialog_);
        ASSERT_EQ(controls_.size(), 6u);
    }

    void TearDown() override {
        app_.reset();
        if (held_ != INVALID_HANDLE_VALUE) CloseHandle(held_);
    }

    virtual std::wstring exe() const { return zelvon_path(); }

    HWND message_box() const { return controls_[2].handle; }
    HWND trace_box() const { return controls_[4].handle; }
    HWND button() const { return controls_[5].handle; }

    HANDLE held_ = INVALID_HANDLE_VALUE;
    std::unique_ptr<app_t> app_;
    HWND dialog_ = nullptr;
    std::vector<control_t> controls_;
};

} // namespace

TEST_F(FatalDialog, NamesTheFailedOpenWithItsTraceAndOnlyItsButtonEndsTheProcessWithOne) {
    EXPECT_EQ(window_text(dialog_), L"abort");
    const RECT placed = window_rect(dialog_);
    EXPECT_EQ(placed.right - placed.left, 640);
    EXPECT_EQ(placed.bottom - placed.top, 480);
    EXPECT_TRUE(app_->main_windows().empty());

    EXPECT_PRED2(same_class, controls_[0].cls, L"STATIC");
    EXPECT_EQ(controls_[0].text, L"runtime exception");
    EXPECT_PRED2(same_class, controls_[1].cls, L"STATIC");
    EXPECT_EQ(controls_[1].text, L"code:");
    EXPECT_PRED2(same_class, controls_[2].cls, L"EDIT");
    const std::wstring& message = controls_[2].text;
    EXPECT_NE(message.find(L"void __cdecl init_gui(void)"), std::wstring::npos) << message;
    EXPECT_NE(message.find(L"g_settings = ::CreateFile( tmp, GENERIC_READ|GENERIC_WRITE, 0, "
                           L"NULL, OPEN_ALWAYS, 0, NULL )"),
              std::wstring::npos)
        << message;
    EXPECT_PRED2(same_class, controls_[3].cls, L"STATIC");
    EXPECT_EQ(controls_[3].text, L"stack trace:");
    EXPECT_PRED2(same_class, controls_[4].cls, L"EDIT");
    // Innermost first, each frame named.
    const std::wstring& trace = controls_[4].text;
    std::size_t previous = 0;
    for (const wchar_t* frame :
         {L" capture_stack_trace(", L" fatal_error(", L" init_gui(", L" wWinMain("}) {
        const std::size_t at = trace.find(frame, previous);
        EXPECT_NE(at, std::wstring::npos) << "no" << frame << ") after the frames before in\n"
                                          << trace;
        if (at != std::wstring::npos) previous = at;
    }
    EXPECT_PRED2(same_class, controls_[5].cls, L"BUTTON");
    EXPECT_EQ(controls_[5].text, L"&abort");
    EXPECT_EQ(controls_[5].rect, (RECT{515, 412, 515 + 88, 412 + 24}));
    EXPECT_EQ(focus_of(dialog_), button());

    ASSERT_TRUE(to_front(dialog_));
    press_keys({VK_ESCAPE});
    // The report's loop takes input in order: once a press on the button that comes after
    // shows it pushed, Escape has been dealt with. The press slides off the button before
    // it is let go, which takes it back.
    ASSERT_TRUE(reachable(button(), {40, 12}));
    pointer_to(screen_point(button(), 40, 12));
    button_down();
    ASSERT_TRUE(wait_until([&] { return pushed(button()); }));
    EXPECT_TRUE(app_->running());
    EXPECT_TRUE(IsWindowVisible(dialog_));
    pointer_to(screen_point(button(), -60, 12));
    button_up();
    EXPECT_TRUE(wait_until([&] { return !pushed(button()); }));
    EXPECT_EQ(focus_of(dialog_), button());

    press_keys({VK_RETURN});
    EXPECT_EQ(app_->wait_for_exit(), std::optional<DWORD>(1));
}

TEST_F(FatalDialog, StaysWhereItIsWhenItsTitleBarIsDragged) {
    const RECT placed = window_rect(dialog_);
    POINT caption = screen_point(dialog_, 200, 0);
    caption.y = (placed.top + caption.y) / 2;
    DWORD_PTR hit = 0;
    SendMessageTimeoutW(dialog_, WM_NCHITTEST, 0, MAKELPARAM(caption.x, caption.y), SMTO_NORMAL,
                        WAIT_MS, &hit);
    ASSERT_EQ(hit, DWORD_PTR(HTCAPTION));
    ScreenToClient(dialog_, &caption);
    ASSERT_TRUE(drag(dialog_, caption, {caption.x + 120, caption.y + 90}));

    // A click that moves the message box's caret comes after the drag in the one input
    // queue: once it shows, the drag has been dealt with.
    DWORD_PTR result = 0;
    SendMessageTimeoutW(message_box(), EM_SETSEL, 2, 5, SMTO_NORMAL, WAIT_MS, &result);
    ASSERT_TRUE(click(message_box(), 3, 3));
    ASSERT_TRUE(wait_until([&] { return selection(message_box()) == MAKELONG(0, 0); }));
    EXPECT_EQ(window_rect(dialog_), placed);
    EXPECT_TRUE(app_->running());

    ASSERT_TRUE(click(button(), 40, 12));
    EXPECT_EQ(app_->wait_for_exit(), std::optional<DWORD>(1));
}

TEST_F(FatalDialog, ClosedAnyOtherWayItStillEndsTheProcessWithOne) {
    // What Alt+F4 and the taskbar's close ask of a window.
    PostMessageW(dialog_, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(app_->wait_for_exit(), std::optional<DWORD>(1));
}

// A copy of the exe alone in a folder of its own, as if unzipped without its PDB: nothing
// in it points back at the build's PDB, so the report leaves our frames unnamed.
class FatalDialogWithoutPdb : public FatalDialog {
protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH] = L"";
        ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
        folder_ = std::wstring(temp) + L"zelvon-alone";
        CreateDirectoryW(folder_.c_str(), nullptr);
        ASSERT_TRUE(CopyFileW(zelvon_path().c_str(), exe().c_str(), FALSE));
        FatalDialog::SetUp();
    }

    void TearDown() override {
        FatalDialog::TearDown();
        DeleteFileW(exe().c_str());
        RemoveDirectoryW(folder_.c_str());
    }

    std::wstring exe() const override { return folder_ + L"\\zelvon.exe"; }

    std::wstring folder_;
};

TEST_F(FatalDialogWithoutPdb, NamesNoneOfOurFrames) {
    const std::wstring& trace = controls_[4].text;
    EXPECT_NE(trace.find(L"0x"), std::wstring::npos) << "no frames at all";
    for (const wchar_t* frame : {L"capture_stack_trace", L"init_gui", L"wWinMain"})
        EXPECT_EQ(trace.find(frame), std::wstring::npos) << trace;
}
