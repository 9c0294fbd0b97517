#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>
#include <uxtheme.h>
#include <wrl/client.h>
#include <cstdio>
#include "app/main_window.h"
#include "app/ebe.h"
#include "app/session.h"
#include "tests/support/win_test_support.h"

namespace {
HWND list_of(main_window_t* w) {
    HWND view = nullptr;
    w->ebe->view->GetWindow(&view);
    return FindWindowExW(view, nullptr, WC_LISTVIEWW, nullptr);
}
void say(const char* what, HRESULT hr) { printf("PROBE %-40s %08lx\n", what, (unsigned long)hr); }

TEST(Probe, ViewCalls) {
    reset_settings();
    main_window_t* w = open_settled_window();
    pump_for(300);
    Microsoft::WRL::ComPtr<IFolderView> fv;
    say("QI IFolderView", w->ebe->view.As(&fv));
    Microsoft::WRL::ComPtr<IFolderView2> fv2;
    say("QI IFolderView2", w->ebe->view.As(&fv2));
    HWND list = list_of(w);
    printf("PROBE list %p style %lx\n", (void*)list, GetWindowLongW(list, GWL_STYLE) & LVS_TYPEMASK);
    UINT mode = 0;
    say("GetCurrentViewMode", fv->GetCurrentViewMode(&mode));
    printf("PROBE mode %u\n", mode);
    say("SetCurrentViewMode(DETAILS)", fv->SetCurrentViewMode(FVM_DETAILS));
    printf("PROBE style now %lx\n", GetWindowLongW(list, GWL_STYLE) & LVS_TYPEMASK);
    fv->GetCurrentViewMode(&mode);
    printf("PROBE mode %u\n", mode);
    if (fv2) {
        FOLDERVIEWMODE m{}; int size = 0;
        say("GetViewModeAndIconSize", fv2->GetViewModeAndIconSize(&m, &size));
        printf("PROBE m %d size %d\n", m, size);
        say("SetViewModeAndIconSize(ICON,96)", fv2->SetViewModeAndIconSize(FVM_ICON, 96));
        printf("PROBE style now %lx\n", GetWindowLongW(list, GWL_STYLE) & LVS_TYPEMASK);
        say("GetViewModeAndIconSize", fv2->GetViewModeAndIconSize(&m, &size));
        printf("PROBE m %d size %d\n", m, size);
        fv->GetCurrentViewMode(&mode);
        printf("PROBE mode %u\n", mode);
        say("SetViewModeAndIconSize(SMALL,16)", fv2->SetViewModeAndIconSize(FVM_SMALLICON, 16));
        printf("PROBE style now %lx\n", GetWindowLongW(list, GWL_STYLE) & LVS_TYPEMASK);
        int count = -1;
        say("GetSortColumnCount", fv2->GetSortColumnCount(&count));
        printf("PROBE count %d\n", count);
        SORTCOLUMN col{}; col.propkey.fmtid = {0xB725F130, 0x47EF, 0x101A, {0xA5, 0xF1, 0x02, 0x60, 0x8C, 0x9E, 0xEB, 0xAC}}; col.propkey.pid = 10; col.direction = SORT_DESCENDING;
        say("SetSortColumns", fv2->SetSortColumns(&col, 1));
        SORTCOLUMN got{};
        say("GetSortColumns", fv2->GetSortColumns(&got, 1));
    }
    fv->SetCurrentViewMode(FVM_DETAILS);
    // A navigation: does the browser keep the view's mode?
    ITEMIDLIST* drives = nullptr;
    SHGetSpecialFolderLocation(nullptr, CSIDL_WINDOWS, &drives);
    w->eb->BrowseToIDList(drives, 0);
    pump_for(500);
    list = list_of(w);
    printf("PROBE after navigation style %lx\n", GetWindowLongW(list, GWL_STYLE) & LVS_TYPEMASK);
    FOLDERSETTINGS fs{FVM_DETAILS, 0};
    say("SetFolderSettings(DETAILS)", w->eb->SetFolderSettings(&fs));
    printf("PROBE style now %lx\n", GetWindowLongW(list, GWL_STYLE) & LVS_TYPEMASK);
    w->eb->BrowseToIDList(nullptr, SBSP_PARENT);
    pump_for(500);
    list = list_of(w);
    printf("PROBE after navigation style %lx\n", GetWindowLongW(list, GWL_STYLE) & LVS_TYPEMASK);
    say("SetWindowTheme", SetWindowTheme(list, L"DarkMode_Explorer", nullptr));
    printf("PROBE SetBk %d\n", (int)ListView_SetBkColor(list, RGB(32,32,32)));
    CoTaskMemFree(drives);
    close_window(w);
}
}
