# Host build: the platform-free modules and their tests, under the sanitizers.
if(ZELVON_SANITIZE)
    set(san -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    add_compile_options(${san})
    add_link_options(${san})
    # The core library was declared before the options above were in force.
    target_compile_options(zelvon_core PRIVATE ${san})
endif()

set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${gtest_src} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

add_executable(host_tests
    tests/tree/idlist_test.cpp
    tests/tree/fill_math_test.cpp
    tests/settings/settings_format_test.cpp
    tests/app/layout_test.cpp
    tests/tree/rows_test.cpp
    tests/address/segments_test.cpp
    tests/fault/report_format_test.cpp
    tests/app/handover_test.cpp
)
target_link_libraries(host_tests PRIVATE zelvon_core GTest::gtest_main)
target_compile_options(host_tests PRIVATE -Wall -Wextra)
include(GoogleTest)
gtest_discover_tests(host_tests)
