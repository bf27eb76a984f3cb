// The emulator on its own: refusal of other addresses, many scales in one
// process, demo data, atomic uploads, wrong peers and a clean stop.
#include "Net.h"
#include "ScaleLinkFixture.h"
#include "Wire.h"

#include <thread>

using namespace zalohy;
using namespace zalohy::test;
using namespace std::chrono_literals;

namespace {

net::Socket connectTo(const EmulatorProcess& emulator) {
    net::Socket socket;
    EXPECT_EQ(net::connectTcp("127.0.0.2", emulator.port(), 2000, socket), net::Result::Ok);
    return socket;
}

std::string header(wire::FrameType type, int kindId, std::uint64_t length, std::uint8_t version = wire::kVersion) {
    wire::Header h;
    h.version = version;
    h.type = type;
    h.kind = static_cast<std::uint8_t>(kindId);
    h.length = length;
    unsigned char bytes[wire::kHeaderSize];
    wire::encodeHeader(h, bytes);
    return std::string(reinterpret_cast<char*>(bytes), sizeof bytes);
}

// Everything the peer sends until it closes.
std::string receiveToEnd(net::Socket& socket) {
    std::string all;
    char buffer[256];
    std::size_t got = 0;
    while (net::receiveSome(socket, buffer, sizeof buffer, got, 3000) == net::Result::Ok) all.append(buffer, got);
    return all;
}

}  // namespace

TEST(Emulator, RefusesNonLoopbackAddressesBeforeBindingAnything) {
    ScratchFolder data("zalohy-net-refuse-");
    // Never bound nor dialled: the emulator must refuse while reading its options.
    for (const char* other : {"192.0.2.1", "0.0.0.0", "10.1.1.20:4000", "128.0.0.1", "localhost", "127.0.0.256"}) {
        const EmulatorRun run = runEmulator(
            {"--data", data.path().string(), "--listen", "127.0.0.2:0", "--listen", other}, 5s);
        EXPECT_EQ(run.exitCode, 2) << other << ": " << run.output;
        EXPECT_EQ(run.output.find("ready"), std::string::npos) << other;
        EXPECT_TRUE(std::filesystem::is_empty(data.path())) << other;
    }
}

// Usage errors: status 2 and one line that says what is wrong and where the
// help is; nothing is bound and no data is written.
TEST(Emulator, WrongCommandLinesGiveStatusTwoAndOneLine) {
    ScratchFolder data("zalohy-net-usage-");
    const std::string dir = data.path().string();
    const std::vector<std::vector<std::string>> wrong = {
        {},
        {"--data", dir},
        {"--listen", "127.0.0.2:0"},
        {"--data=" + dir, "--listen"},
        {"--data=" + dir, "--listen=127.0.0.2:0", "--seed=yes"},
        {"--data=" + dir, "--listen=127.0.0.2:0", "--bogus"},
        {"--data=" + dir, "--listen=127.0.0.2:0", "-q"},
        {"--data=" + dir, "--listen=127.0.0.2:0", "stray"},
        {"--data=" + dir, "--listen=127.0.0.2:0", "--refuse=X99"},
        {"--data=" + dir, "--listen=127.0.0.2:0", "--delay=-5"},
        {"--data=" + dir, "--listen=127.0.0.2:0", "--drop-after=lots"},
        {"--data=" + dir, "--listen=127.0.0.2:0", "--idle-timeout=0"},
        {"--data=" + dir, "--listen=127.0.0.2:0", "--min-rate=0"},
        {"--data=" + dir, "--listen=127.0.0.2:0", "--listen=127.0.0.3:1"},
    };
    for (const auto& args : wrong) {
        const EmulatorRun run = runEmulator(args, 5s);
        const std::string shown = args.empty() ? "(none)" : args.back();
        EXPECT_EQ(run.exitCode, 2) << shown << ": " << run.output;
        EXPECT_EQ(run.output.rfind("scale-emulator: ", 0), 0u) << shown << ": " << run.output;
        EXPECT_EQ(run.output.find('\n'), run.output.size() - 1) << shown << ": " << run.output;
        EXPECT_NE(run.output.find("(see 'scale-emulator --help')"), std::string::npos) << shown;
    }
    EXPECT_TRUE(std::filesystem::is_empty(data.path()));
}

