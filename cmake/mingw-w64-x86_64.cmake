# Cross-compiles for 64-bit Windows with Debian's clang and lld against the headers and
# libraries of the posix-threads mingw-w64 g++ (its libstdc++ and winpthreads), so the
# linker can write a PDB: the Windows symbol service reads PDBs, not DWARF.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(triple x86_64-w64-mingw32)
set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_C_COMPILER_TARGET ${triple})
set(CMAKE_CXX_COMPILER_TARGET ${triple})
set(CMAKE_RC_COMPILER ${triple}-windres)
set(CMAKE_SYSROOT /usr/${triple})

# clang 14 does not recognise Debian's "12-posix" folder as a g++ installation: ask that
# g++ where its libraries are and name its C++ headers and libraries ourselves.
execute_process(COMMAND ${triple}-g++-posix -print-libgcc-file-name
    OUTPUT_VARIABLE libgcc OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
get_filename_component(gcc_dir "${libgcc}" DIRECTORY)
set(cxx_headers "${gcc_dir}/include/c++")
set(CMAKE_CXX_FLAGS_INIT "-isystem ${cxx_headers} -isystem ${cxx_headers}/${triple} \
-isystem ${cxx_headers}/backward")
# The posix-threads libstdc++ and libgcc call winpthreads, which g++ would add itself;
# lld resolves archives in any order, so it may come first.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-fuse-ld=lld -L${gcc_dir} -lpthread")

set(CMAKE_FIND_ROOT_PATH /usr/${triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
