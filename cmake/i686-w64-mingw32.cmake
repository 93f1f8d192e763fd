# 32-bit Windows (mingw-w64): the shipped plug-in. Its programs run under the 32-bit wine: the
# host-level tests, the host emulator and the unload cases, against the very DLL that is packaged.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(GLINT_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/WindowsMinGW.cmake)