TEST(Emulator, HelpAndVersionSucceedWithoutServing) {
    for (const char* option : {"--help", "-h"}) {
        const EmulatorRun run = runEmulator({option}, 5s);
        EXPECT_EQ(run.exitCode, 0) << option;
        for (const char* listed : {"--data", "--listen", "--seed", "--refuse", "--stall", "--version"})
            EXPECT_NE(run.output.find(listed), std::string::npos) << option << " lacks " << listed;
    }
    for (const char* option : {"--version", "-V"}) {
        const EmulatorRun run = runEmulator({option, "--listen=192.0.2.1"}, 5s);
        EXPECT_EQ(run.exitCode, 0) << option;
        EXPECT_EQ(run.output, std::string("scale-emulator ") + ZALOHY_VERSION + "\n") << option;
    }
}

TEST(Emulator, LongOptionsTakeTheirValueAfterAnEqualsSign) {
    ScratchFolder data("zalohy-net-equals-");
    // Runs until the time-out ends it: it must have started and seeded.
    const EmulatorRun run = runEmulator(
        {"--data=" + data.path().string(), "--listen=127.0.0.2:0", "--seed", "--refuse=F74", "--delay=1"}, 1500ms);
    EXPECT_NE(run.output.find("ready port="), std::string::npos) << run.output;
    EXPECT_TRUE(std::filesystem::exists(data / "127.0.0.2" / "25.dat"));
}

TEST_F(ScaleLinkTest, FiftyScalesInOneProcessKeepTheirOwnFiles) {
    constexpr std::size_t kScales = 50;
    startEmulator({}, true, kScales);
    for (std::size_t i = 0; i < kScales; ++i)
        for (const DataKind& kind : kDataKinds) ASSERT_TRUE(std::filesystem::exists(emulator().scaleFile(i, kind.id)));

    const DataKind& shop = kDataKinds[kShopName];
    for (std::size_t i : {std::size_t(0), kScales / 2, kScales - 1}) {
        ASSERT_EQ(run(shop.downloadWord, i), 0) << address(i);
        EXPECT_TRUE(sameBytes(readFile(scaleFileName(address(i), shop.downloadedSuffix)), scaleBytes(shop, i) + "E2"));
    }
    const std::string neighbour = scaleBytes(shop, 4);
    writeFile(scaleFileName(address(3), shop.uploadSuffix), "Potraviny U Trojky");
    ASSERT_EQ(run(shop.uploadWord, 3), 0);
    EXPECT_EQ(scaleBytes(shop, 3), "Potraviny U Trojky");
    EXPECT_EQ(scaleBytes(shop, 4), neighbour);
}

