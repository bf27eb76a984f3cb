// Every file that is renamed into place is synced before the rename and its
// folder after it, so a power cut right after a reported success keeps it.
// fsync, rename and renameat2 are interposed here: the calls go through to the C
// library and are recorded in order.
#include "AtomicWrite.h"
#include "BackupArchive.h"
#include "DataKind.h"
#include "FakeScale.h"
#include "IniFile.h"
#include "ListArchive.h"
#include "PendingFile.h"
#include "SafetyBackup.h"
#include "ScaleRuns.h"
#include "ScratchFolder.h"
#include "TrimDownloadedFile.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <string>
#include <vector>

using namespace zalohy;
namespace fs = std::filesystem;

namespace {

struct Event {
    std::string what;  // "sync" or "rename"
    std::string path;  // synced file or folder; the rename's source
    std::string to;    // the rename's target
};

bool recording = false;
std::vector<Event> events;

std::string pathOf(int fd) {
    char link[64], target[PATH_MAX];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t n = ::readlink(link, target, sizeof target - 1);
    return n > 0 ? fs::path(std::string(target, static_cast<std::size_t>(n))).filename().string() : "?";
}

std::string nameOf(const char* path) {
    const std::string name = fs::path(path).filename().string();
    return name.empty() || name == "." ? fs::current_path().filename().string() : name;
}

}  // namespace

extern "C" int fsync(int fd) {
    using Fsync = int (*)(int);
    static const auto real = reinterpret_cast<Fsync>(dlsym(RTLD_NEXT, "fsync"));
    if (recording) events.push_back({"sync", pathOf(fd), ""});
    return real(fd);
}

extern "C" int rename(const char* from, const char* to) {
    using Rename = int (*)(const char*, const char*);
    static const auto real = reinterpret_cast<Rename>(dlsym(RTLD_NEXT, "rename"));
    if (recording) events.push_back({"rename", nameOf(from), nameOf(to)});
    return real(from, to);
}

// A rename that never replaces (Linux).
extern "C" int renameat2(int fromDir, const char* from, int toDir, const char* to, unsigned int flags) {
    using Renameat2 = int (*)(int, const char*, int, const char*, unsigned int);
    static const auto real = reinterpret_cast<Renameat2>(dlsym(RTLD_NEXT, "renameat2"));
    if (recording) events.push_back({"rename", nameOf(from), nameOf(to)});
    return real(fromDir, from, toDir, to, flags);
}

namespace {

struct Report : zalohy::Report {
    void message(const std::string&, const std::string&) override {}
    void line(const std::string&) override {}
};

class Durability : public ::testing::Test {
protected:
    zalohy::test::ScratchFolder dir{"zalohy-durability-", true};
    std::string folder = dir.path().filename().string();

