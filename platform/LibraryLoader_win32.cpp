// Loading the scale library on Windows.
#include "LibraryLoader.h"

#include "Win32Text.h"

#include <cctype>
#include <windows.h>

namespace fs = std::filesystem;

namespace zalohy::platform {

namespace {

// The system's text for an error code in the user's language, as UTF-8. The
// text may hold inserts such as "%1" ("Bad EXE format for %1."), which
// FormatMessage leaves as they are: %1 is the file, the others go.
std::string windowsErrorText(DWORD code, const std::string& file) {
    wchar_t* text = nullptr;
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    const std::string raw = n ? utf8Of(text, static_cast<int>(n)) : std::string();
    if (text) LocalFree(text);
    std::string reason;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '%' && i + 1 < raw.size() && raw[i + 1] >= '0' && raw[i + 1] <= '9') {
            if (raw[i + 1] == '1' && (i + 2 >= raw.size() || raw[i + 2] < '0' || raw[i + 2] > '9')) reason += file;
            while (i + 1 < raw.size() && raw[i + 1] >= '0' && raw[i + 1] <= '9') ++i;
            continue;
        }
        reason += raw[i];
    }
    while (!reason.empty() && std::isspace(static_cast<unsigned char>(reason.back()))) reason.pop_back();
    if (reason.empty()) reason = "Chyba Windows " + std::to_string(code) + ".";
    return reason;
}

}  // namespace

const char* scaleLibraryFileName() { return "TWSWTCP.DLL"; }

LoadedEntry loadScaleEntry(const fs::path& library) {
    LoadedEntry loaded;
    HMODULE module = LoadLibraryW(library.c_str());
    if (!module) {
        const DWORD code = GetLastError();
        // A 32-bit library cannot be loaded into a 64-bit program, nor the
        // other way round.
        loaded.wrongBitness = code == ERROR_BAD_EXE_FORMAT;
        const std::u8string name = library.u8string();
        loaded.reason = windowsErrorText(code, std::string(name.begin(), name.end()));
        return loaded;
    }
    // The entry point has no name: it is exported by ordinal 2 only.
    loaded.entry = reinterpret_cast<void*>(GetProcAddress(module, MAKEINTRESOURCEA(2)));
    if (!loaded.entry) FreeLibrary(module);
    // Otherwise the library stays loaded until the program ends.
    return loaded;
}
}  // namespace zalohy::platform
