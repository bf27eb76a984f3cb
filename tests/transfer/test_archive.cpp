#include "BackupArchive.h"
#include "DataKind.h"
#include "TestSupport.h"

#include <algorithm>
#include <climits>
#include <map>
#include <random>
#include <vector>

#ifndef _WIN32
#include <csignal>
#include <sys/resource.h>
#endif

using namespace zalohy;
using namespace testsupport;

namespace {

using Slot = std::array<std::int64_t, 3>;

// Records the container's messages.
struct Messages : Report {
    std::vector<std::pair<std::string, std::string>> shown;
    void message(const std::string& text, const std::string& caption) override { shown.emplace_back(text, caption); }
    void line(const std::string&) override {}
    Report* sink() { return this; }
};

class Archive : public InTempDir {
protected:
    Messages messages;
    const std::string formats = randomBytes(300, 1);
    const std::string texts = randomBytes(40, 2);

    // The example archive: a 300-byte formats member, then a 40-byte texts member.
    std::string makeExample(const std::string& name = "a.zal") {
        writeFile("f.dat", formats);
        writeFile("t.dat", texts);
        BackupArchive archive(name);
        EXPECT_EQ(archive.AppendMember(34, "f.dat"), BackupArchive::kAppended);
        EXPECT_EQ(archive.AppendMember(38, "t.dat"), BackupArchive::kAppended);
        return readFile(name);
    }
    std::string example() { return archiveHeader({{34, 128, 427}, {38, 428, 467}}) + formats + texts; }
};

TEST_F(Archive, ExampleLayoutIsByteExact) {
    const std::string bytes = makeExample();
    ASSERT_EQ(bytes.size(), 468u);
    EXPECT_EQ(bytes, example());

    BackupArchive reader("a.zal", messages.sink());
    std::array<std::int32_t, 10> ids{};
    ASSERT_TRUE(reader.ReadDirectory(ids));
    EXPECT_EQ(ids, (std::array<std::int32_t, 10>{34, 38, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(Archive, EveryKindGoesToItsFixedSlotWhateverTheOrderOfAppending) {
    BackupArchive archive("all.zal");
    std::int64_t offset = 128;
    std::vector<Slot> expected(10, Slot{0, 0, 0});
    std::string members;
    const std::map<int, std::size_t> slotOf{{34, 0}, {38, 1}, {41, 2}, {52, 3}, {25, 4}, {67, 5}};
    for (const DataKind& kind : kDataKinds) {  // table order, not slot order
        const std::string data = randomBytes(static_cast<std::size_t>(kind.id) * 3, static_cast<unsigned>(kind.id));
        writeFile("m.dat", data);
        ASSERT_EQ(archive.AppendMember(kind.id, "m.dat"), BackupArchive::kAppended) << kind.name;
        expected[slotOf.at(kind.id)] = {kind.id, offset, offset + static_cast<std::int64_t>(data.size()) - 1};
        offset += static_cast<std::int64_t>(data.size());
        members += data;
    }
    EXPECT_EQ(readFile("all.zal"), archiveHeader(expected) + members);

    std::array<std::int32_t, 10> ids{};
    ASSERT_TRUE(BackupArchive("all.zal").ReadDirectory(ids));
    EXPECT_EQ(ids, (std::array<std::int32_t, 10>{34, 38, 41, 52, 25, 67, 0, 0, 0, 0}));
    // Members are found through their slots, not their position in the file.
    for (const DataKind& kind : kDataKinds) {
        ASSERT_EQ(archive.ExtractMember(kind.id, "out.dat"), BackupArchive::kExtracted);
        EXPECT_EQ(readFile("out.dat"), randomBytes(static_cast<std::size_t>(kind.id) * 3, static_cast<unsigned>(kind.id)));
    }
}

TEST_F(Archive, ReadDirectoryReportsOnlyStoredKinds) {
    writeFile("d.dat", "x");
    BackupArchive archive("p.zal");
    archive.AppendMember(34, "d.dat");
    archive.AppendMember(25, "d.dat");
    std::array<std::int32_t, 10> ids{};
    ASSERT_TRUE(BackupArchive("p.zal").ReadDirectory(ids));
    EXPECT_EQ(ids, (std::array<std::int32_t, 10>{34, 0, 0, 0, 25, 0, 0, 0, 0, 0}));
}

TEST_F(Archive, ReadDirectoryOfMissingArchiveShowsMessageAndWritesNoIds) {
    BackupArchive archive("sub dir/missing.zal", messages.sink());
    std::array<std::int32_t, 10> ids;
    ids.fill(77);
    EXPECT_FALSE(archive.ReadDirectory(ids));
    for (const std::int32_t id : ids) EXPECT_EQ(id, 77);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].first, "Nepodarilo se otevrit archivni soubor");
    EXPECT_EQ(messages.shown[0].second, "sub dir/missing.zal");
    EXPECT_FALSE(archive.lastError().empty());
}

TEST_F(Archive, MessagesWithoutSinkAreDropped) {
    BackupArchive archive("missing.zal");
    std::array<std::int32_t, 10> ids{};
    EXPECT_FALSE(archive.ReadDirectory(ids));
    EXPECT_EQ(archive.ExtractMember(34, "out"), BackupArchive::kCannotOpen);
}

// --- AppendMember ----------------------------------------------------------

TEST_F(Archive, FirstAppendCreatesHeaderAndEmptyMemberStartsAtCurrentEnd) {
    writeFile("empty.dat", "");
    BackupArchive archive("e.zal");
    ASSERT_EQ(archive.AppendMember(41, "empty.dat"), BackupArchive::kAppended);
    EXPECT_EQ(readFile("e.zal"), archiveHeader({{0, 0, 0}, {0, 0, 0}, {41, 128, 127}}));
    ASSERT_EQ(archive.ExtractMember(41, "out.dat"), BackupArchive::kExtracted);
    EXPECT_TRUE(exists("out.dat"));
    EXPECT_EQ(readFile("out.dat"), "");
}

TEST_F(Archive, AlreadyStoredIdReturnsMinusOneWithoutReadingDataOrTouchingArchive) {
    const std::string before = makeExample();
    BackupArchive archive("a.zal");
    // The data file does not even exist: it must not be needed.
    EXPECT_EQ(archive.AppendMember(34, "no-such-file.dat"), BackupArchive::kAlreadyStored);
    EXPECT_EQ(readFile("a.zal"), before);
}

TEST_F(Archive, UnknownIdReturnsZeroAndOnlyCreatesAMissingArchive) {
    writeFile("d.dat", "data");
    BackupArchive fresh("new.zal");
    EXPECT_EQ(fresh.AppendMember(99, "d.dat"), BackupArchive::kUnknownId);
    EXPECT_EQ(readFile("new.zal"), archiveHeader({}));
    EXPECT_EQ(fresh.AppendMember(0, "d.dat"), BackupArchive::kUnknownId);
    EXPECT_EQ(readFile("new.zal"), archiveHeader({}));

    const std::string before = makeExample();
    EXPECT_EQ(BackupArchive("a.zal").AppendMember(-34, "d.dat"), BackupArchive::kUnknownId);
    EXPECT_EQ(readFile("a.zal"), before);
}

TEST_F(Archive, AppendKeepsWordsAndPlacesMemberAfterTheLastByteOfTheFile) {
    // Foreign words and trailing bytes that belong to no member.
    writeFile("w.zal", archiveHeader({{34, 128, 129}}, 7, -9) + "ab" + "junk");
    writeFile("t.dat", "TEXT");
    ASSERT_EQ(BackupArchive("w.zal").AppendMember(38, "t.dat"), BackupArchive::kAppended);
    EXPECT_EQ(readFile("w.zal"), archiveHeader({{34, 128, 129}, {38, 134, 137}}, 7, -9) + "abjunkTEXT");
}

TEST_F(Archive, CreatingAnArchiveAgainWritesAFreshHeaderNotAStaleCopy) {
    makeExample();
    BackupArchive archive("a.zal");
    std::array<std::int32_t, 10> ids{};
    ASSERT_TRUE(archive.ReadDirectory(ids));
    fs::remove("a.zal");
    writeFile("p.dat", "PLU");
    ASSERT_EQ(archive.AppendMember(25, "p.dat"), BackupArchive::kAppended);
    EXPECT_EQ(readFile("a.zal"), archiveHeader({{0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {25, 128, 130}}) + "PLU");
}

TEST_F(Archive, FailedAppendReturnsMinusThreeAndLeavesArchiveAsItWas) {
    const std::string before = makeExample();
    writeFile("d.dat", "data");
    // Data file missing: neither the existing archive nor a new one is changed.
    EXPECT_EQ(BackupArchive("a.zal").AppendMember(41, "missing.dat"), BackupArchive::kAppendFailed);
    EXPECT_EQ(readFile("a.zal"), before);
    EXPECT_EQ(BackupArchive("new.zal").AppendMember(41, "missing.dat"), BackupArchive::kAppendFailed);
    EXPECT_FALSE(exists("new.zal"));
    // An archive that can be neither opened nor created.
    EXPECT_EQ(BackupArchive("no/such/folder/x.zal").AppendMember(41, "d.dat"), BackupArchive::kAppendFailed);
    EXPECT_EQ(BackupArchive(dir.path().string()).AppendMember(41, "d.dat"), BackupArchive::kAppendFailed);
    // Read-only by its permission bits, even for a process that could write it.
    makeReadOnly("a.zal");
    BackupArchive readOnly("a.zal");
    EXPECT_EQ(readOnly.AppendMember(41, "d.dat"), BackupArchive::kAppendFailed);
    EXPECT_EQ(readOnly.AppendMember(99, "d.dat"), BackupArchive::kAppendFailed);
    EXPECT_FALSE(readOnly.lastError().empty());
    EXPECT_EQ(readFile("a.zal"), before);
    EXPECT_EQ(dir.entries(), (std::set<std::string>{"a.zal", "d.dat", "f.dat", "t.dat"}));
}

TEST_F(Archive, AppendRefusesAnArchiveLargerThanThirtyTwoBitOffsets) {
    // Sparse files: the sizes are real, the disk holds almost nothing.
    makeExample();
    const std::string before = readFile("a.zal");
    writeFile("big.dat", "");
    fs::resize_file("big.dat", static_cast<std::uintmax_t>(kMaxArchiveSize) - 467);
    EXPECT_EQ(BackupArchive("a.zal").AppendMember(41, "big.dat"), BackupArchive::kAppendFailed);
    EXPECT_EQ(readFile("a.zal"), before);

    // An archive already at the limit takes an empty member but not one byte more.
    writeFile("near.zal", archiveHeader({}));
    fs::resize_file("near.zal", static_cast<std::uintmax_t>(kMaxArchiveSize));
    writeFile("one.dat", "1");
    writeFile("empty.dat", "");
    EXPECT_EQ(BackupArchive("near.zal").AppendMember(34, "one.dat"), BackupArchive::kAppendFailed);
    EXPECT_EQ(fs::file_size("near.zal"), static_cast<std::uintmax_t>(kMaxArchiveSize));
    ASSERT_EQ(BackupArchive("near.zal").AppendMember(34, "empty.dat"), BackupArchive::kAppended);
    BackupArchive check("near.zal");
    std::array<std::int32_t, 10> ids{};
    ASSERT_TRUE(check.ReadDirectory(ids));
    EXPECT_EQ(check.header().slots[0].first, INT32_MAX);
    EXPECT_EQ(check.header().slots[0].last, INT32_MAX - 1);
}

// An archive grown past 4 GiB by some other program (a sparse file here) must
// not be taken for a short one, as a length cut to 32 bits would make it.
TEST_F(Archive, LengthsBeyondThirtyTwoBitsAreNotCutShort) {
    writeFile("big.zal", archiveHeader({{34, 128, 131}}) + "abcd");
    const std::uintmax_t size = (std::uintmax_t{1} << 32) + 132;
    fs::resize_file("big.zal", size);
    writeFile("t.dat", "");
    EXPECT_EQ(BackupArchive("big.zal").AppendMember(38, "t.dat"), BackupArchive::kAppendFailed);
    EXPECT_EQ(fs::file_size("big.zal"), size);
    ASSERT_EQ(BackupArchive("big.zal").ExtractMember(34, "out.dat"), BackupArchive::kExtracted);
    EXPECT_EQ(readFile("out.dat"), "abcd");
}

#ifndef _WIN32
// Appends under a file-size limit, as on a nearly full disk; exits 0 when
// both appends fail as they must.
[[noreturn]] void appendUnderSizeLimit() {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    limit.rlim_cur = limit.rlim_max = 600 * 1024;
    setrlimit(RLIMIT_FSIZE, &limit);
    const int appended = BackupArchive("a.zal").AppendMember(41, "big.dat");
    const int created = BackupArchive("new.zal").AppendMember(41, "big.dat");
    std::_Exit(appended == BackupArchive::kAppendFailed && created == BackupArchive::kAppendFailed ? 0 : 1);
}

// The append fails part-way through the member and must put the archive back.
TEST_F(Archive, WriteErrorDuringAppendRestoresTheArchive) {
    GTEST_FLAG_SET(death_test_style, "fast");
    const std::string before = makeExample();
    writeFile("big.dat", randomBytes(1 << 20, 9));
    EXPECT_EXIT(appendUnderSizeLimit(), ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(readFile("a.zal"), before);
    EXPECT_FALSE(exists("new.zal"));
}
#endif

// --- ExtractMember ---------------------------------------------------------

TEST_F(Archive, ExtractWritesExactlyTheMemberAndReplacesAnOldOutput) {
    makeExample();
    writeFile("out.dat", "old content that is longer than forty bytes, surely");
    BackupArchive archive("a.zal", messages.sink());
    ASSERT_EQ(archive.ExtractMember(38, "out.dat"), BackupArchive::kExtracted);
    EXPECT_EQ(readFile("out.dat"), texts);
    ASSERT_EQ(archive.ExtractMember(34, "out.dat"), BackupArchive::kExtracted);
    EXPECT_EQ(readFile("out.dat"), formats);
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(Archive, ExtractOfAbsentIdReturnsMinusTwoAndCreatesNothing) {
    makeExample();
    writeFile("keep.dat", "untouched");
    BackupArchive archive("a.zal", messages.sink());
    EXPECT_EQ(archive.ExtractMember(41, "new.dat"), BackupArchive::kNoSuchMember);
    EXPECT_EQ(archive.ExtractMember(41, "keep.dat"), BackupArchive::kNoSuchMember);
    // Id 0 marks empty slots; it never names a member.
    EXPECT_EQ(archive.ExtractMember(0, "new.dat"), BackupArchive::kNoSuchMember);
    EXPECT_FALSE(exists("new.dat"));
    EXPECT_EQ(readFile("keep.dat"), "untouched");
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(Archive, ExtractFromMissingArchiveShowsMessageAndReturnsMinusOne) {
    BackupArchive archive("missing.zal", messages.sink());
    EXPECT_EQ(archive.ExtractMember(34, "out.dat"), BackupArchive::kCannotOpen);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].first, "Nepodarilo se otevrit soubor");
    EXPECT_EQ(messages.shown[0].second, "");
    EXPECT_FALSE(exists("out.dat"));
}

TEST_F(Archive, ReadOnlyArchiveListsItsDirectoryButCannotBeExtracted) {
    const std::string before = makeExample();
    makeReadOnly("a.zal");
    BackupArchive archive("a.zal", messages.sink());
    std::array<std::int32_t, 10> ids{};
    EXPECT_TRUE(archive.ReadDirectory(ids));
    EXPECT_EQ(ids[0], 34);
    EXPECT_EQ(archive.ExtractMember(34, "out.dat"), BackupArchive::kCannotOpen);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].first, "Nepodarilo se otevrit soubor");
    EXPECT_FALSE(exists("out.dat"));
    EXPECT_EQ(readFile("a.zal"), before);
}

TEST_F(Archive, OutputThatCannotBeWrittenGivesNegativeResultAndNoFile) {
    makeExample();
    writeFile("locked.dat", "keep");
    makeReadOnly("locked.dat");
    BackupArchive archive("a.zal");
    EXPECT_LT(archive.ExtractMember(34, "no/such/folder/out.dat"), 0);
    EXPECT_LT(archive.ExtractMember(34, "locked.dat"), 0);
    fs::create_directory("folder");
    EXPECT_LT(archive.ExtractMember(34, "folder"), 0);
    EXPECT_EQ(readFile("locked.dat"), "keep");
    EXPECT_EQ(dir.entries(), (std::set<std::string>{"a.zal", "f.dat", "t.dat", "locked.dat", "folder"}));
    EXPECT_TRUE(fs::is_empty("folder"));
}

TEST_F(Archive, MembersSpanningManyCopyBlocksRoundTrip) {
    BackupArchive archive("big.zal");
    const std::size_t sizes[] = {1, 65536, 262145, (1 << 20) - 1, 1 << 20, (1 << 20) + 1, (2 << 20) + 7, 0};
    const int ids[] = {34, 38, 41, 52, 25, 67};
    for (std::size_t round = 0; round < 2; ++round) {
        fs::remove("big.zal");
        for (std::size_t k = 0; k < 6; ++k) {
            const std::string data = randomBytes(sizes[(k + round * 6) % 8], static_cast<unsigned>(k));
            writeFile("in.dat", data);
            ASSERT_EQ(archive.AppendMember(ids[k], "in.dat"), BackupArchive::kAppended);
            ASSERT_EQ(archive.ExtractMember(ids[k], "out.dat"), BackupArchive::kExtracted);
            ASSERT_EQ(readFile("out.dat"), data) << data.size();
        }
    }
}

// --- Corrupt and foreign archives -------------------------------------------

// Every operation refuses an unsound archive the way it refuses a missing one,
// and none of them changes it or leaves an output behind.
void expectRefused(const std::string& bytes, const std::string& what) {
    SCOPED_TRACE(what);
    writeFile("bad.zal", bytes);
    writeFile("d.dat", "data");
    Messages messages;
    BackupArchive archive("bad.zal", messages.sink());
    std::array<std::int32_t, 10> ids;
    ids.fill(5);
    EXPECT_FALSE(archive.ReadDirectory(ids));
    EXPECT_EQ(ids[0], 5);
    EXPECT_EQ(archive.ExtractMember(34, "out.dat"), BackupArchive::kCannotOpen);
    EXPECT_EQ(archive.ExtractMember(38, "out.dat"), BackupArchive::kCannotOpen);
    EXPECT_EQ(archive.AppendMember(41, "d.dat"), BackupArchive::kAppendFailed);
    EXPECT_FALSE(exists("out.dat"));
    EXPECT_EQ(readFile("bad.zal"), bytes);
    ASSERT_EQ(messages.shown.size(), 3u);
    EXPECT_EQ(messages.shown[0], std::make_pair(std::string("Nepodarilo se otevrit archivni soubor"), std::string("bad.zal")));
    EXPECT_EQ(messages.shown[1], std::make_pair(std::string("Nepodarilo se otevrit soubor"), std::string()));
}

TEST_F(Archive, EveryTruncationOfTheExampleIsRefused) {
    const std::string full = makeExample();
    for (std::size_t length = 0; length < full.size(); ++length)
        expectRefused(full.substr(0, length), "cut at " + std::to_string(length));
}

TEST_F(Archive, OffsetsOutsideTheFileAreRefused) {
    const std::string body(340, 'x');
    const std::int64_t end = 468;
    const std::vector<std::pair<Slot, std::string>> cases = {
        {{34, 0, 299}, "first at 0"},
        {{34, 127, 427}, "first inside the header"},
        {{34, -5, 427}, "negative first"},
        {{34, INT32_MIN, 427}, "most negative first"},
        {{34, 300, 200}, "last before first - 1"},
        {{34, 128, end}, "last at the file length"},
        {{34, 428, INT32_MAX}, "member running far past the end"},
        {{34, INT32_MAX, INT32_MAX - 1}, "empty member beyond the end"},
        {{99, 128, end + 10}, "foreign id running past the end"},
    };
    for (const auto& [slot, what] : cases) expectRefused(archiveHeader({slot}) + body, what);
    // A bad slot anywhere, even one no kind uses, makes the archive unsound.
    std::vector<Slot> slots(10, Slot{0, 0, 0});
    slots[9] = {1, 128, end};
    expectRefused(archiveHeader(slots) + body, "unused slot 9 running past the end");
}

TEST_F(Archive, BoundaryOffsetsAndIgnoredSlotsAreAccepted) {
    // An empty member just behind the last byte, a member ending on the last
    // byte, and an empty slot with leftover offsets.
    const std::string bytes = archiveHeader({{34, 130, 129}, {38, 128, 129}, {0, -1, 99999}}) + "AB";
    writeFile("ok.zal", bytes);
    BackupArchive archive("ok.zal");
    std::array<std::int32_t, 10> ids{};
    ASSERT_TRUE(archive.ReadDirectory(ids));
    ASSERT_EQ(archive.ExtractMember(34, "e.dat"), BackupArchive::kExtracted);
    EXPECT_EQ(readFile("e.dat"), "");
    ASSERT_EQ(archive.ExtractMember(38, "m.dat"), BackupArchive::kExtracted);
    EXPECT_EQ(readFile("m.dat"), "AB");
}

TEST_F(Archive, RandomHeaderDamageNeverYieldsBytesFromOutsideAMember) {
    const std::string original = makeExample();
    std::mt19937 random(20240611);
    for (int round = 0; round < 400; ++round) {
        std::string bytes = original;
        const int flips = 1 + static_cast<int>(random() % 4);
        for (int k = 0; k < flips; ++k) bytes[random() % 128] ^= static_cast<char>(1 + random() % 255);
        writeFile("fuzz.zal", bytes);
        HeaderBytes raw;
        std::copy(bytes.begin(), bytes.begin() + 128, raw.begin());
        const ArchiveHeader header = decodeHeader(raw);
        const bool sound = headerProblem(header, static_cast<std::int64_t>(bytes.size())).empty();

        BackupArchive archive("fuzz.zal");
        std::array<std::int32_t, 10> ids{};
        ASSERT_EQ(archive.ReadDirectory(ids), sound) << round;
        for (const DataKind& kind : kDataKinds) {
            fs::remove("out.dat");
            const int result = archive.ExtractMember(kind.id, "out.dat");
            if (result != BackupArchive::kExtracted) {
                EXPECT_FALSE(exists("out.dat")) << round;
                continue;
            }
            ASSERT_TRUE(sound) << round;
            const auto slot = std::find_if(header.slots.begin(), header.slots.end(),
                                           [&](const ArchiveSlot& s) { return s.id == kind.id; });
            ASSERT_NE(slot, header.slots.end());
            EXPECT_EQ(readFile("out.dat"),
                      bytes.substr(static_cast<std::size_t>(slot->first), static_cast<std::size_t>(slot->last - slot->first + 1)))
                << round;
        }
    }
}

TEST(ArchiveHeader, OverlapIsFoundOnlyBetweenMembersThatShareBytes) {
    ArchiveHeader h;
    h.slots[0] = {34, 128, 427};
    h.slots[1] = {38, 428, 467};
    h.slots[2] = {41, 428, 427};  // empty, shares no byte
    EXPECT_EQ(overlapProblem(h), "");
    // `last` is inclusive: a member that starts on another's last byte shares it.
    for (const ArchiveSlot& s : {ArchiveSlot{52, 427, 430}, {52, 200, 200}, {52, 427, 427}, {52, 467, 470}}) {
        h.slots[3] = s;
        EXPECT_NE(overlapProblem(h), "") << s.first << ".." << s.last;
    }
}

}  // namespace
