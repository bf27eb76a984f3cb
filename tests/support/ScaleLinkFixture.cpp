#include "ScaleLinkFixture.h"

#include "Net.h"
#include "ScaleCommand.h"

#include <cctype>
#include <thread>

namespace zalohy::test {

namespace fs = std::filesystem;

void ScaleLinkTest::SetUpTestSuite() {
    const LibraryBinding binding = ScaleLibrary::bindFile(ZALOHY_SCALELIB_PATH);
    ASSERT_TRUE(binding.ok) << binding.message();
}

void ScaleLinkTest::startEmulator(std::vector<std::string> extraArgs, bool seed, std::size_t count, int first) {
    emulator_.reset();
    EmulatorSetup setup;
    setup.dataDir = data_.path();
    setup.addresses = loopbackAddresses(count, first);
    setup.seed = seed;
    setup.extraArgs = std::move(extraArgs);
    emulator_ = std::make_unique<EmulatorProcess>(setup);
    ASSERT_TRUE(emulator_->start()) << emulator_->error();
}

int ScaleLinkTest::run(const std::string& word, std::size_t scale) { return run(word, address(scale)); }

int ScaleLinkTest::run(const std::string& word, const std::string& address) {
    struct : Report {
        bool unreadable = false;
        void message(const std::string&, const std::string&) override { unreadable = true; }
        void line(const std::string&) override {}
    } report;
    const auto start = std::chrono::steady_clock::now();
    const int status = RunScaleCommand(scaleCommandLine(word, address), &report);
    lastDuration = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    EXPECT_FALSE(report.unreadable) << word << " " << address;
    EXPECT_EQ(readFile("error"), std::to_string(status) + "\n") << word << " " << address;
    return status;
}

std::string ScaleLinkTest::scaleBytes(const DataKind& kind, std::size_t scale) const {
    return readFile(emulator_->scaleFile(scale, kind.id));
}

void ScaleLinkTest::setScaleBytes(const DataKind& kind, const std::string& bytes, std::size_t scale) const {
    writeFile(emulator_->scaleFile(scale, kind.id), bytes);
}

std::set<std::string> ScaleLinkTest::workFiles() const {
    std::set<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(work_.path()))
        names.insert(entry.path().filename().string());
    return names;
}

bool ScaleLinkTest::emulatorLogged(const std::string& text) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (emulator_->output().find(text) == std::string::npos) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

std::string otherCase(std::string word) {
    for (char& c : word)
        c = static_cast<char>(std::isupper(static_cast<unsigned char>(c)) ? std::tolower(static_cast<unsigned char>(c))
                                                                          : std::toupper(static_cast<unsigned char>(c)));
    return word;
}

std::uint16_t unusedPort(const std::string& address) {
    std::uint32_t ip = 0;
    net::Socket socket;
    if (!net::parseIPv4(address, ip) || net::listenTcp(ip, 0, socket) != net::Result::Ok) return 0;
    return net::localPort(socket);
}

}  // namespace zalohy::test
