# Cross-builds the window-free library, the command line and their tests for
# 64-bit Windows with Debian's mingw-w64 (posix threads, for std::thread and
# friends):
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
# The programs are linked statically, so that they run on a bare Windows
# without the compiler's DLLs beside them. Only the target's own folder is
# searched for headers, libraries and packages: the host's /usr/include
# (glibc) must never reach the target's include path.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(FERRO_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${FERRO_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${FERRO_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${FERRO_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${FERRO_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
