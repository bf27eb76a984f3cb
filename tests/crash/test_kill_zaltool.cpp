// zaltool append and extract of a member of some tens of MiB, killed with
// SIGKILL at random instants: after every kill the archive still verifies,
// every member stored before extracts byte for byte, and no output name ever
// holds a partial file. The kills are spread over the time one whole run
// takes, measured first; no new round starts 15 s after the test began, so
// it takes about 20 s at most.
#include "BackupArchive.h"
#include "AtomicWrite.h"
#include "Platform.h"
#include "WorkingFiles.h"
#include "ScratchFolder.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <fcntl.h>
#include <random>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace zalohy;
using zalohy::test::ScratchFolder;
using zalohy::test::writeFile;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

extern char** environ;

namespace {

constexpr std::size_t kBigMember = 32u << 20;
constexpr auto kBudget = std::chrono::seconds(15);
constexpr int kKillsPerOperation = 24;

std::string randomBytes(std::size_t size, std::uint64_t seed) {
    std::mt19937_64 random(seed);
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i + 8 <= size; i += 8) {
        const std::uint64_t word = random();
        std::memcpy(&bytes[i], &word, 8);
    }
    return bytes;
}

pid_t startZaltool(const std::vector<std::string>& args) {
    std::vector<std::string> words{ZALTOOL_PATH};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int failed = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return failed ? -1 : pid;
}

// Exit status, or -1 when the run was killed.
int waitFor(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::chrono::microseconds timeWholeRun(const std::vector<std::string>& args) {
    const auto start = Clock::now();
    const pid_t pid = startZaltool(args);
    EXPECT_GT(pid, 0);
    EXPECT_EQ(waitFor(pid), 0);
    return std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start);
}

// Runs zaltool and kills it after a random part of `span`. True when the kill
// came while it was still running.
bool killAtRandom(const std::vector<std::string>& args, std::chrono::microseconds span, std::mt19937& random) {
    const pid_t pid = startZaltool(args);
    EXPECT_GT(pid, 0);
    std::uniform_int_distribution<long long> at(0, span.count());
    std::this_thread::sleep_for(std::chrono::microseconds(at(random)));
    ::kill(pid, SIGKILL);
    return waitFor(pid) == -1;
}

struct Member {
    std::int32_t id;
    std::string bytes;
};

// The whole file at once: a block read, fast also under the sanitizers.
std::string wholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) return "(missing)";
    std::string bytes(static_cast<std::size_t>(in.tellg()), '\0');
    in.seekg(0);
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return bytes;
}

// The archive verifies and each member given extracts byte for byte.
::testing::AssertionResult holds(const std::string& archive, const std::vector<Member>& members) {
    BackupArchive record(archive);
    std::array<std::int32_t, 10> ids{};
    if (!record.ReadDirectory(ids)) return ::testing::AssertionFailure() << record.lastError();
    if (const std::string overlap = overlapProblem(record.header()); !overlap.empty())
        return ::testing::AssertionFailure() << overlap;
    for (const Member& m : members) {
        if (record.ExtractMember(m.id, "check.dat") != BackupArchive::kExtracted)
            return ::testing::AssertionFailure() << "member " << m.id << ": " << record.lastError();
        if (wholeFile("check.dat") != m.bytes) return ::testing::AssertionFailure() << "member " << m.id << " differs";
    }
    fs::remove("check.dat");
    return ::testing::AssertionSuccess();
}

std::string headerOf(const std::string& archive) {
    std::ifstream in(archive, std::ios::binary);
    std::string header(128, '\0');
    in.read(header.data(), 128);
    return in ? header : std::string();
}

std::vector<std::string> tempFilesOf(const std::string& name) {
    std::vector<std::string> found;
    for (const auto& entry : fs::directory_iterator("."))
        if (files::isTempNameOf(entry.path().filename().string(), name)) found.push_back(entry.path().string());
    return found;
}

}  // namespace

