# Cross-building the Windows program on Linux with Debian's mingw-w64
# (x86_64-w64-mingw32, the POSIX thread model). Everything is linked
# statically: talvaro.exe needs no DLL beyond Windows' own.
#
#   cmake -S . -B build-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TALVARO_MINGW x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${TALVARO_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TALVARO_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${TALVARO_MINGW}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TALVARO_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# libgcc, libstdc++ and winpthread inside the program.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
