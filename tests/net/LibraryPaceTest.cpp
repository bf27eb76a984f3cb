// The library's overall bound on a transfer: a scale that keeps sending a
// byte now and then, each within the idle time-out, is given up on once a
// progress window passes with too little moved. The window is shortened for
// the test through the library's environment variable. The scale is a thread
// here, on a loopback address.
#include "ScaleLinkFixture.h"

#include "Net.h"
#include "Wire.h"

#include <cstdlib>
#include <thread>

using namespace zalohy;
using namespace zalohy::test;
using namespace zalohy::scalelib;
using namespace std::chrono_literals;

namespace {

// Answers one download: the header (optionally one byte at a time) and then
// `payload`, `step` bytes every `pause`.
class TricklingScale {
public:
    TricklingScale(std::string payload, std::size_t step, std::chrono::milliseconds pause, bool trickleHeader)
        : payload_(std::move(payload)), step_(step), pause_(pause), trickleHeader_(trickleHeader) {
        std::uint32_t loopback = 0;
        net::parseIPv4("127.0.0.3", loopback);
        if (net::listenTcp(loopback, 0, listener_) == net::Result::Ok)
            address_ = "127.0.0.3:" + std::to_string(net::localPort(listener_));
        thread_ = std::thread([this] { serve(); });
    }
    ~TricklingScale() {
        stop_ = true;
        thread_.join();
    }
    const std::string& address() const { return address_; }

private:
    void serve() {
        net::Socket c;
        while (!stop_ && net::acceptConnection(listener_, c) != net::Result::Ok) std::this_thread::sleep_for(5ms);
        unsigned char request[wire::kHeaderSize];
        if (stop_ || net::receiveAll(c, request, sizeof request, 3000) != net::Result::Ok) return;
        wire::Header answer;
        answer.kind = request[6];
        answer.length = payload_.size();
        unsigned char header[wire::kHeaderSize];
        wire::encodeHeader(answer, header);
        std::string bytes(reinterpret_cast<const char*>(header), sizeof header);
        std::size_t at = 0;
        if (!trickleHeader_) {
            if (net::sendAll(c, header, sizeof header, 3000) != net::Result::Ok) return;
            bytes = payload_;
        } else {
            bytes += payload_;
        }
        const std::size_t step = trickleHeader_ ? 1 : step_;
        while (!stop_ && at < bytes.size()) {
            const std::size_t n = std::min(step, bytes.size() - at);
            if (net::sendAll(c, bytes.data() + at, n, 3000) != net::Result::Ok) return;
            at += n;
            std::this_thread::sleep_for(pause_);
        }
        while (!stop_ && net::waitReadable(c, 100) == net::Result::TimedOut) {
        }
    }

    std::string payload_;
    std::size_t step_;
    std::chrono::milliseconds pause_;
    bool trickleHeader_;
    net::Socket listener_;
    std::string address_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// The progress window for this test: 256 bytes in every 600 ms.
class ShortProgressWindow {
public:
    ShortProgressWindow() { setenv(kMinProgressVariable, "256/600", 1); }
    ~ShortProgressWindow() { unsetenv(kMinProgressVariable); }
};

const DataKind& formats = kDataKinds[kFormats];

struct PaceCase {
    const char* name;
    std::size_t step;
    int pauseMs;
    bool trickleHeader;
    int expected;
    friend void PrintTo(const PaceCase& c, std::ostream* os) { *os << c.name; }
};

class LibraryPace : public ScaleLinkTest, public ::testing::WithParamInterface<PaceCase> {};

}  // namespace

// 16 bytes every 100 ms is 96 bytes a window: too little, though each byte
// comes well within the idle time-out; the header alone, a byte every 100 ms,
// is too little as well. 128 bytes every 50 ms is enough for 4 KiB to arrive.
TEST_P(LibraryPace, tooLittleMovingIsATimeOutAndEnoughIsNot) {
    const PaceCase& c = GetParam();
    const ShortProgressWindow window;
    const std::string payload(4096, 'p');
    TricklingScale scale(payload, c.step, std::chrono::milliseconds(c.pauseMs), c.trickleHeader);
    ASSERT_FALSE(scale.address().empty());
    EXPECT_EQ(run(formats.downloadWord, scale.address()), c.expected) << c.name;
    const std::string downloaded = scaleFileName(scale.address(), formats.downloadedSuffix);
    if (c.expected == kOk) {
        EXPECT_EQ(readFile(downloaded), payload + "E2");
    } else {
        EXPECT_EQ(workFiles(), std::set<std::string>{"error"});
        // Given up on at the end of the first window that fell short.
        EXPECT_LT(lastDuration, std::chrono::milliseconds(kIdleTimeoutMs));
    }
}

INSTANTIATE_TEST_SUITE_P(Trickles, LibraryPace,
                         ::testing::Values(PaceCase{"payload trickles", 16, 100, false, kTimedOut},
                                           PaceCase{"header trickles", 1, 100, true, kTimedOut},
                                           PaceCase{"slow but enough", 128, 50, false, kOk}),
                         [](const ::testing::TestParamInfo<PaceCase>& info) {
                             std::string name = info.param.name;
                             for (char& ch : name)
                                 if (ch == ' ') ch = '_';
                             return name;
                         });

// A link planted under the download's temporary name is not written through,
// and a temporary file a killed call left is gone after the next call, even
// one that fails before it connects.
TEST_F(ScaleLinkTest, TemporaryNameOfADownloadIsNeverWrittenThroughAndLeftoversGo) {
    startEmulator();
    const std::string part = scaleFileName(address(), formats.downloadedSuffix) + ".part";
    writeFile("victim.dat", "must stay");
    std::filesystem::create_symlink("victim.dat", part);
    ASSERT_EQ(run(formats.downloadWord), kOk);
    EXPECT_EQ(readFile("victim.dat"), "must stay");
    EXPECT_EQ(workFiles(), (std::set<std::string>{"error", "victim.dat",
                                                  scaleFileName(address(), formats.downloadedSuffix)}));

    const std::string nobody = "127.0.0.2:" + std::to_string(unusedPort("127.0.0.2"));
    const std::string leftover = scaleFileName(nobody, formats.downloadedSuffix) + ".part";
    writeFile(leftover, "left by a killed call");
    EXPECT_EQ(run(formats.downloadWord, nobody), kCannotConnect);
    EXPECT_FALSE(std::filesystem::exists(leftover));
}
