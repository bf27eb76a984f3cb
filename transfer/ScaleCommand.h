// Hands one command line to the scale communication library and reads back the
// status the library leaves in the file "error" in the working folder.
#pragma once

#include "Report.h"

#include <functional>
#include <string>

namespace zalohy {

// The library's entry point has the form of a program's main function.
using ScaleEntryPoint = std::function<int(int argc, char** argv)>;

// The entry point as the library exports it.
using RawScaleEntry = int (*)(int argc, char** argv);

// Calls a library's entry point. On 32-bit x86 a library built by another
// compiler may leave its arguments on the stack (cdecl), remove them itself
// (stdcall) or take the first two in EAX and EDX (the register convention of
// some Windows compilers): argc and argv are passed both ways and the stack
// pointer is put back after the call, so all three work. Elsewhere there is
// one convention and this is a plain call.
int callScaleEntry(RawScaleEntry entry, int argc, char** argv);

// The runner's own box when "error" cannot be read after the call (UTF-8).
inline constexpr const char* kStatusUnreadableText = "Nemohu otevřít datový soubor error \nProgram bude ukončen ";
inline constexpr const char* kStatusUnreadableCaption = " Vážná chyba ";

// A word longer than this is refused without calling the library.
inline constexpr std::size_t kMaxCommandWord = 39;

struct LibraryBinding {
    bool ok = false;
    std::string libraryPath;  // the file that was (to be) loaded
    std::string reason;       // the loader's reason when !ok
    // "Cannot load <libraryPath>: <reason>" style text for the user when !ok.
    std::string message() const;
};

// The machine a Windows program or DLL file was built for, from its PE
// header: kPeMachineX86 (32-bit), kPeMachineX64 (64-bit), another value, or 0
// when the file cannot be read or is no PE image.
inline constexpr unsigned kPeMachineX86 = 0x14C;
inline constexpr unsigned kPeMachineX64 = 0x8664;
unsigned peMachine(const std::string& path);

// Why a library whose machine is `dllMachine` cannot serve a program of
// `programBits` (32 or 64) bits, naming the build of the program to use; empty
// when the machine is not the other x86 one. UTF-8.
std::string bitnessMismatchText(unsigned dllMachine, int programBits);

// The reason given when the library has no entry point with ordinal 2 (UTF-8).
inline constexpr const char* kNoOrdinal2Text = "Knihovna neobsahuje vstupní bod s pořadovým číslem 2.";

class ScaleLibrary {
public:
    // Binds the library beside the running executable: libtwswtcp.so through
    // dlopen on Linux, TWSWTCP.DLL through LoadLibrary and ordinal 2 on Windows.
    static LibraryBinding bindBesideExecutable();
    // Binds the library in a folder given relative to the running
    // executable's folder, e.g. "../libexec/zalohy" for an installed tool.
    static LibraryBinding bindNearExecutable(const std::string& relativeFolder);
    // Binds a library file given by path (tests, tools).
    static LibraryBinding bindFile(const std::string& path);
    // Replaces the entry point with an in-process one (tests), or with nothing.
    static void setEntryPoint(ScaleEntryPoint entry);
    static bool isBound();
    // The library file name on this platform: "libtwswtcp.so" or "TWSWTCP.DLL".
    static const char* libraryFileName();
};

// Splits commandLine at white space into its first three words (missing words
// are passed as empty strings, anything after the third is dropped), removes
// an old "error" file, calls the entry point with argc 3 and exactly three
// pointers, and returns the integer read from "error" (0 means success).
// When "error" cannot be opened or holds no integer afterwards, the
// runner's own message goes to report and the result is 1. A word longer than kMaxCommandWord, or no bound library, gives
// a non-zero result without calling anything.
int RunScaleCommand(const std::string& commandLine, Report* report = nullptr);

}  // namespace zalohy
