# 64-bit Windows (mingw-w64); programs run under wine64: the host-level tests, the host emulator
# and the unload cases.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(GLINT_MINGW_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/WindowsMinGW.cmake)
