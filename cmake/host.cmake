# Host build: the platform-free modules and their tests, under the sanitizers.
if(ZELVON_SANITIZE)
    set(san -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    add_compile_options(${san})
    add_link_options(${san})
    # The libraries were declared before the options above were in force.
    target_compile_options(zelvon_core PRIVATE ${san})
    target_compile_options(zelvon_fault PRIVATE ${san})
endif()

set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${gtest_src} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

add_executable(host_tests
    tests/core/idlist_test.cpp
    tests/core/fill_math_test.cpp
    tests/core/settings_format_test.cpp
    tests/core/layout_test.cpp
    tests/core/rows_test.cpp
    tests/core/segments_test.cpp
    tests/core/handover_test.cpp
    tests/core/child_merge_test.cpp
    tests/core/placement_test.cpp
    tests/core/folder_name_test.cpp
    tests/fault/report_format_test.cpp
)
target_link_libraries(host_tests PRIVATE zelvon_core zelvon_fault GTest::gtest_main)
target_compile_options(host_tests PRIVATE -Wall -Wextra)
include(GoogleTest)
gtest_discover_tests(host_tests)
