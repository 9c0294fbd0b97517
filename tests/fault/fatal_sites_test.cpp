// The report's texts of every check, as users and their bug reports have always seen
// them: a changed text is a changed report.
#include "fault/fatal_sites.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(FatalSites, EveryCheckKeepsItsReportTexts) {
    const std::string init = "void __cdecl init_gui(void)";
    const std::string window = "__thiscall main_window_t::main_window_t(void)";
    const std::string tree = "__thiscall tree_view_t::tree_view_t(struct main_window_t *)";
    const std::string bar = "__thiscall address_view_t::address_view_t(struct main_window_t *)";
    const struct {
        const fatal_site_t& site;
        std::string function, expression;
    } sites[] = {
        {fatal_sites::font, init,
         "g_font = ::CreateFontW( 18, 0, 0, 0, FW_DONTCARE, FALSE, FALSE, FALSE, DEFAULT_CHARSET, "
         "OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_NATURAL_QUALITY, DEFAULT_PITCH, "
         "L\"\x83\x81\x83\x43\x83\x8a\x83\x49\" )"},
        {fatal_sites::settings_file, init,
         "g_settings = ::CreateFile( tmp, GENERIC_READ|GENERIC_WRITE, 0, NULL, OPEN_ALWAYS, 0, "
         "NULL )"},
        {fatal_sites::main_window, window,
         "handle = ::CreateWindowW ( L\"main_window\" , L\"zelvon\", WS_OVERLAPPEDWINDOW, "
         "CW_USEDEFAULT , CW_USEDEFAULT , 1024 , 768 , NULL , NULL, ::GetModuleHandle(NULL) , "
         "NULL )"},
        {fatal_sites::browser, window,
         "SUCCEEDED ( CoCreateInstance(CLSID_ExplorerBrowser, NULL, CLSCTX_INPROC_SERVER, "
         "IID_PPV_ARGS(&(eb))) )"},
        {fatal_sites::browser_window, window, "SUCCEEDED ( IUnknown_GetWindow( eb, &eb_handle ) )"},
        {fatal_sites::tree_window, tree,
         "handle = ::CreateWindowExW ( WS_EX_LEFTSCROLLBAR, L\"tree_view\" , L\"\", "
         "WS_CHILD|WS_VSCROLL, 0 , 0 , 100 , 768 , mw->handle , NULL, ::GetModuleHandle(NULL) , "
         "NULL )"},
        {fatal_sites::tree_desktop, tree, "SUCCEEDED ( ::SHGetDesktopFolder( &desktop_sf ) )"},
        {fatal_sites::address_window, bar,
         "handle = ::CreateWindowExW ( 0, L\"address_view\" , L\"\", WS_CHILD, 300 , 0 , 1024 , 24 "
         ", mw->handle , NULL, ::GetModuleHandle(NULL) , NULL )"},
        {fatal_sites::address_desktop, bar, "SUCCEEDED ( ::SHGetDesktopFolder( &desktop ) )"},
    };
    for (const auto& s : sites) {
        EXPECT_EQ(s.site.function, s.function);
        EXPECT_EQ(s.site.expression, s.expression);
    }
}

} // namespace
