# Windows programs of a cross build run by ctest under wine64, through a wrapper made here
# (build/<preset>/wine-run) that every test command goes through as CMAKE_CROSSCOMPILING_EMULATOR.
# The wine prefix lives in the build tree. 32-bit Windows code cannot run on these machines, not
# even under wine64: a 32-bit build gets no emulator, and its tests are built but not run.
if(NOT CMAKE_SIZEOF_VOID_P EQUAL 8)
    message(STATUS "32-bit Windows: programs are linked, not run")
    return()
endif()
find_program(GLINT_WINE64 wine64 PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
find_program(GLINT_WINESERVER wineserver PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(NOT GLINT_WINE64 OR NOT GLINT_WINESERVER)
    message(STATUS "wine64 not found: the Windows tests are built but not run")
    return()
endif()

# Where the DLLs that Qt5Core.dll itself needs are (the MinGW runtime: libstdc++, libgcc_s,
# libwinpthread; this project's own modules link it statically), as Windows paths through wine's
# drive Z:, which is the Linux root.
set(windows_path)
foreach(folder "${GLINT_WINDOWS_QT}/bin" runtime:libstdc++-6.dll runtime:libwinpthread-1.dll)
    if(folder MATCHES "^runtime:(.*)")
        execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${CMAKE_MATCH_1}
            OUTPUT_VARIABLE file OUTPUT_STRIP_TRAILING_WHITESPACE)
        get_filename_component(folder "${file}" DIRECTORY)
        get_filename_component(folder "${folder}" REALPATH)
    endif()
    string(REPLACE "/" "\\" folder "Z:${folder}")
    list(APPEND windows_path "${folder}")
endforeach()
list(REMOVE_DUPLICATES windows_path)
list(JOIN windows_path ";" GLINT_WINE_PATH)
set(GLINT_WINE_PREFIX ${CMAKE_BINARY_DIR}/wine-prefix)
configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.in ${CMAKE_BINARY_DIR}/wine-run
    @ONLY FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
        WORLD_READ WORLD_EXECUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run)
# Tests that run under wine require this fixture: the prefix made, one wineserver kept for the
# whole run, and wine's COM pointed at the user's class registrations.
set(GLINT_WINE_FIXTURE wine)
