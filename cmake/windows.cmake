# Windows build: zelvon.exe, the program's code as a library for the in-process tests,
# the Windows test executables and the end-to-end driver.
enable_language(RC)
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)

set(win_flags -Wall -Wextra -gdwarf-4 -fno-omit-frame-pointer -fno-optimize-sibling-calls)
set(win_defs UNICODE _UNICODE NOMINMAX WINVER=0x0601 _WIN32_WINNT=0x0601)
set(win_libs shell32 shlwapi ole32 oleaut32 uuid msimg32 gdi32 user32 comctl32 imagehlp)

target_compile_options(zelvon_core PRIVATE -gdwarf-4)

add_library(zelvon_win STATIC
    app/app.cpp
    app/com.cpp
    app/main_window.cpp
    app/ebe.cpp
    app/surface.cpp
    app/window_class.cpp
    tree/tree_view.cpp
    tree/tree_node.cpp
    tree/fill.cpp
    address/address_view.cpp
    settings/settings.cpp
    fault/fatal.cpp
    fault/stack_trace.cpp
)
target_compile_options(zelvon_win PUBLIC ${win_flags})
target_compile_definitions(zelvon_win PUBLIC ${win_defs})
target_link_libraries(zelvon_win PUBLIC zelvon_core ${win_libs})
target_link_options(zelvon_win PUBLIC -static)

add_executable(zelvon WIN32 app/main.cpp resources/zelvon.rc)
target_link_libraries(zelvon PRIVATE zelvon_win)
target_link_options(zelvon PRIVATE -municode)

set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${gtest_src} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
add_subdirectory(tests)
add_subdirectory(bench)
