# Windows programs of a cross build run by ctest under wine, through a wrapper made here
# (build/<preset>/wine-run) that every test command goes through as CMAKE_CROSSCOMPILING_EMULATOR.
# The wine prefix lives in the build tree: a win64 one for the 64-bit build (wine64), a win32 one
# for the 32-bit build (the 32-bit loader, wine32): in a win64 prefix a 32-bit registration would
# land in the registry's 32-bit view, which the class link of the tests does not look at.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(wine_loader wine64)
    set(GLINT_WINE_ARCH win64)
else()
    set(wine_loader wine)
    set(GLINT_WINE_ARCH win32)
endif()
# By their paths: with wine32 beside wine64 there is no /usr/bin/wine.
find_program(GLINT_WINE_LOADER ${wine_loader} PATHS /usr/lib/wine NO_DEFAULT_PATH
    NO_CMAKE_FIND_ROOT_PATH)
find_program(GLINT_WINESERVER wineserver PATHS /usr/lib/wine NO_DEFAULT_PATH
    NO_CMAKE_FIND_ROOT_PATH)
if(NOT GLINT_WINE_LOADER OR NOT GLINT_WINESERVER)
    message(STATUS "${wine_loader} not found: the Windows tests are built but not run")
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
