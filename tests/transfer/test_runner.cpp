#include "ScaleCommand.h"
#include "TestSupport.h"

#include <cstring>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

using namespace zalohy;
using namespace testsupport;

namespace {

// Installs an in-process library that records each call and writes the given
// text into "error" (nothing when status is null).
class Runner : public InTempDir {
protected:
    struct Call {
        int argc = 0;
        std::vector<std::string> words;
        std::vector<char*> pointers;
        bool staleStatusSeen = false;
    };
    std::vector<Call> calls;
    int unreadable = 0;
    struct Counter : Report {
        int* count;
        explicit Counter(int* c) : count(c) {}
        void message(const std::string&, const std::string&) override { ++*count; }
        void line(const std::string&) override {}
    } counter{&unreadable};
    Report* onUnreadable = &counter;

    void install(const char* status, std::function<void(char**)> alsoDo = {}) {
        ScaleLibrary::setEntryPoint([this, status, alsoDo](int argc, char** argv) {
            Call call;
            call.argc = argc;
            call.staleStatusSeen = exists("error");
            for (int i = 0; i < argc; ++i) {
                call.pointers.push_back(argv[i]);
                call.words.emplace_back(argv[i] ? argv[i] : "<null>");
            }
            if (alsoDo) alsoDo(argv);
            if (status) writeFile("error", status);
            calls.push_back(call);
            return 0;
        });
    }
    void TearDown() override { ScaleLibrary::setEntryPoint({}); }
};

TEST_F(Runner, PassesExactlyThreeWordsWithTheirCaseKept) {
    install("0");
    EXPECT_EQ(RunScaleCommand("twswtcp f78 10.1.1.20", onUnreadable), 0);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].argc, 3);
    EXPECT_EQ(calls[0].words, (std::vector<std::string>{"twswtcp", "f78", "10.1.1.20"}));
    EXPECT_EQ(unreadable, 0);
}

TEST_F(Runner, SplitsAtAnyWhiteSpaceAndDropsWhatFollowsTheThirdWord) {
    install("0");
    RunScaleCommand("  twswtcp\tF74   10.1.1 .20 more words", onUnreadable);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].words, (std::vector<std::string>{"twswtcp", "F74", "10.1.1"}));
}

TEST_F(Runner, MissingWordsArePassedAsEmptyStringsNeverAsNull) {
    install("0");
    RunScaleCommand("twswtcp F74 ", onUnreadable);
    RunScaleCommand("", onUnreadable);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].words, (std::vector<std::string>{"twswtcp", "F74", ""}));
    EXPECT_EQ(calls[1].words, (std::vector<std::string>{"", "", ""}));
    for (const Call& call : calls) {
        EXPECT_EQ(call.argc, 3);
        EXPECT_NE(call.pointers[0], call.pointers[1]);
        EXPECT_NE(call.pointers[1], call.pointers[2]);
    }
}

TEST_F(Runner, EachWordHolds39CharactersAndALongerOneIsRefusedWithoutACall) {
    const std::string word39(39, 'a');
    // The library may write a full 39-character word and its terminator into
    // every buffer, as a program may with its arguments.
    install("0", [](char** argv) {
        for (int i = 0; i < 3; ++i) {
            std::memset(argv[i], 'z', 39);
            argv[i][39] = '\0';
        }
    });
    EXPECT_EQ(RunScaleCommand("twswtcp F74 " + word39, onUnreadable), 0);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].words[2], word39);

    writeFile("error", "0");
    EXPECT_NE(RunScaleCommand("twswtcp F74 " + word39 + "b", onUnreadable), 0);
    EXPECT_NE(RunScaleCommand(word39 + "b F74 1.2.3.4", onUnreadable), 0);
    EXPECT_EQ(calls.size(), 1u);
    EXPECT_EQ(unreadable, 0);
}

TEST_F(Runner, StatusIsReadLikeScanfOfOneInteger) {
    const std::vector<std::pair<const char*, int>> cases = {
        {"0", 0},     {"0\r\n", 0},         {" \n\t-7 trailing", -7}, {"+12abc", 12},
        {"3 4", 3},   {"-0", 0},            {"007", 7},               {"-2147483648", INT32_MIN},
    };
    for (const auto& [text, status] : cases) {
        install(text);
        EXPECT_EQ(RunScaleCommand("twswtcp F74 1.2.3.4", onUnreadable), status) << text;
    }
    // Values beyond the range of an int never read as success.
    for (const char* text : {"2147483648", "99999999999999999999", "-99999999999", "4294967296"}) {
        install(text);
        EXPECT_NE(RunScaleCommand("twswtcp F74 1.2.3.4", onUnreadable), 0) << text;
    }
    EXPECT_EQ(unreadable, 0);
}

