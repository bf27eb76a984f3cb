# Shared part of the MinGW-w64 toolchain files: set ZALOHY_MINGW_TRIPLE, then
# include this. Debian's -posix compilers (std::thread and friends work), a
# fully static runtime so no libstdc++, libgcc or winpthread DLL has to ship
# beside the programs, and Wine to run what is built (tests, test discovery).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_VERSION 6.1)
if(ZALOHY_MINGW_TRIPLE MATCHES "^x86_64")
  set(CMAKE_SYSTEM_PROCESSOR AMD64)
else()
  set(CMAKE_SYSTEM_PROCESSOR x86)
endif()

set(CMAKE_C_COMPILER ${ZALOHY_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZALOHY_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${ZALOHY_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ZALOHY_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Runs a built program under the Wine of its bits: wine64, or the private
# 32-bit Wine (see wine-run.sh for the environment).
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh)

# GoogleTest is built from Debian's sources with this same toolchain.
set(ZALOHY_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources built for the target")