TEST(KilledZaltool, archiveAndOutputsStaySoundWhereverTheKillComes) {
    const auto deadline = Clock::now() + kBudget;
    ScratchFolder dir("zalohy-crash-", true);
    const std::vector<Member> earlier = {{34, randomBytes(1000, 1)}, {38, randomBytes(70000, 2)}, {52, ""}};
    for (const Member& m : earlier) {
        writeFile("member.dat", m.bytes);
        BackupArchive base("base.zal");
        ASSERT_EQ(base.AppendMember(m.id, "member.dat"), BackupArchive::kAppended);
    }
    const Member big{25, randomBytes(kBigMember, 3)};
    writeFile("big.dat", big.bytes);

    // One whole run of each, to know over how long to spread the kills.
    fs::copy_file("base.zal", "full.zal");
    const auto appendSpan = timeWholeRun({"append", "full.zal", "25", "big.dat"});
    std::vector<Member> all = earlier;
    all.push_back(big);
    ASSERT_TRUE(holds("full.zal", all));
    const auto extractSpan = timeWholeRun({"extract", "full.zal", "25", "out.dat"});
    ASSERT_TRUE(wholeFile("out.dat") == big.bytes);
    const std::string fullHeader = headerOf("full.zal");
    const auto fullSize = fs::file_size("full.zal");

    std::mt19937 random(std::random_device{}());
    int tried = 0, survived = 0, appendsCut = 0, extractsCut = 0;
    for (int round = 0; round < kKillsPerOperation && Clock::now() < deadline; ++round) {
        // Append: the earlier members survive; the new one is either whole or absent.
        fs::copy_file("base.zal", "a.zal", fs::copy_options::overwrite_existing);
        appendsCut += killAtRandom({"append", "a.zal", "25", "big.dat"}, appendSpan, random);
        ++tried;
        BackupArchive record("a.zal");
        std::array<std::int32_t, 10> ids{};
        ASSERT_TRUE(record.ReadDirectory(ids)) << "round " << round << ": " << record.lastError();
        const bool stored = ids[4] == big.id;
        std::vector<Member> expected = earlier;
        if (stored) expected.push_back(big);
        ASSERT_TRUE(holds("a.zal", expected)) << "round " << round << " of append";
        // The archive stays usable: the append made again completes it.
        if (!stored && round % 4 == 0) {
            ASSERT_EQ(waitFor(startZaltool({"append", "a.zal", "25", "big.dat"})), 0);
            ASSERT_TRUE(holds("a.zal", all));
        }
        ++survived;

        // Extract: the output name holds the whole member or nothing, the
        // archive is untouched, and at most the killed run's own temporary
        // file is left (the next extraction removes it).
        fs::remove("out.dat");
        extractsCut += killAtRandom({"extract", "full.zal", "25", "out.dat"}, extractSpan, random);
        ++tried;
        if (fs::exists("out.dat")) {
            ASSERT_TRUE(wholeFile("out.dat") == big.bytes) << "round " << round << " of extract";
        }
        ASSERT_LE(tempFilesOf("out.dat").size(), 1u);
        ASSERT_EQ(fs::file_size("full.zal"), fullSize);
        ASSERT_EQ(headerOf("full.zal"), fullHeader);
        ++survived;
    }
    ASSERT_TRUE(holds("full.zal", all));
    ASSERT_EQ(waitFor(startZaltool({"extract", "full.zal", "25", "out.dat"})), 0);
    EXPECT_TRUE(tempFilesOf("out.dat").empty()) << "a complete extraction left temporary files";
    EXPECT_TRUE(wholeFile("out.dat") == big.bytes);
    std::printf("kills survived %d of %d (appends cut short %d, extracts cut short %d; whole runs %lld / %lld ms)\n",
                survived, tried, appendsCut, extractsCut, static_cast<long long>(appendSpan.count() / 1000),
                static_cast<long long>(extractSpan.count() / 1000));
    EXPECT_EQ(survived, tried);
}