TEST_F(Runner, MissingOrGarbageStatusIsReportedAndGivesOne) {
    for (const char* text : {static_cast<const char*>(nullptr), "", "abc", "-", "+ 5", "  \n", "x0"}) {
        install(text);
        unreadable = 0;
        EXPECT_EQ(RunScaleCommand("twswtcp F74 1.2.3.4", onUnreadable), 1) << (text ? text : "no file");
        EXPECT_EQ(unreadable, 1) << (text ? text : "no file");
    }
    // Without a callback the result is the same.
    install(nullptr);
    EXPECT_EQ(RunScaleCommand("twswtcp F74 1.2.3.4"), 1);
}

TEST_F(Runner, AStatusLeftByAnEarlierCommandIsNeverReadAgain) {
    writeFile("error", "0");
    install(nullptr);
    EXPECT_EQ(RunScaleCommand("twswtcp F74 1.2.3.4", onUnreadable), 1);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_FALSE(calls[0].staleStatusSeen);
    EXPECT_EQ(unreadable, 1);
}

TEST_F(Runner, WithoutALibraryNothingIsCalled) {
    ScaleLibrary::setEntryPoint({});
    EXPECT_FALSE(ScaleLibrary::isBound());
    writeFile("error", "0");
    EXPECT_NE(RunScaleCommand("twswtcp F74 1.2.3.4", onUnreadable), 0);
    EXPECT_EQ(unreadable, 0);
}

// The binding tests load small libraries built for them (fake_*.cpp).
#ifdef _WIN32
constexpr const char* kLibraryFile = "TWSWTCP.DLL";
#else
constexpr const char* kLibraryFile = "libtwswtcp.so";
#endif

fs::path runningProgram() {
#ifdef _WIN32
    wchar_t buffer[4096];
    const DWORD n = GetModuleFileNameW(nullptr, buffer, 4096);
    return fs::path(std::wstring(buffer, n));
#else
    return fs::read_symlink("/proc/self/exe");
#endif
}

TEST_F(Runner, LibraryThatCannotBeBoundIsNamedWithTheLoadersReason) {
    const std::string missing = (dir / kLibraryFile).string();
    LibraryBinding binding = ScaleLibrary::bindFile(missing);
    EXPECT_FALSE(binding.ok);
    EXPECT_EQ(binding.libraryPath, missing);
    EXPECT_FALSE(binding.reason.empty());
    EXPECT_NE(binding.message().find(missing), std::string::npos);
    EXPECT_NE(binding.message().find(binding.reason), std::string::npos);
    EXPECT_FALSE(ScaleLibrary::isBound());

    writeFile(missing, "not a shared library");
    binding = ScaleLibrary::bindFile(missing);
    EXPECT_FALSE(binding.ok);
    // The system's texts hold inserts ("Bad EXE format for %1."): none is left.
    EXPECT_EQ(binding.reason.find('%'), std::string::npos) << binding.reason;

#ifdef FAKE_NOENTRY_LIBRARY  // not in the static 32-bit Linux build
    binding = ScaleLibrary::bindFile(FAKE_NOENTRY_LIBRARY);
    EXPECT_FALSE(binding.ok);
#ifdef _WIN32
    EXPECT_EQ(binding.reason, kNoOrdinal2Text);
#else
    EXPECT_NE(binding.reason.find("twswtcp_entry"), std::string::npos) << binding.reason;
#endif
    EXPECT_FALSE(ScaleLibrary::isBound());
#endif
}

#ifdef FAKE_ENTRY_LIBRARY
TEST_F(Runner, BoundLibraryIsCalledThroughItsEntryPoint) {
    const LibraryBinding binding = ScaleLibrary::bindFile(FAKE_ENTRY_LIBRARY);
    ASSERT_TRUE(binding.ok) << binding.message();
    EXPECT_TRUE(ScaleLibrary::isBound());
    EXPECT_EQ(RunScaleCommand("twswtcp F34 10.1.1.20", onUnreadable), 0);
    EXPECT_EQ(readFile("argv.txt"), "3|twswtcp|F34|10.1.1.20");
}
#endif

TEST_F(Runner, TheLibraryIsLookedForBesideTheProgram) {
    const LibraryBinding binding = ScaleLibrary::bindBesideExecutable();
    EXPECT_EQ(fs::path(binding.libraryPath), runningProgram().parent_path() / ScaleLibrary::libraryFileName());
}

