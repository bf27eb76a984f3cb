// Every way a transfer can fail ends with a non-zero status in "error",
// within the time-out, and with no data file left behind.
#include "ScaleLinkFixture.h"

#include "Net.h"
#include "Wire.h"

#include <dlfcn.h>

#include <fstream>
#include <thread>

using namespace zalohy;
using namespace zalohy::test;
using namespace std::chrono_literals;
using namespace zalohy::scalelib;

namespace {

const DataKind& plu = kDataKinds[kPlu];

}  // namespace

// After a failed download only "error" is in the working folder, and a
// failure that needs no time-out comes at once.
#define EXPECT_ONLY_STATUS_FILE()                                  \
    do {                                                           \
        EXPECT_EQ(workFiles(), std::set<std::string>{"error"});    \
        EXPECT_LT(lastDuration, std::chrono::milliseconds(kIdleTimeoutMs)); \
    } while (false)

TEST_F(ScaleLinkTest, NothingListeningFailsAtOnce) {
    const std::string address = "127.0.0.2:" + std::to_string(unusedPort("127.0.0.2"));
    EXPECT_EQ(run(plu.downloadWord, address), kCannotConnect);
    EXPECT_LT(lastDuration, 1s);
    EXPECT_ONLY_STATUS_FILE();
    writeFile(scaleFileName(address, plu.uploadSuffix), "bytes");
    EXPECT_EQ(run(plu.uploadWord, address), kCannotConnect);
}

TEST_F(ScaleLinkTest, RefusedOrMissingKindIsNoSuchFileAndOtherKindsStillWork) {
    startEmulator({"--refuse", plu.downloadWord});
    // A file left by an earlier run must not pass for this download's.
    const std::string downloaded = scaleFileName(address(), plu.downloadedSuffix);
    writeFile(downloaded, "old download");
    EXPECT_EQ(run(plu.downloadWord), kNoSuchFile);
    EXPECT_ONLY_STATUS_FILE();

    const std::string before = scaleBytes(plu);
    writeFile(scaleFileName(address(), plu.uploadSuffix), "new PLU file");
    EXPECT_EQ(run(plu.uploadWord), kScaleRefused);
    EXPECT_TRUE(sameBytes(scaleBytes(plu), before));

    const DataKind& texts = kDataKinds[kTexts];
    EXPECT_EQ(run(texts.downloadWord), kOk);
    std::filesystem::remove(emulator().scaleFile(0, texts.id));
    EXPECT_EQ(run(texts.downloadWord), kNoSuchFile);
    EXPECT_FALSE(std::filesystem::exists(scaleFileName(address(), texts.downloadedSuffix)));
}

TEST_F(ScaleLinkTest, DroppedConnectionLeavesNoFile) {
    // Cut before the header, inside it, and inside the payload of a 3 MiB file.
    for (const char* after : {"0", "7", "100016"}) {
        startEmulator({"--drop-after", after});
        setScaleBytes(plu, std::string(3 * 1024 * 1024, 'p'));
        EXPECT_EQ(run(plu.downloadWord), kConnectionLost) << "dropped after " << after;
        EXPECT_ONLY_STATUS_FILE();
    }
    // An upload whose answer is cut short is not reported as done.
    startEmulator({"--drop-after", "7"});
    writeFile(scaleFileName(address(), plu.uploadSuffix), "new PLU file");
    EXPECT_EQ(run(plu.uploadWord), kConnectionLost);
}

TEST_F(ScaleLinkTest, MalformedAnswerIsAProtocolError) {
    startEmulator({"--malformed"});
    EXPECT_EQ(run(plu.downloadWord), kProtocolError);
    EXPECT_ONLY_STATUS_FILE();
    writeFile(scaleFileName(address(), plu.uploadSuffix), "new PLU file");
    EXPECT_EQ(run(plu.uploadWord), kProtocolError);
}

TEST_F(ScaleLinkTest, StalledScaleTimesOut) {
    startEmulator({"--stall"});
    EXPECT_EQ(run(plu.downloadWord), kTimedOut);
    EXPECT_GE(lastDuration, std::chrono::milliseconds(kIdleTimeoutMs) - 100ms);
    EXPECT_LT(lastDuration, std::chrono::milliseconds(kIdleTimeoutMs) + 2s);
    EXPECT_EQ(workFiles(), std::set<std::string>{"error"});
}

TEST_F(ScaleLinkTest, SlowAnswerWithinTheTimeOutSucceeds) {
    startEmulator({"--delay", "400"});
    EXPECT_EQ(run(plu.downloadWord), kOk);
    EXPECT_GE(lastDuration, 400ms);
}

TEST_F(ScaleLinkTest, MissingUploadFileFailsWithoutAskingTheScale) {
    startEmulator();
    EXPECT_EQ(run(plu.uploadWord), kLocalFileMissing);
    // A download does reach the emulator's log; the upload before it did not.
    ASSERT_EQ(run(plu.downloadWord), kOk);
    ASSERT_TRUE(emulatorLogged("download " + std::to_string(plu.id)));
    EXPECT_EQ(emulator().output().find("upload"), std::string::npos);
}

