# 32-bit Windows (mingw-w64): the shipped plug-in. Its programs cannot run here, not even under
# wine64, so this build is linked and inspected only.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(GLINT_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/WindowsMinGW.cmake)