    void record() {
        events.clear();
        recording = true;
    }
    std::vector<Event> recorded() {
        recording = false;
        return events;
    }
    // The file renamed to `target` was synced before and the folder after.
    ::testing::AssertionResult syncedAroundRename(const std::vector<Event>& log, const std::string& target) {
        for (std::size_t i = 0; i < log.size(); ++i) {
            if (log[i].what != "rename" || log[i].to != target) continue;
            bool before = false, after = false;
            for (std::size_t k = 0; k < i; ++k) before = before || (log[k].what == "sync" && log[k].path == log[i].path);
            for (std::size_t k = i + 1; k < log.size(); ++k) after = after || (log[k].what == "sync" && log[k].path == folder);
            if (before && after) return ::testing::AssertionSuccess();
            return ::testing::AssertionFailure() << target << (before ? "" : ": file not synced before the rename")
                                                 << (after ? "" : ": folder not synced after the rename");
        }
        return ::testing::AssertionFailure() << "nothing renamed to " << target;
    }
};

TEST_F(Durability, everyFileRenamedIntoPlaceIsSyncedAndSoIsItsFolder) {
    zalohy::test::writeFile("member.dat", "member bytes");
    BackupArchive archive("a.zal");
    ASSERT_EQ(archive.AppendMember(34, "member.dat"), BackupArchive::kAppended);
    record();
    ASSERT_EQ(archive.ExtractMember(34, "out.dat"), BackupArchive::kExtracted);
    EXPECT_TRUE(syncedAroundRename(recorded(), "out.dat")) << "extraction";

    record();
    EXPECT_TRUE(placeListArchive("a.zal", "127.0.0.2-2026-12-08.zal"));
    EXPECT_TRUE(syncedAroundRename(recorded(), "127.0.0.2-2026-12-08.zal")) << "list backup";

    zalohy::test::writeFile("made.zal", "made by name");  // as the scale library makes an archive
    record();
    EXPECT_TRUE(files::placeFile("made.zal", "placed.zal"));
    EXPECT_TRUE(syncedAroundRename(recorded(), "placed.zal")) << "a file made by name";

    record();
    TIniFile ini("Skladex.ini");
    ini.WriteString("SOUBOR_ZALOHY", "IP_ADDRESS", "127.0.0.2");
    EXPECT_TRUE(syncedAroundRename(recorded(), "Skladex.ini")) << "settings";

    // The trimming only cuts the marker off the file's end: nothing is
    // renamed; with an E before another last byte a copy is renamed over it.
    zalohy::test::writeFile("SMxT74.dat", "dataEx");
    Report report;
    bool ok = true;
    record();
    EXPECT_EQ(TrimDownloadedFile("SMxT74.dat", report, ok), 0);
    EXPECT_TRUE(syncedAroundRename(recorded(), "SMxT74.dat")) << "trimming";

    record();
    {
        PendingFile download("SMxT78.dat", "SMxT78.dat.part");
        ASSERT_TRUE(download.open() && download.write("x", 1) && download.commit());
    }
    EXPECT_TRUE(syncedAroundRename(recorded(), "SMxT78.dat")) << "library download";

    // Neither need the emulator's files nor an upload file extracted for one
    // transfer.
    record();
    {
        PendingFile scaleFile("25.dat", "25.dat.part", false);
        ASSERT_TRUE(scaleFile.open() && scaleFile.write("x", 1) && scaleFile.commit());
    }
    ASSERT_EQ(archive.ExtractMember(34, "SMxF34.dat", BackupArchive::Output::WorkingCopy), BackupArchive::kExtracted);
    for (const Event& e : recorded()) EXPECT_NE(e.what, "sync") << e.path;
}

// zaltool backup --overwrite and the backup before a send: the archive the
// run made beside its target is synced before it takes the target's name.
TEST_F(Durability, anArchiveBackedUpBesideItsTargetIsSyncedBeforeItTakesItsName) {
    zalohy::test::FakeScale scale;
    scale.seed("127.0.0.2");
    KindSet kinds{};
    kinds[kFormats] = kinds[kTexts] = true;
    struct : JobOutput {
        void write(bool, std::string_view) override {}
    } quiet;
    zalohy::test::writeFile("old.zal", "old");
    record();
    EXPECT_EQ(backUpInPlace("127.0.0.2", dir / "old.zal", kinds, files::Replace::Yes, nullptr, quiet), Placed::Done);
    EXPECT_TRUE(syncedAroundRename(recorded(), "old.zal")) << "backup --overwrite";

    record();
    EXPECT_TRUE(backUpBeforeSend("127.0.0.2", kinds, dir.path(), false, quiet));
    const std::vector<Event> log = recorded();
    const auto safety =
        std::find_if(log.begin(), log.end(), [](const Event& e) { return e.to.ends_with("-pred-odeslanim.zal"); });
    ASSERT_NE(safety, log.end());
    EXPECT_TRUE(syncedAroundRename(log, safety->to)) << "backup before a send";
}

TEST_F(Durability, anAppendSyncsTheMemberBeforeTheDirectoryAndTheNewArchivesFolder) {
    zalohy::test::writeFile("member.dat", "member bytes");
    BackupArchive archive("a.zal");
    record();
    ASSERT_EQ(archive.AppendMember(34, "member.dat"), BackupArchive::kAppended);
    std::vector<Event> log = recorded();
    // The member's bytes, then the new directory, then the new name.
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0].path, "a.zal");
    EXPECT_EQ(log[1].path, "a.zal");
    EXPECT_EQ(log[2].path, folder);

    record();
    ASSERT_EQ(archive.AppendMember(38, "member.dat"), BackupArchive::kAppended);
    log = recorded();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].path, "a.zal");
    EXPECT_EQ(log[1].path, "a.zal");
}

}  // namespace
