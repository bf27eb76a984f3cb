#include "TrimDownloadedFile.h"
#include "TestSupport.h"

#include <vector>

using namespace zalohy;
using namespace testsupport;

namespace {

using TrimLines = testsupport::TrimLines;

class Trim : public InTempDir {
protected:
    TrimLines report;
};

TEST_F(Trim, DropsAFinalEAndTwoEachTestedByItself) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"ABCE2", "ABC"}, {"ABCX2", "ABCX"}, {"ABCEX", "ABCX"}, {"ABC2E", "ABC2E"},
        {"E2", ""},       {"AB", "AB"},      {"E", ""},         {"2", "2"},
        {"E2E2E2", "E2E2"},  // markers inside the data stay
        {std::string("\0\xff" "E2\0E2", 7), std::string("\0\xff" "E2\0", 5)},
    };
    for (const auto& [before, after] : cases) {
        TrimLines r;
        writeFile("SM1.2.3.4T74.dat", before);
        EXPECT_EQ(trim("SM1.2.3.4T74.dat", r), 0) << before;
        EXPECT_EQ(readFile("SM1.2.3.4T74.dat"), after) << before;
        EXPECT_EQ(r.lines, std::vector<std::string>{"K_E2 Input file:SM1.2.3.4T74.dat"});
        EXPECT_FALSE(r.failed);
        EXPECT_EQ(dir.entries(), std::set<std::string>{"SM1.2.3.4T74.dat"});
    }
}

TEST_F(Trim, LargeFileIsCopiedUnchangedUpToItsMarker) {
    const std::string data = randomBytes((2 << 20) + 11, 4);
    writeFile("big.dat", data + "E2");
    EXPECT_EQ(trim("big.dat", report), 0);
    EXPECT_EQ(readFile("big.dat"), data);
}

TEST_F(Trim, NameIsReportedAsTheDirectoryEntryGivesIt) {
    fs::create_directory("sub");
    writeFile("sub/SMxT78.dat", "dataE2");
    EXPECT_EQ(trim("sub/SMxT78.dat", report), 0);
    EXPECT_EQ(report.lines, std::vector<std::string>{"K_E2 Input file:SMxT78.dat"});
    EXPECT_EQ(readFile("sub/SMxT78.dat"), "data");
}

TEST_F(Trim, EmptyFileIsLeftAndReported) {
    writeFile("empty.dat", "");
    EXPECT_EQ(trim("empty.dat", report), 1);
    EXPECT_EQ(report.lines,
              (std::vector<std::string>{"K_E2 Input file:empty.dat", " Input file is empty ?? please check file"}));
    EXPECT_TRUE(report.failed);
    EXPECT_EQ(dir.entries(), std::set<std::string>{"empty.dat"});
}

TEST_F(Trim, MissingFileOrFolderIsReportedWithoutInputLine) {
    EXPECT_EQ(trim("missing.dat", report), 1);
    fs::create_directory("folder.dat");
    EXPECT_EQ(trim("folder.dat", report), 1);
    EXPECT_EQ(report.lines, (std::vector<std::string>{"Error opening file missing.dat", "Error opening file folder.dat"}));
    EXPECT_TRUE(report.failed);
    EXPECT_FALSE(exists("temp.dat"));
}

// The trimming works in place: a scratch file of any state is neither made,
// nor used, nor removed.
TEST_F(Trim, ScratchFileIsNeitherMadeNorTouched) {
    writeFile("temp.dat", "old scratch content, longer than the file");
    makeReadOnly("temp.dat");
    writeFile("f.dat", "xyE2");
    writeFile("g.dat", "xyEz");
    EXPECT_EQ(trim("f.dat", report), 0);
    EXPECT_EQ(trim("g.dat", report), 0);
    EXPECT_EQ(readFile("f.dat"), "xy");
    EXPECT_EQ(readFile("g.dat"), "xyz");
    EXPECT_FALSE(report.failed);
    EXPECT_EQ(readFile("temp.dat"), "old scratch content, longer than the file");
    EXPECT_EQ(dir.entries(), (std::set<std::string>{"f.dat", "g.dat", "temp.dat"}));
}

TEST_F(Trim, FileThatMayNotBeWrittenIsLeftAndReportedAsBefore) {
    for (const std::string content : {"dataE2", "dataEx"}) {
        TrimLines r;
        const std::string name = content + ".dat";
        writeFile(name, content);
        makeReadOnly(name);
        EXPECT_EQ(trim(name, r), 0);
        EXPECT_EQ(r.lines, (std::vector<std::string>{"K_E2 Input file:" + name, "Chyba pri prejmenovani souboru " + name}));
        EXPECT_TRUE(r.failed);
        EXPECT_EQ(readFile(name), content);
    }
    EXPECT_EQ(dir.entries(), (std::set<std::string>{"dataE2.dat", "dataEx.dat"}));
}

}  // namespace
