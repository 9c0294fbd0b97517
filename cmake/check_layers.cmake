# Fails when a source includes a header of a folder it must not depend on. The folders
# form layers: core (the standard library only) -> win -> ui (the host interface) ->
# ui/tree and ui/address (never each other) -> app. fault includes nothing of ours and
# may be included by all; within a folder no two files include each other. Run as: cmake -DROOT=<source dir> -P check_layers.cmake
cmake_minimum_required(VERSION 3.25)
set(allowed_core "core")
set(allowed_fault "fault")
set(allowed_win "core;fault;win")
set(allowed_ui "core;fault;win;ui")
set(allowed_ui/tree "core;fault;win;ui;ui/tree")
set(allowed_ui/address "core;fault;win;ui;ui/address")
set(allowed_app "core;fault;win;ui;ui/tree;ui/address;app")

set(failures "")
foreach(folder core fault win ui ui/tree ui/address app)
    file(GLOB sources "${ROOT}/${folder}/*.h" "${ROOT}/${folder}/*.cpp")
    foreach(source ${sources})
        file(RELATIVE_PATH name "${ROOT}" "${source}")
        file(STRINGS "${source}" includes REGEX "^[ \t]*#[ \t]*include")
        foreach(line ${includes})
            if(line MATCHES "\"([^\"]+)\"")
                get_filename_component(target_folder "${CMAKE_MATCH_1}" DIRECTORY)
                # Who includes whom, by file pair (a.h and a.cpp are one), for the cycles.
                get_filename_component(from "${name}" NAME_WE)
                get_filename_component(to "${CMAKE_MATCH_1}" NAME_WE)
                if(target_folder STREQUAL folder AND NOT from STREQUAL to)
                    list(APPEND edges "${folder}/${from}>${target_folder}/${to}")
                endif()
                if(NOT target_folder IN_LIST allowed_${folder})
                    string(APPEND failures "  ${name}: ${line} (${folder} may include ${allowed_${folder}})\n")
                endif()
            elseif(folder STREQUAL "core" AND line MATCHES "<([^>]+\\.h)>")
                # Standard C++ headers have no extension; anything else is a platform's.
                string(APPEND failures "  ${name}: ${line} (core includes the standard library only)\n")
            endif()
        endforeach()
    endforeach()
endforeach()

# Within a folder no two file pairs include each other: one of them must come first.
foreach(edge ${edges})
    string(REPLACE ">" ";" ends "${edge}")
    list(GET ends 0 a)
    list(GET ends 1 b)
    if("${b}>${a}" IN_LIST edges AND a STRLESS b)
        string(APPEND failures "  ${a} and ${b} include each other\n")
    endif()
endforeach()

if(failures)
    message(FATAL_ERROR "Includes against the direction of the layers:\n${failures}")
endif()
