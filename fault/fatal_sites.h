#pragma once
// The texts the fatal report shows for each check: the function as the report spells it
// and the checked expression as the report spells it. They are data, so the checks
// themselves are written as ordinary code; a host test lists every text.

struct fatal_site_t {
    const char* function;
    const char* expression;
};

namespace fatal_sites {

inline constexpr const char* INIT_GUI = "void __cdecl init_gui(void)";
inline constexpr const char* MAIN_WINDOW = "__thiscall main_window_t::main_window_t(void)";
inline constexpr const char* TREE_VIEW =
    "__thiscall tree_view_t::tree_view_t(struct main_window_t *)";
inline constexpr const char* ADDRESS_VIEW =
    "__thiscall address_view_t::address_view_t(struct main_window_t *)";

// The face name stays in code page 932, as the report has always carried it.
inline constexpr fatal_site_t font{
    INIT_GUI, "g_font = ::CreateFontW( 18, 0, 0, 0, FW_DONTCARE, FALSE, FALSE, FALSE, "
              "DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, "
              "CLEARTYPE_NATURAL_QUALITY, DEFAULT_PITCH, L\"\x83\x81\x83\x43\x83\x8a\x83\x49\" )"};
inline constexpr fatal_site_t settings_file{
    INIT_GUI,
    "g_settings = ::CreateFile( tmp, GENERIC_READ|GENERIC_WRITE, 0, NULL, OPEN_ALWAYS, 0, NULL )"};

inline constexpr fatal_site_t main_window{
    MAIN_WINDOW,
    "handle = ::CreateWindowW ( L\"main_window\" , L\"zelvon\", WS_OVERLAPPEDWINDOW, "
    "CW_USEDEFAULT , CW_USEDEFAULT , 1024 , 768 , NULL , NULL, ::GetModuleHandle(NULL) , NULL )"};
inline constexpr fatal_site_t browser{
    MAIN_WINDOW, "SUCCEEDED ( CoCreateInstance(CLSID_ExplorerBrowser, NULL, CLSCTX_INPROC_SERVER, "
                 "IID_PPV_ARGS(&(eb))) )"};
inline constexpr fatal_site_t browser_window{MAIN_WINDOW,
                                             "SUCCEEDED ( IUnknown_GetWindow( eb, &eb_handle ) )"};

inline constexpr fatal_site_t tree_window{
    TREE_VIEW, "handle = ::CreateWindowExW ( WS_EX_LEFTSCROLLBAR, L\"tree_view\" , L\"\", "
               "WS_CHILD|WS_VSCROLL, 0 , 0 , 100 , 768 , mw->handle , NULL, "
               "::GetModuleHandle(NULL) , NULL )"};
inline constexpr fatal_site_t tree_desktop{TREE_VIEW,
                                           "SUCCEEDED ( ::SHGetDesktopFolder( &desktop_sf ) )"};

inline constexpr fatal_site_t address_window{
    ADDRESS_VIEW, "handle = ::CreateWindowExW ( 0, L\"address_view\" , L\"\", WS_CHILD, 300 , 0 , "
                  "1024 , 24 , mw->handle , NULL, ::GetModuleHandle(NULL) , NULL )"};
inline constexpr fatal_site_t address_desktop{ADDRESS_VIEW,
                                              "SUCCEEDED ( ::SHGetDesktopFolder( &desktop ) )"};

} // namespace fatal_sites
