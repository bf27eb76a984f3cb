// The system's part of loading the scale library: its file name and its
// entry point (dlopen/dlsym, LoadLibrary/GetProcAddress).
// LibraryLoader_posix.cpp and LibraryLoader_win32.cpp implement it.
#pragma once

#include <filesystem>
#include <string>

namespace zalohy::platform {

// "libtwswtcp.so" or "TWSWTCP.DLL".
const char* scaleLibraryFileName();
// Loads the library for good and finds its entry point (twswtcp_entry; on
// Windows the export by ordinal 2). On failure `entry` is null and `reason`
// says why in the system's words (empty: a Windows library without the
// export by ordinal 2); `wrongBitness` when the library was built for the
// other word size.
struct LoadedEntry {
    void* entry = nullptr;
    std::string reason;
    bool wrongBitness = false;
};
LoadedEntry loadScaleEntry(const std::filesystem::path& library);
}  // namespace zalohy::platform
