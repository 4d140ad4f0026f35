# Cross-building for 32-bit Windows (x86) with Debian's MinGW-w64 toolchain: the library that 32-bit
# Excel loads.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(QUORVANE_MINGW_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
