# What both Windows toolchains share: Debian's MinGW-w64 cross compilers (POSIX threads variant)
# for the target named by QUORVANE_MINGW_PREFIX, set by the including toolchain file.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${QUORVANE_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUORVANE_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${QUORVANE_MINGW_PREFIX}-windres)
find_program(QUORVANE_WIDL NAMES ${QUORVANE_MINGW_PREFIX}-widl widl REQUIRED)

set(CMAKE_FIND_ROOT_PATH /usr/${QUORVANE_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The toolchain's own runtime is linked in: the add-in and its test program need no DLLs beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# The cross compiler (GCC 12 with MinGW's libstdc++) reports false positives inside libstdc++'s
# string code at -O2: overlaps that cannot happen (-Wrestrict, GCC bug 105329) and members "maybe
# used uninitialized" in brace-initialised aggregates. The native builds of the same sources keep
# both warnings.
set(CMAKE_CXX_FLAGS_INIT "-Wno-restrict -Wno-maybe-uninitialized")
