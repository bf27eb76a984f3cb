#include "ScaleCommand.h"

#include "File.h"

#include <cctype>
#include <climits>
#include <cstdint>
#include <cstring>
#include <system_error>

#include "LibraryLoader.h"
#include "Processes.h"

namespace fs = std::filesystem;

#if defined(__i386__)
// callScaleEntry on 32-bit x86, the whole body in assembler (ELF and PE
// alike). ESI keeps the stack pointer across the call: every convention
// preserves it, and whatever the entry did with its arguments, the stack is
// then as before. Visible outside this file, so the compiler keeps the plain
// stack convention for it rather than one of its own for local functions.
extern "C" __attribute__((naked, noinline)) int zalohy_call_entry_x86(zalohy::RawScaleEntry, int, char**) {
    asm(R"(
    pushl %ebp
    movl  %esp, %ebp
    pushl %esi
    movl  %esp, %esi
    movl  8(%ebp), %ecx
    movl  12(%ebp), %eax
    movl  16(%ebp), %edx
    andl  $-16, %esp
    subl  $8, %esp
    pushl %edx
    pushl %eax
    call  *%ecx
    movl  %esi, %esp
    popl  %esi
    popl  %ebp
    ret
)");
}
#endif

namespace zalohy {

namespace {

using RawEntry = RawScaleEntry;


// The one entry point every command goes through: the bound library's, or a
// fake installed by a test.
ScaleEntryPoint& entryPoint() {
    static ScaleEntryPoint entry;
    return entry;
}

// C's isspace in the "C" locale, the separators a program's command line
// and scanf("%d") know.
bool isBlank(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

// The folder of the running program, or an empty path when it cannot be told.
fs::path executableFolder() { return platform::ownExecutable().parent_path(); }

// Reads "error" the way scanf("%d") would: leading white space, an optional
// sign, then decimal digits; whatever follows is ignored. A value beyond the
// range of int is clamped, so it can never read as success.
bool readStatus(const fs::path& path, int& status) {
    files::File file;
    if (!file.open(path, "rb")) return false;
    char c = 0;
    bool more = file.read(&c, 1) == 1;
    while (more && isBlank(c)) more = file.read(&c, 1) == 1;
    bool negative = false;
    if (more && (c == '+' || c == '-')) {
        negative = c == '-';
        more = file.read(&c, 1) == 1;
    }
    long long value = 0;
    bool digits = false;
    while (more && c >= '0' && c <= '9') {
        digits = true;
        if (value <= INT_MAX) value = value * 10 + (c - '0');
        more = file.read(&c, 1) == 1;
    }
    if (!digits) return false;
    if (negative) value = -value;
    status = value > INT_MAX ? INT_MAX : value < INT_MIN ? INT_MIN : static_cast<int>(value);
    return true;
}

}  // namespace

int callScaleEntry(RawScaleEntry entry, int argc, char** argv) {
#if defined(__i386__)
    // argc in EAX and on the stack, argv in EDX and on the stack; the stack
    // is aligned to 16 bytes at the call, as GCC-built code expects.
    return zalohy_call_entry_x86(entry, argc, argv);
#else
    return entry(argc, argv);
#endif
}

unsigned peMachine(const std::string& path) {
    files::File file;
    if (!file.open(files::toPath(path), "rb")) return 0;
    // The DOS header says where the PE signature is; the machine follows it.
    unsigned char dos[64];
    if (file.read(dos, sizeof dos) != sizeof dos || dos[0] != 'M' || dos[1] != 'Z') return 0;
    const std::uint32_t peOffset = dos[60] | dos[61] << 8 | dos[62] << 16 | static_cast<std::uint32_t>(dos[63]) << 24;
    unsigned char pe[6];
    if (!file.seek(peOffset) || file.read(pe, sizeof pe) != sizeof pe) return 0;
    if (pe[0] != 'P' || pe[1] != 'E' || pe[2] != 0 || pe[3] != 0) return 0;
    return pe[4] | pe[5] << 8;
}

std::string bitnessMismatchText(unsigned dllMachine, int programBits) {
    // The installer picks the build that fits the library it is given, so it
    // is named first; the zip of the fitting build is the way without it.
    const auto advice = [](const char* bits, const char* zip) {
        return std::string("Nainstalujte program znovu instalátorem zalohy-" ZALOHY_VERSION
                           "-setup.exe s touto knihovnou, nebo použijte ") +
               bits + "bitovou verzi programu ze souboru zalohy-" ZALOHY_VERSION "-" + zip + ".zip.";
    };
    if (dllMachine == kPeMachineX86 && programBits == 64)
        return "Knihovna je 32bitová, ale tento program je 64bitový. " + advice("32", "win32");
    if (dllMachine == kPeMachineX64 && programBits == 32)
        return "Knihovna je 64bitová, ale tento program je 32bitový. " + advice("64", "win64");
    return std::string();
}

// In the words of the program's window that says the same.
std::string LibraryBinding::message() const {
    return "Nepodařilo se načíst knihovnu pro komunikaci s váhou " + libraryPath + ": " + reason;
}

const char* ScaleLibrary::libraryFileName() { return platform::scaleLibraryFileName(); }

LibraryBinding ScaleLibrary::bindBesideExecutable() { return bindNearExecutable(std::string()); }

LibraryBinding ScaleLibrary::bindNearExecutable(const std::string& relativeFolder) {
    fs::path folder = executableFolder();
    if (folder.empty()) {
        LibraryBinding binding;
        binding.libraryPath = libraryFileName();
        binding.reason = "the program's own folder cannot be found";
        return binding;
    }
    if (!relativeFolder.empty()) folder = (folder / files::toPath(relativeFolder)).lexically_normal();
    return bindFile(files::toUtf8(folder / libraryFileName()));
}

LibraryBinding ScaleLibrary::bindFile(const std::string& path) {
    LibraryBinding binding;
    binding.libraryPath = path;
    const platform::LoadedEntry loaded = platform::loadScaleEntry(files::toPath(path));
    if (!loaded.entry) {
        // A 32-bit library cannot be loaded into a 64-bit program, nor the
        // other way round: say which build of the program fits the library.
        if (loaded.wrongBitness)
            binding.reason = bitnessMismatchText(peMachine(path), static_cast<int>(sizeof(void*) * 8));
        // Only a library without the entry by ordinal says nothing more.
        if (binding.reason.empty()) binding.reason = loaded.reason.empty() ? kNoOrdinal2Text : loaded.reason;
        return binding;
    }
    const auto entry = reinterpret_cast<RawEntry>(loaded.entry);
    // The library stays loaded until the program ends.
    entryPoint() = [entry](int argc, char** argv) { return callScaleEntry(entry, argc, argv); };
    binding.ok = true;
    return binding;
}

void ScaleLibrary::setEntryPoint(ScaleEntryPoint entry) { entryPoint() = std::move(entry); }

bool ScaleLibrary::isBound() { return static_cast<bool>(entryPoint()); }

int RunScaleCommand(const std::string& commandLine, Report* report) {
    // Three word buffers of 40 characters with their terminators; missing
    // words stay empty, a longer word is refused rather than cut.
    char words[3][kMaxCommandWord + 1] = {};
    std::size_t pos = 0;
    for (auto& word : words) {
        while (pos < commandLine.size() && isBlank(commandLine[pos])) ++pos;
        const std::size_t start = pos;
        while (pos < commandLine.size() && !isBlank(commandLine[pos])) ++pos;
        if (pos - start > kMaxCommandWord) return 1;
        std::memcpy(word, commandLine.data() + start, pos - start);
    }
    ScaleEntryPoint& entry = entryPoint();
    if (!entry) return 1;

    // A status left by an earlier command must never be read as this one's.
    const fs::path statusFile = "error";
    std::error_code ec;
    fs::remove(statusFile, ec);
    int status = 0;
    if (!fs::exists(statusFile, ec)) {
        char* argv[3] = {words[0], words[1], words[2]};
        entry(3, argv);
        if (readStatus(statusFile, status)) return status;
    }
    if (report) report->message(kStatusUnreadableText, kStatusUnreadableCaption);
    return 1;
}

}  // namespace zalohy