// An upload file that shrinks while it is sent: the library stops short and
// fails, so the scale never gets the whole length made up of stale bytes.
TEST_F(ScaleLinkTest, UploadFileShrinkingWhileSent_failsBeforeTheScaleHasItAll) {
    std::uint32_t host = 0;
    ASSERT_TRUE(net::parseIPv4("127.0.0.2", host));
    net::Socket listener;
    ASSERT_EQ(net::listenTcp(host, 0, listener), net::Result::Ok);
    const std::string address = "127.0.0.2:" + std::to_string(net::localPort(listener));
    const std::string upload = scaleFileName(address, plu.uploadSuffix);
    const std::uint64_t size = std::uint64_t(24) << 20;  // far more than the sockets buffer
    std::ofstream(upload, std::ios::binary) << std::string(size, 'p');
    std::uint64_t received = 0;
    std::thread scale([&] {
        net::Socket c;
        unsigned char header[wire::kHeaderSize];
        if (net::waitReadable(listener, 5000) != net::Result::Ok ||
            net::acceptConnection(listener, c) != net::Result::Ok ||
            net::receiveAll(c, header, sizeof header, 5000) != net::Result::Ok)
            return;
        std::vector<char> buffer(1 << 16);
        std::size_t got = 0;
        while (net::receiveSome(c, buffer.data(), buffer.size(), got, 5000) == net::Result::Ok) {
            if (received == 0) std::filesystem::resize_file(upload, 0);
            received += got;
            if (received < size) continue;
            wire::Header answer;  // all of it came: taken
            answer.type = wire::FrameType::Answer;
            answer.kind = static_cast<std::uint8_t>(plu.id);
            wire::encodeHeader(answer, header);
            net::sendAll(c, header, sizeof header, 5000);
        }
    });
    const int status = run(plu.uploadWord, address);
    scale.join();
    EXPECT_EQ(status, kLocalFileMissing);
    EXPECT_LT(received, size);
}

namespace {

using Entry = int (*)(int, char**);

Entry libraryEntry() {
    void* library = dlopen(ZALOHY_SCALELIB_PATH, RTLD_NOW | RTLD_LOCAL);
    return library ? reinterpret_cast<Entry>(dlsym(library, "twswtcp_entry")) : nullptr;
}

struct EntryCase {
    int argc;
    std::vector<const char*> argv;  // as given: no terminating null pointer
    int expected;
};

}  // namespace

// Whatever the caller passes, the library answers with a status, never a crash.
TEST(LibraryEntry, BadArgumentsGiveAStatusAndNoCrash) {
    const Entry entry = libraryEntry();
    ASSERT_NE(entry, nullptr) << dlerror();
    ScratchFolder work("zalohy-net-entry-", true);
    const std::string longWord(100000, 'F');
    const std::string longAddress(100000, '1');
    const std::vector<EntryCase> cases = {
        {0, {}, kBadArguments},
        {1, {"twswtcp"}, kBadArguments},
        {2, {"twswtcp", "F74"}, kBadArguments},
        {3, {"twswtcp", nullptr, "127.0.0.2"}, kBadArguments},
        {3, {"twswtcp", "F74", nullptr}, kBadArguments},
        {3, {"twswtcp", "", "127.0.0.2"}, kBadArguments},
        {3, {"twswtcp", "F74", ""}, kBadArguments},
        {3, {"twswtcp", longWord.c_str(), "127.0.0.2"}, kBadArguments},
        {3, {"twswtcp", "F74", longAddress.c_str()}, kBadArguments},
        {3, {nullptr, "F99", "127.0.0.2"}, kUnknownWord},
        {3, {"twswtcp", "F7", "127.0.0.2"}, kUnknownWord},
        {3, {"twswtcp", "F744", "127.0.0.2"}, kUnknownWord},
        {3, {"twswtcp", "G74", "127.0.0.2"}, kUnknownWord},
        // Refused before any name is looked up or any connection is tried.
        {3, {"twswtcp", "F74", "127.0.0.2:"}, kBadArguments},
        {3, {"twswtcp", "F74", "127.0.0.2:0"}, kBadArguments},
        {3, {"twswtcp", "F74", "127.0.0.2:65536"}, kBadArguments},
        {3, {"twswtcp", "F74", "127.0.0.2:12a"}, kBadArguments},
        {3, {"twswtcp", "F74", "127.0.0.2:1:2"}, kBadArguments},
        {3, {"twswtcp", "F74", ":4000"}, kBadArguments},
        {3, {"twswtcp", "F74", "scale one"}, kBadArguments},
        {3, {"twswtcp", "F74", "../127.0.0.2"}, kBadArguments},
        // Only numbers: a host name is refused at once and never looked up
        // (localhost would otherwise resolve and be dialled).
        {3, {"twswtcp", "F74", "localhost"}, kBadArguments},
        {3, {"twswtcp", "F74", "localhost:40174"}, kBadArguments},
        {3, {"twswtcp", "F74", "scale-1.example"}, kBadArguments},
        {3, {"twswtcp", "F74", "127.1"}, kBadArguments},
        {3, {"twswtcp", "F74", "127.0.0.1.5"}, kBadArguments},
        {3, {"twswtcp", "F74", "127.0.0.256"}, kBadArguments},
        {3, {"twswtcp", "F74", "127.0.0.2x"}, kBadArguments},
        {3, {"twswtcp", "F74", "0x7f.0.0.1"}, kBadArguments},
    };
    for (const EntryCase& c : cases) {
        std::vector<char*> argv;
        for (const char* word : c.argv) argv.push_back(const_cast<char*>(word));
        const std::string shown = c.argv.size() > 1 && c.argv[1] ? std::string(c.argv[1]).substr(0, 10) : "-";
        EXPECT_EQ(entry(c.argc, c.argc ? argv.data() : nullptr), c.expected) << "argc " << c.argc << " " << shown;
        EXPECT_EQ(readFile("error"), std::to_string(c.expected) + "\n") << shown;
        std::filesystem::remove("error");
        EXPECT_TRUE(std::filesystem::is_empty(work.path())) << shown;
    }
}
