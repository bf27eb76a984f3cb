// The reading of the list of scales, without any window.
#include "ScaleList.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

using namespace zalohy;

namespace {

struct Read {
    std::vector<std::string> addresses;
    bool reachedEndOfFile;
};

Read read(std::string_view text) {
    const ScaleList list = parseScaleList(text);
    Read out{{}, list.reachedEndOfFile};
    for (const ScaleListEntry& entry : list.entries) out.addresses.push_back(entry.address);
    return out;
}

using Addresses = std::vector<std::string>;

TEST(ScaleList, emptyText_noEntriesAndTheEndOfTheFileReached) {
    const Read r = read("");
    EXPECT_TRUE(r.addresses.empty());
    EXPECT_TRUE(r.reachedEndOfFile);
}

TEST(ScaleList, oneAddressPerLine_firstWordOnlySoANoteIsIgnored) {
    const Read r = read("192.168.5.2\n  \t192.168.5.3\tpokladna 2\n192.168.5.4 sklad\n");
    EXPECT_EQ(r.addresses, (Addresses{"192.168.5.2", "192.168.5.3", "192.168.5.4"}));
    EXPECT_TRUE(r.reachedEndOfFile);
}

TEST(ScaleList, lineShorterThanFiveWithItsBreak_endsTheList) {
    Read r = read("192.168.5.2\n\n192.168.5.3\n");
    EXPECT_EQ(r.addresses, Addresses{"192.168.5.2"});
    EXPECT_FALSE(r.reachedEndOfFile);

    r = read("192.168.5.2\n123\n192.168.5.3\n");
    EXPECT_EQ(r.addresses, Addresses{"192.168.5.2"});
    EXPECT_FALSE(r.reachedEndOfFile);

    // Five characters with the line break are an entry.
    r = read("1234\n192.168.5.3\n");
    EXPECT_EQ(r.addresses, (Addresses{"1234", "192.168.5.3"}));
    EXPECT_TRUE(r.reachedEndOfFile);
}

TEST(ScaleList, lastLineWithoutLineBreak_isAnEntryFromFiveCharacters) {
    EXPECT_EQ(read("192.168.5.2\n192.168.5.3").addresses, (Addresses{"192.168.5.2", "192.168.5.3"}));
    EXPECT_EQ(read("192.168.5.2\n12345").addresses, (Addresses{"192.168.5.2", "12345"}));
    const Read r = read("192.168.5.2\n1234");
    EXPECT_EQ(r.addresses, Addresses{"192.168.5.2"});
    EXPECT_FALSE(r.reachedEndOfFile);
}

// A line longer than a piece goes on as the next line: its rest is an entry
// when it has five characters with the line break, and ends the list otherwise.
class LongLine : public ::testing::TestWithParam<int> {};

TEST_P(LongLine, isReadInPiecesOf39) {
    const int length = GetParam();
    std::string line = "192.168.5.2 pokladna";
    while (static_cast<int>(line.size()) < length) line.push_back(static_cast<char>('a' + line.size() % 26));
    const std::string rest = length > 39 ? line.substr(39) : "";

    const ScaleList list = parseScaleList(line + "\n192.168.5.9\n");
    Addresses expected{"192.168.5.2"};
    if (length <= 38) expected.push_back("192.168.5.9");
    else if (rest.size() + 1 >= 5) expected.insert(expected.end(), {rest, "192.168.5.9"});
    Addresses got;
    for (const ScaleListEntry& entry : list.entries) got.push_back(entry.address);
    EXPECT_EQ(got, expected);
    EXPECT_EQ(list.reachedEndOfFile, length <= 38 || length >= 43);
    // The rest of a long line still counts as the same line of the file.
    if (length >= 43) {
        EXPECT_EQ(list.entries[1].line, 1);
    }
    const bool listEndsInTheLongLine = length > 38 && length < 43;
    EXPECT_EQ(list.entries.back().line, listEndsInTheLongLine ? 1 : 2);
}

INSTANTIATE_TEST_SUITE_P(Lengths, LongLine, ::testing::Range(38, 46));

TEST(ScaleList, crLfLineEnds_readAsOneLineBreak) {
    Read r = read("192.168.5.2\r\n192.168.5.3 note\r\n");
    EXPECT_EQ(r.addresses, (Addresses{"192.168.5.2", "192.168.5.3"}));
    EXPECT_TRUE(r.reachedEndOfFile);

    // "123" with CR LF is four characters: the list ends.
    r = read("192.168.5.2\r\n123\r\n192.168.5.3\r\n");
    EXPECT_EQ(r.addresses, Addresses{"192.168.5.2"});
    EXPECT_FALSE(r.reachedEndOfFile);

    // 38 characters and CR LF still fit one piece.
    const std::string line = "192.168.5.2 " + std::string(26, 'x');
    r = read(line + "\r\n192.168.5.3\r\n");
    EXPECT_EQ(r.addresses, (Addresses{"192.168.5.2", "192.168.5.3"}));

    // A CR of its own stays a character, and white space.
    EXPECT_EQ(read("192.168.5.2\rnote\n").addresses, Addresses{"192.168.5.2"});
}

TEST(ScaleList, ctrlZ_endsTheText) {
    const Read r = read("192.168.5.2\r\n\x1A" "192.168.5.3\r\n");
    EXPECT_EQ(r.addresses, Addresses{"192.168.5.2"});
    EXPECT_TRUE(r.reachedEndOfFile);
}

TEST(ScaleList, unusableEntries_carryTheirProblemAndLineAndTheListGoesOn) {
    const std::string tooLong(38, '1');
    const ScaleList list = parseScaleList("     \n\t \t \t\n192.168.5.2/x\n..\\scale\n192.168.\x01.2\n" + tooLong +
                                          "\n" + std::string(37, '7') + "\n192.168.5.3\n");
    const std::vector<std::pair<std::string, AddressProblem>> expected{
        {"", AddressProblem::Empty},
        {"", AddressProblem::Empty},
        {"192.168.5.2/x", AddressProblem::PathSeparator},
        {"..\\scale", AddressProblem::PathSeparator},
        {"192.168.\x01.2", AddressProblem::ControlCharacter},
        {tooLong, AddressProblem::TooLong},
        {std::string(37, '7'), AddressProblem::None},
        {"192.168.5.3", AddressProblem::None},
    };
    ASSERT_EQ(list.entries.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(list.entries[i].address, expected[i].first) << i;
        EXPECT_EQ(list.entries[i].problem, expected[i].second) << i;
        EXPECT_EQ(list.entries[i].line, static_cast<int>(i) + 1);
    }
    EXPECT_TRUE(list.reachedEndOfFile);
}

// A long list read from a file a buffer at a time: CR LF pairs and entries
// that straddle the buffers' ends read as the text in memory does.
TEST(ScaleList, longFileReadInPieces_givesWhatItsTextGives) {
    std::string text = "\xEF\xBB\xBF";
    for (int i = 0; i < 300; ++i)
        text += "127.0." + std::to_string(i / 250) + "." + std::to_string(i % 250) + (i % 3 ? " pokladna\r\n" : "\r\n");
    const auto file = std::filesystem::temp_directory_path() / ("zalohy-long-list-" + std::to_string(::getpid()));
    std::ofstream(file, std::ios::binary) << text << "\r\n192.168.5.9\r\n";
    const std::optional<ScaleList> fromFile = readScaleList(file.string());
    std::filesystem::remove(file);
    ASSERT_TRUE(fromFile);
    const ScaleList inMemory = parseScaleList(text);
    ASSERT_EQ(fromFile->entries.size(), 300u);
    ASSERT_EQ(inMemory.entries.size(), 300u);
    for (std::size_t i = 0; i < 300; ++i) {
        EXPECT_EQ(fromFile->entries[i].address, inMemory.entries[i].address);
        EXPECT_EQ(fromFile->entries[i].line, static_cast<int>(i) + 1);
    }
    EXPECT_EQ(fromFile->entries.back().address, "127.0.1.49");
    EXPECT_FALSE(fromFile->reachedEndOfFile);  // the blank line ended it
}

TEST(ScaleList, fileOnDisk_readAsItsBytesOrNothingWhenItCannotBeRead) {
    const auto dir = std::filesystem::temp_directory_path() / ("zalohy-scale-list-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const auto file = dir / "seznam.lst";
    std::ofstream(file, std::ios::binary) << "127.0.0.2\r\n127.0.0.3 note";

    const std::optional<ScaleList> list = readScaleList(file.string());
    ASSERT_TRUE(list);
    ASSERT_EQ(list->entries.size(), 2u);
    EXPECT_EQ(list->entries[1].address, "127.0.0.3");

    EXPECT_FALSE(readScaleList((dir / "missing.lst").string()));
    EXPECT_FALSE(readScaleList(dir.string()));  // a folder cannot be read
    std::filesystem::remove_all(dir);
}

}  // namespace
