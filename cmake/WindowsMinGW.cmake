# Windows with mingw-w64, cross-compiled on Linux; included by the per-triplet toolchain files,
# which set GLINT_MINGW_TRIPLET and CMAKE_SYSTEM_PROCESSOR first.
#
# The posix thread model compilers: Debian's unsuffixed names follow the alternatives, which
# point at the win32 model, and Qt was built with the posix one.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${GLINT_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${GLINT_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${GLINT_MINGW_TRIPLET}-windres)

# Qt 5 Core for Windows, as scripts/windows-qt builds it into the per-user cache. A configure
# command may name another build with -DGLINT_WINDOWS_QT=PREFIX.
if(NOT GLINT_WINDOWS_QT)
    if(DEFINED ENV{XDG_CACHE_HOME} AND NOT "$ENV{XDG_CACHE_HOME}" STREQUAL "")
        set(cache "$ENV{XDG_CACHE_HOME}")
    else()
        set(cache "$ENV{HOME}/.cache")
    endif()
    file(GLOB built "${cache}/vesk-glint-mb/qt-*-${GLINT_MINGW_TRIPLET}/.complete")
    list(SORT built)
    if(built)
        list(POP_BACK built newest)
        get_filename_component(GLINT_WINDOWS_QT "${newest}" DIRECTORY)
    endif()
endif()
if(NOT GLINT_WINDOWS_QT OR NOT EXISTS "${GLINT_WINDOWS_QT}/lib/cmake/Qt5Core"
   OR NOT EXISTS "${GLINT_WINDOWS_QT}/bin/qmake")
    message(FATAL_ERROR "No complete Qt 5 Core for ${GLINT_MINGW_TRIPLET}: run scripts/windows-qt "
                        "${GLINT_MINGW_TRIPLET} first (or pass -DGLINT_WINDOWS_QT=PREFIX)")
endif()
set(GLINT_WINDOWS_QT "${GLINT_WINDOWS_QT}" CACHE PATH "Qt 5 for Windows (scripts/windows-qt)")
# try_compile projects read the toolchain file again; hand them the same Qt.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES GLINT_WINDOWS_QT)

set(CMAKE_FIND_ROOT_PATH /usr/${GLINT_MINGW_TRIPLET} ${GLINT_WINDOWS_QT})
set(CMAKE_PREFIX_PATH ${GLINT_WINDOWS_QT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Qt's headers put dllimport on members that are also defined inline; GCC warns about each one.
set(CMAKE_CXX_FLAGS_INIT "-Wno-attributes")
# libgcc, libstdc++ and winpthread linked into every module: the plug-in must not depend on the
# host shipping the same versions of the MinGW runtime. (-static only picks static archives over
# import libraries; Qt and the system DLLs are still imported.)
foreach(kind EXE SHARED MODULE)
    set(CMAKE_${kind}_LINKER_FLAGS_INIT "-static")
endforeach()
