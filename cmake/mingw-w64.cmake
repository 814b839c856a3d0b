# Cross-compiles the core, brenzo-cli and their tests for 64-bit Windows with Debian's MinGW-w64
# (g++-mingw-w64-x86-64-posix). CTest runs the tests under Wine through the emulator below.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(BRENZO_MINGW_TRIPLE x86_64-w64-mingw32)
# The posix flavour: its libstdc++ has std::thread and std::mutex on winpthread; the win32
# flavour has neither in GCC 12.
set(CMAKE_C_COMPILER ${BRENZO_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${BRENZO_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${BRENZO_MINGW_TRIPLE}-windres)

# Libraries and headers come from the MinGW tree only, never from the build machine's own
# /usr (whose glibc headers would shadow MinGW's). Header-only dependencies are taken from the
# build machine on purpose, through cmake/BuildMachineHeaders.cmake.
set(CMAKE_FIND_ROOT_PATH /usr/${BRENZO_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# libstdc++, libgcc and winpthread are linked in, so an executable runs with no DLL beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Debian's `wine` is a wrapper that picks the 64-bit loader; with only `wine64` installed the
# loader is called directly.
find_program(BRENZO_WINE NAMES wine wine64 PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH
             DOC "runs the Windows executables (the tests) on this machine")
if(BRENZO_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${BRENZO_WINE})
endif()
