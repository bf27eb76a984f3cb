# 32-bit Windows programs with Debian's MinGW-w64 (for a 32-bit TWSWTCP.DLL):
#   cmake -S . -B build-win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake -DZALOHY_GUI=OFF
# They run under the private 32-bit Wine of scripts/wine32.sh (wine-run.sh
# picks it for 32-bit programs).
set(ZALOHY_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
