#include "ScaleCommand.h"
#include "TestSupport.h"

#include <cstring>
#include <vector>

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

#ifndef _WIN32
TEST_F(Runner, LibraryThatCannotBeBoundIsNamedWithTheLoadersReason) {
    const std::string missing = (dir / "libtwswtcp.so").string();
    LibraryBinding binding = ScaleLibrary::bindFile(missing);
    EXPECT_FALSE(binding.ok);
    EXPECT_EQ(binding.libraryPath, missing);
    EXPECT_FALSE(binding.reason.empty());
    EXPECT_NE(binding.message().find(missing), std::string::npos);
    EXPECT_NE(binding.message().find(binding.reason), std::string::npos);
    EXPECT_FALSE(ScaleLibrary::isBound());

    writeFile(missing, "not a shared library");
    EXPECT_FALSE(ScaleLibrary::bindFile(missing).ok);

    binding = ScaleLibrary::bindFile(FAKE_NOENTRY_LIBRARY);
    EXPECT_FALSE(binding.ok);
    EXPECT_NE(binding.reason.find("twswtcp_entry"), std::string::npos) << binding.reason;
    EXPECT_FALSE(ScaleLibrary::isBound());
}

TEST_F(Runner, BoundLibraryIsCalledThroughItsEntryPoint) {
    const LibraryBinding binding = ScaleLibrary::bindFile(FAKE_ENTRY_LIBRARY);
    ASSERT_TRUE(binding.ok) << binding.message();
    EXPECT_TRUE(ScaleLibrary::isBound());
    EXPECT_EQ(RunScaleCommand("twswtcp F34 10.1.1.20", onUnreadable), 0);
    EXPECT_EQ(readFile("argv.txt"), "3|twswtcp|F34|10.1.1.20");
}

TEST_F(Runner, TheLibraryIsLookedForBesideTheProgram) {
    const LibraryBinding binding = ScaleLibrary::bindBesideExecutable();
    EXPECT_EQ(fs::path(binding.libraryPath),
              fs::read_symlink("/proc/self/exe").parent_path() / ScaleLibrary::libraryFileName());
}
#endif

}  // namespace
