#pragma once
// The function texts of the check sites, spelt as the report shows them.
#define FUNC_INIT_GUI "void __cdecl init_gui(void)"
#define FUNC_MAIN_WINDOW "__thiscall main_window_t::main_window_t(void)"
#define FUNC_TREE_VIEW "__thiscall tree_view_t::tree_view_t(struct main_window_t *)"
#define FUNC_ADDRESS_VIEW "__thiscall address_view_t::address_view_t(struct main_window_t *)"
