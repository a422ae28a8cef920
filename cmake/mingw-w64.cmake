# Cross-compiles for 64-bit Windows with Debian's mingw-w64 and runs what it builds under Wine:
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
# (scripts/build-windows does that, builds, and runs the unit tests).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TARNWICK_MINGW_TARGET x86_64-w64-mingw32)
# The POSIX thread model: std::thread and std::mutex work (through winpthreads); the win32 one has neither.
set(CMAKE_C_COMPILER ${TARNWICK_MINGW_TARGET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TARNWICK_MINGW_TARGET}-g++-posix)
set(CMAKE_RC_COMPILER ${TARNWICK_MINGW_TARGET}-windres)

# Headers, libraries and packages from the mingw sysroot only; programs (tools run at build time) from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${TARNWICK_MINGW_TARGET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# libgcc, libstdc++ and winpthread linked into every .exe: it runs without MinGW DLLs beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# CTest (and the test discovery at build time) start the .exe files through Wine, with a prefix of the
# build folder's own, so that nothing depends on ~/.wine, and without Wine's debugging chatter.
set(TARNWICK_WINE_ENV WINEPREFIX=${CMAKE_BINARY_DIR}/wine-prefix WINEDEBUG=-all)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_COMMAND} -E env ${TARNWICK_WINE_ENV} wine)
