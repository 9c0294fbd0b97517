# Windows build: zelvon.exe, the program's code as a library for the in-process tests,
# the Windows test executables and the end-to-end driver.
enable_language(RC)
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)

# CodeView alone: lld writes it to a PDB beside each executable, which both Wine's and the
# Windows symbol service read to name our frames in the fatal report. No DWARF: neither
# reads it from a PE, and Wine loads its sections into every process's private memory.
set(win_flags -Wall -Wextra -g -gcodeview -fno-omit-frame-pointer
    -fno-optimize-sibling-calls)
set(win_defs UNICODE _UNICODE NOMINMAX WINVER=0x0601 _WIN32_WINNT=0x0601)
set(win_libs shell32 shlwapi ole32 oleaut32 oleacc uuid gdi32 user32 comctl32 imagehlp uxtheme)

target_compile_options(zelvon_core PRIVATE -g -gcodeview)
# The exe names only "name.pdb", never our build folder, so a copy finds the PDB beside it.
add_link_options(-Wl,--pdb= -Wl,--Xlink=-pdbaltpath:%_PDB%)
target_sources(zelvon_fault PRIVATE fault/fatal.cpp fault/stack_trace.cpp)
target_compile_options(zelvon_fault PUBLIC ${win_flags})
target_compile_definitions(zelvon_fault PUBLIC ${win_defs})
target_link_libraries(zelvon_fault PUBLIC user32 gdi32 imagehlp)

# One library per folder, each linking only the layers below it.
add_library(zelvon_win STATIC win/com.cpp win/surface.cpp win/window_class.cpp win/fill.cpp
    win/accessible.cpp win/folder_watch.cpp win/shell_changes.cpp win/folder_changes.cpp
    win/background.cpp win/theme.cpp
    win/volume.cpp)
target_link_libraries(zelvon_win PUBLIC zelvon_core zelvon_fault ${win_libs})

add_library(zelvon_ui_tree STATIC ui/tree/tree_node.cpp ui/tree/enumerator.cpp
    ui/tree/tree_model.cpp ui/tree/tree_model_live.cpp ui/tree/tree_model_pins.cpp
    ui/tree/tree_view.cpp
    ui/tree/tree_keys.cpp ui/tree/tree_shell.cpp ui/tree/tree_drop.cpp)
target_link_libraries(zelvon_ui_tree PUBLIC zelvon_win)

add_library(zelvon_ui_address STATIC ui/address/address_view.cpp)
target_link_libraries(zelvon_ui_address PUBLIC zelvon_win)

add_library(zelvon_app STATIC
    app/process.cpp
    app/command_line.cpp
    app/settings_file.cpp
    app/session.cpp
    app/ebe.cpp
    app/single_instance.cpp
    app/main_window.cpp
    app/main_window_state.cpp
    app/main_window_look.cpp
    app/startup.cpp
)
target_link_libraries(zelvon_app PUBLIC zelvon_ui_tree zelvon_ui_address zelvon_win)
target_link_options(zelvon_app PUBLIC -static)

configure_file(resources/version.rc.in version.rc @ONLY)
configure_file(resources/zelvon.manifest.in zelvon.manifest @ONLY)
# scripts/package names the zip with it.
file(CONFIGURE OUTPUT version.txt CONTENT "@zelvon_VERSION@\n" @ONLY)
add_executable(zelvon WIN32
    app/main.cpp resources/zelvon.rc ${CMAKE_CURRENT_BINARY_DIR}/version.rc)
target_link_libraries(zelvon PRIVATE zelvon_app)
target_link_options(zelvon PRIVATE -municode)
# The runtime libraries bring DWARF of their own, which would be loaded with the exe.
find_program(LLVM_OBJCOPY NAMES llvm-objcopy llvm-objcopy-14 REQUIRED)
add_custom_command(TARGET zelvon POST_BUILD
    COMMAND ${LLVM_OBJCOPY} --strip-debug $<TARGET_FILE:zelvon>)

set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${gtest_src} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
add_subdirectory(tests)
add_subdirectory(bench)