TEST(Emulator, DemoDataIsDeterministicPlausibleAndKeepsExistingFiles) {
    ScratchFolder first("zalohy-net-seed-"), second("zalohy-net-seed-");
    std::filesystem::create_directories(second / "127.0.0.2");
    writeFile(second / "127.0.0.2" / "25.dat", "our own PLU file");
    EmulatorProcess a({first.path(), {"127.0.0.2"}, 0, true, {}, {}});
    EmulatorProcess b({second.path(), {"127.0.0.2"}, 0, true, {}, {}});
    ASSERT_TRUE(a.start()) << a.error();
    ASSERT_TRUE(b.start()) << b.error();
    for (const DataKind& kind : kDataKinds) {
        const std::string bytes = readFile(a.scaleFile(0, kind.id));
        EXPECT_FALSE(bytes.empty()) << kind.name;
        if (kind.id != kDataKinds[kPlu].id) {
            EXPECT_TRUE(sameBytes(readFile(b.scaleFile(0, kind.id)), bytes)) << kind.name;
        }
    }
    EXPECT_EQ(readFile(b.scaleFile(0, kDataKinds[kPlu].id)), "our own PLU file");
    // A few hundred PLU records, a small picture, a short shop name.
    EXPECT_GE(readFile(a.scaleFile(0, kDataKinds[kPlu].id)).size(), 20'000u);
    EXPECT_EQ(readFile(a.scaleFile(0, kDataKinds[kImage].id)).substr(0, 2), "BM");
    EXPECT_LT(readFile(a.scaleFile(0, kDataKinds[kShopName].id)).size(), 1024u);
}

TEST_F(ScaleLinkTest, UploadCutShortKeepsTheScaleFileAndNoTemporaryFile) {
    startEmulator();
    const DataKind& plu = kDataKinds[kPlu];
    const std::string before = scaleBytes(plu);
    {
        net::Socket socket = connectTo(emulator());
        const std::string part = header(wire::FrameType::Upload, plu.id, 100000) + std::string(5000, 'x');
        ASSERT_EQ(net::sendAll(socket, part.data(), part.size(), 2000), net::Result::Ok);
    }
    ASSERT_TRUE(emulatorLogged("connection lost after 5000 of 100000 bytes")) << emulator().output();
    EXPECT_TRUE(sameBytes(scaleBytes(plu), before));
    for (const auto& entry : std::filesystem::directory_iterator(emulator().scaleFolder()))
        EXPECT_EQ(entry.path().filename().string().find(".part"), std::string::npos) << entry.path();
}

TEST_F(ScaleLinkTest, WrongPeerGetsNoAnswerOrARefusalAndServingGoesOn) {
    startEmulator();
    {
        net::Socket socket = connectTo(emulator());
        const std::string request = "GET / HTTP/1.0\r\n\r\n";
        ASSERT_EQ(net::sendAll(socket, request.data(), request.size(), 2000), net::Result::Ok);
        EXPECT_EQ(receiveToEnd(socket), "");
    }
    {
        net::Socket socket = connectTo(emulator());
        const std::string request = header(wire::FrameType::Download, kDataKinds[kPlu].id, 0, 2);
        ASSERT_EQ(net::sendAll(socket, request.data(), request.size(), 2000), net::Result::Ok);
        const std::string answer = receiveToEnd(socket);
        ASSERT_EQ(answer.size(), wire::kHeaderSize);
        wire::Header decoded;
        EXPECT_EQ(wire::decodeHeader(reinterpret_cast<const unsigned char*>(answer.data()), decoded),
                  wire::DecodeResult::Ok);
        EXPECT_EQ(decoded.status, static_cast<std::uint8_t>(wire::AnswerStatus::UnsupportedVersion));
    }
    EXPECT_EQ(run(kDataKinds[kPlu].downloadWord), 0);
}

TEST_F(ScaleLinkTest, StopsCleanlyOnSigtermEvenWithAStalledConnection) {
    startEmulator({"--stall"});
    net::Socket socket = connectTo(emulator());
    const std::string request = header(wire::FrameType::Download, kDataKinds[kPlu].id, 0);
    ASSERT_EQ(net::sendAll(socket, request.data(), request.size(), 2000), net::Result::Ok);
    ASSERT_TRUE(emulatorLogged("stalling"));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(emulator().stop(), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    EXPECT_NE(emulator().output().find("\nstopped\n"), std::string::npos) << emulator().output();
}

// A full table of idle clients and one that trickles a byte of its request
// now and then: all are dropped within the time-out, and a client that comes
// meanwhile waits in the queue and is served, never refused.
TEST_F(ScaleLinkTest, IdleAndTricklingClientsAreDroppedAndAFullTableOnlyDelaysANewOne) {
    startEmulator({"--idle-timeout", "400", "--min-rate", "100"});
    std::vector<net::Socket> idle;
    for (int i = 0; i < 128; ++i) idle.push_back(connectTo(emulator()));
    net::Socket trickler = connectTo(emulator());
    const std::string request = header(wire::FrameType::Download, kDataKinds[kTexts].id, 0);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(run(kDataKinds[kTexts].downloadWord), 0);  // queued behind the idle ones
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    char byte = request[0];
    net::Result sent = net::Result::Ok;
    for (std::size_t i = 0; i < request.size() && sent == net::Result::Ok; ++i) {
        byte = request[i];
        sent = net::sendAll(trickler, &byte, 1, 200);
        std::this_thread::sleep_for(100ms);
    }
    EXPECT_EQ(receiveToEnd(trickler), "");  // dropped before the request was whole
    EXPECT_LT(std::chrono::steady_clock::now() - start, 4s);
    EXPECT_EQ(receiveToEnd(idle.front()), "");
    EXPECT_TRUE(emulatorLogged("no whole request in time: connection dropped"));
}

TEST_F(ScaleLinkTest, UploadTricklingBelowTheLeastRate_isDroppedAndNothingStored_oneAboveItIsStoredHoweverLong) {
    startEmulator({"--idle-timeout", "300", "--min-rate", "1000"});
    const DataKind& plu = kDataKinds[kPlu];
    // 100 bytes every 200 ms: never idle, but half the least rate; 2000
    // bytes every 100 ms: twenty times it, the received bytes counted, for
    // three times the idle time.
    for (const std::size_t chunk : {100u, 2000u}) {
        const bool slow = chunk == 100u;
        const std::string before = scaleBytes(plu);
        const std::string bytes(chunk * 10, 'u');
        net::Socket socket = connectTo(emulator());
        const std::string start = header(wire::FrameType::Upload, plu.id, bytes.size());
        ASSERT_EQ(net::sendAll(socket, start.data(), start.size(), 2000), net::Result::Ok);
        for (std::size_t at = 0; at < bytes.size(); at += chunk) {
            if (net::sendAll(socket, bytes.data() + at, chunk, 200) != net::Result::Ok) break;
            std::this_thread::sleep_for(slow ? 200ms : 100ms);
        }
        const std::string answer = receiveToEnd(socket);
        EXPECT_EQ(answer.size(), slow ? 0u : wire::kHeaderSize) << chunk;
        EXPECT_TRUE(sameBytes(scaleBytes(plu), slow ? before : bytes)) << chunk;
    }
    EXPECT_TRUE(emulatorLogged("too slow after")) << emulator().output();
}

// Under TWSWTCP_LOOPBACK_ONLY only 127.0.0.0/8 may be dialled. Checked on the
// rule itself: a broken guard must not make the test dial anything else.
TEST(LoopbackRule, onlyLoopbackAddressesMayBeDialledWhenTheVariableIsSet) {
    std::uint32_t address = 0;
    for (const char* text : {"127.0.0.1", "127.0.0.2", "127.255.255.254"}) {
        ASSERT_TRUE(net::parseIPv4(text, address));
        EXPECT_TRUE(net::mayDial(address, true)) << text;
    }
    for (const char* text : {"192.168.5.8", "192.168.5.2", "10.0.0.1", "128.0.0.1", "0.0.0.0"}) {
        ASSERT_TRUE(net::parseIPv4(text, address));
        EXPECT_FALSE(net::mayDial(address, true)) << text;
        EXPECT_TRUE(net::mayDial(address, false)) << text;
    }
    const char* before = std::getenv("TWSWTCP_LOOPBACK_ONLY");
    const std::string saved = before ? before : "";
    for (const auto& [value, only] : {std::pair{"1", true}, {"yes", true}, {"0", false}, {"", false}}) {
        setenv("TWSWTCP_LOOPBACK_ONLY", value, 1);
        EXPECT_EQ(net::loopbackOnly(), only) << '"' << value << '"';
    }
    if (before) setenv("TWSWTCP_LOOPBACK_ONLY", saved.c_str(), 1);
    else unsetenv("TWSWTCP_LOOPBACK_ONLY");
}
