// Loading the scale library on Linux and other POSIX systems.
#include "LibraryLoader.h"

#include <dlfcn.h>

namespace fs = std::filesystem;

namespace zalohy::platform {

const char* scaleLibraryFileName() { return "libtwswtcp.so"; }

LoadedEntry loadScaleEntry(const fs::path& library) {
    LoadedEntry loaded;
    void* module = ::dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        const char* why = ::dlerror();
        loaded.reason = why ? why : "unknown error";
        return loaded;
    }
    ::dlerror();
    void* symbol = ::dlsym(module, "twswtcp_entry");
    if (!symbol) {
        const char* why = ::dlerror();
        loaded.reason = why ? why : "no entry point twswtcp_entry";
        ::dlclose(module);
        return loaded;
    }
    // The library stays loaded until the program ends.
    loaded.entry = symbol;
    return loaded;
}
}  // namespace zalohy::platform