#ifdef _WIN32
TEST_F(Runner, AnEntryExportedOnlyByNameIsRefused) {
    const LibraryBinding binding = ScaleLibrary::bindFile(FAKE_BYNAME_LIBRARY);
    EXPECT_FALSE(binding.ok);
    EXPECT_EQ(binding.reason, kNoOrdinal2Text);
    EXPECT_FALSE(ScaleLibrary::isBound());
    EXPECT_EQ(peMachine(FAKE_BYNAME_LIBRARY), sizeof(void*) == 8 ? kPeMachineX64 : kPeMachineX86);
}
#endif

#ifdef FAKE_ENTRY32_LIBRARY
TEST_F(Runner, ALibraryOfTheOtherBitnessNamesTheBuildThatFitsIt) {
    const LibraryBinding binding = ScaleLibrary::bindFile(FAKE_ENTRY32_LIBRARY);
    EXPECT_FALSE(binding.ok);
    EXPECT_EQ(binding.reason, bitnessMismatchText(kPeMachineX86, 64));
    EXPECT_NE(binding.reason.find("zalohy-" ZALOHY_VERSION "-win32.zip"), std::string::npos);
    EXPECT_FALSE(ScaleLibrary::isBound());
}
#endif

#if defined(__i386__)
// Entry points as other compilers build them; each returns its status only
// when it received the command's three words.
bool isTheCommand(int argc, char** argv) {
    return argc == 3 && std::string(argv[0]) == "twswtcp" && std::string(argv[1]) == "F74" &&
           std::string(argv[2]) == "127.0.0.2";
}
extern "C" __attribute__((cdecl, noinline)) int cdeclEntry(int argc, char** argv) { return isTheCommand(argc, argv) ? 11 : -1; }
extern "C" __attribute__((stdcall, noinline)) int stdcallEntry(int argc, char** argv) { return isTheCommand(argc, argv) ? 12 : -1; }
extern "C" __attribute__((regparm(2), noinline)) int registerEntry(int argc, char** argv) { return isTheCommand(argc, argv) ? 13 : -1; }

struct Convention {
    const char* name;
    RawScaleEntry entry;
    int status;
};
void PrintTo(const Convention& convention, std::ostream* os) { *os << convention.name; }
class EntryConvention : public ::testing::TestWithParam<Convention> {};

// Many calls in a row: a stack pointer left moved by a call would soon corrupt
// the caller's own values.
TEST_P(EntryConvention, ReceivesTheArgumentsAndLeavesTheStackAsItWas) {
    char w0[] = "twswtcp", w1[] = "F74", w2[] = "127.0.0.2";
    char* argv[3] = {w0, w1, w2};
    for (int i = 0; i < 200; ++i) ASSERT_EQ(callScaleEntry(GetParam().entry, 3, argv), GetParam().status) << i;
}

INSTANTIATE_TEST_SUITE_P(X86, EntryConvention, ::testing::Values(
    Convention{"cdecl", cdeclEntry, 11},
    Convention{"stdcall", reinterpret_cast<RawScaleEntry>(reinterpret_cast<void*>(stdcallEntry)), 12},
    Convention{"register", reinterpret_cast<RawScaleEntry>(reinterpret_cast<void*>(registerEntry)), 13}),
    [](const ::testing::TestParamInfo<Convention>& info) { return std::string(info.param.name); });
#endif

#if defined(FAKE_CDECL_LIBRARY) && defined(FAKE_STDCALL_LIBRARY) && defined(FAKE_REGISTER_LIBRARY)
// The 32-bit Windows build with real libraries of each convention: one that
// pops its arguments itself and one that reads them only from EAX and EDX
// must leave the program's stack as it was, 50 calls in one run. Canaries
// lie on both sides of the call's frame, and the stack pointer is compared.
struct PeConvention {
    const char* name;
    const char* library;
};
void PrintTo(const PeConvention& convention, std::ostream* os) { *os << convention.name; }
class PeEntryConvention : public InTempDir, public ::testing::WithParamInterface<PeConvention> {};

__attribute__((noinline)) std::uintptr_t stackPointer() {
    std::uintptr_t sp;
    asm volatile("movl %%esp, %0" : "=r"(sp));
    return sp;
}

TEST_P(PeEntryConvention, FiftyCallsReachTheEntryAndLeaveTheStackAsItWas) {
    const LibraryBinding binding = ScaleLibrary::bindFile(GetParam().library);
    ASSERT_TRUE(binding.ok) << binding.message();
    volatile std::uint32_t below[4] = {0xC0DEC0DE, 0x5A5A5A5A, 0xDEADBEEF, 0x12345678};
    const std::uintptr_t before = stackPointer();
    for (int i = 0; i < 50; ++i) {
        volatile std::uint32_t above[2] = {0xFEEDFACE, static_cast<std::uint32_t>(i)};
        ASSERT_EQ(RunScaleCommand("twswtcp F" + std::to_string(10 + i) + " 127.0.0.2"), 0) << i;
        ASSERT_EQ(above[0], 0xFEEDFACE) << i;
        ASSERT_EQ(above[1], static_cast<std::uint32_t>(i)) << i;
        ASSERT_EQ(stackPointer(), before) << i;
    }
    EXPECT_EQ(below[0], 0xC0DEC0DE);
    EXPECT_EQ(below[1], 0x5A5A5A5Au);
    EXPECT_EQ(below[2], 0xDEADBEEF);
    EXPECT_EQ(below[3], 0x12345678u);
    // Every call arrived with its own three words.
    std::string expected;
    for (int i = 0; i < 50; ++i) expected += "3|twswtcp|F" + std::to_string(10 + i) + "|127.0.0.2\n";
    EXPECT_EQ(readFile("argv.txt"), expected);
    // Words the entry does not take as a command get its own status back.
    EXPECT_EQ(RunScaleCommand("twswtcp F74 no-address"), 98);

    // The entry called straight from here: no frame of the runner's lies in
    // between to put a moved stack pointer back unnoticed.
    HMODULE module = LoadLibraryA(GetParam().library);
    ASSERT_NE(module, nullptr);
    const auto entry = reinterpret_cast<RawScaleEntry>(reinterpret_cast<void*>(GetProcAddress(module, MAKEINTRESOURCEA(2))));
    ASSERT_NE(entry, nullptr);
    char w0[] = "twswtcp", w1[] = "T34", w2[] = "127.0.0.3";
    char* argv[3] = {w0, w1, w2};
    const std::uintptr_t direct = stackPointer();
    for (int i = 0; i < 50; ++i) {
        ASSERT_EQ(callScaleEntry(entry, 3, argv), 0) << i;
        ASSERT_EQ(stackPointer(), direct) << i;
    }
    FreeLibrary(module);
}

INSTANTIATE_TEST_SUITE_P(Pe32, PeEntryConvention, ::testing::Values(
    PeConvention{"cdecl", FAKE_CDECL_LIBRARY},
    PeConvention{"stdcall", FAKE_STDCALL_LIBRARY},
    PeConvention{"register", FAKE_REGISTER_LIBRARY}),
    [](const ::testing::TestParamInfo<PeConvention>& info) { return std::string(info.param.name); });
#endif

// A PE image's machine sits after the "PE\0\0" that the DOS header points at.
TEST_F(Runner, TheMachineOfALibraryIsReadFromItsHeaderAndDecidesTheAdvice) {
    auto image = [](std::uint32_t peOffset, const std::string& afterOffset) {
        std::string bytes = "MZ" + std::string(58, '\0') + le32(peOffset);
        bytes.resize(peOffset, '\0');
        return bytes + afterOffset;
    };
    const std::vector<std::pair<std::string, unsigned>> cases = {
        {image(0x80, std::string("PE\0\0\x4c\x01", 6) + std::string(20, '\0')), kPeMachineX86},
        {image(0x40, std::string("PE\0\0\x64\x86", 6)), kPeMachineX64},
        {image(0x80, std::string("PE\0\0\x64", 5)), 0},       // cut inside the machine
        {image(0x80, std::string("PX\0\0\x4c\x01", 6)), 0},  // no signature
        {"MZ" + std::string(58, '\0') + le32(0x7FFFFFF0), 0},  // points past the end
        {"\x7f" "ELF" + std::string(60, '\0'), 0},
        {"MZ", 0},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        writeFile("image.dll", cases[i].first);
        EXPECT_EQ(peMachine("image.dll"), cases[i].second) << i;
    }
    EXPECT_EQ(peMachine("missing.dll"), 0u);

    EXPECT_NE(bitnessMismatchText(kPeMachineX86, 64).find("zalohy-" ZALOHY_VERSION "-win32.zip"), std::string::npos);
    EXPECT_NE(bitnessMismatchText(kPeMachineX64, 32).find("zalohy-" ZALOHY_VERSION "-win64.zip"), std::string::npos);
    for (const auto& [machine, bits] : std::vector<std::pair<unsigned, int>>{
             {kPeMachineX86, 32}, {kPeMachineX64, 64}, {0, 64}, {0, 32}, {0xAA64, 64}})
        EXPECT_EQ(bitnessMismatchText(machine, bits), "") << machine << " " << bits;
}

}  // namespace
