// Downloads and uploads through RunScaleCommand, the real library and the
// emulator on loopback.
#include "ScaleLinkFixture.h"
#include "TrimDownloadedFile.h"

#include <unistd.h>

using namespace zalohy;
using namespace zalohy::test;

namespace {

// Every byte value, in an order that is not a plain repetition.
std::string binaryBytes(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 131 + (i >> 12)) & 0xFF);
    return bytes;
}

struct RecordingReport : Report {
    std::vector<std::string> lines;
    bool failed = false;
    void message(const std::string&, const std::string&) override {}
    void line(const std::string& line) override { lines.push_back(line); }
};

}  // namespace

TEST_F(ScaleLinkTest, EveryDownloadWordLeavesTheScaleFileWithTheEndMarker) {
    startEmulator();
    std::set<std::string> expected{"error"};
    for (const DataKind& kind : kDataKinds) {
        const std::string name = scaleFileName(address(), kind.downloadedSuffix);
        for (const std::string& word : {std::string(kind.downloadWord), otherCase(kind.downloadWord)}) {
            ASSERT_EQ(run(word), 0) << word << "\n" << emulator().output();
            EXPECT_TRUE(sameBytes(readFile(name), scaleBytes(kind) + "E2")) << word;
        }
        expected.insert(name);
    }
    // Only the finished files are left: no temporary ones.
    EXPECT_EQ(workFiles(), expected);
}

TEST_F(ScaleLinkTest, UploadThenDownloadGivesTheUploadedBytesBack) {
    startEmulator();
    for (const DataKind& kind : kDataKinds) {
        const std::string bytes = std::string("upload of the ") + kind.name + '\0' + binaryBytes(300 + kind.id);
        const std::string uploadName = scaleFileName(address(), kind.uploadSuffix);
        writeFile(uploadName, bytes);
        ASSERT_EQ(run(otherCase(kind.uploadWord)), 0) << kind.uploadWord << "\n" << emulator().output();
        EXPECT_TRUE(sameBytes(scaleBytes(kind), bytes)) << kind.name;
        // The library only reads the file; deleting it is the caller's work.
        EXPECT_EQ(readFile(uploadName), bytes);
        ASSERT_EQ(run(kind.downloadWord), 0) << kind.downloadWord;
        EXPECT_TRUE(sameBytes(readFile(scaleFileName(address(), kind.downloadedSuffix)), bytes + "E2")) << kind.name;
    }
}

TEST_F(ScaleLinkTest, EmptyAndMultiMegabyteBinaryFilesSurvive) {
    startEmulator({}, false);
    const DataKind& formats = kDataKinds[kFormats];
    writeFile(scaleFileName(address(), formats.uploadSuffix), "");
    ASSERT_EQ(run(formats.uploadWord), 0);
    EXPECT_EQ(scaleBytes(formats), "");
    ASSERT_EQ(run(formats.downloadWord), 0);
    EXPECT_EQ(readFile(scaleFileName(address(), formats.downloadedSuffix)), "E2");

    const DataKind& plu = kDataKinds[kPlu];
    const std::string big = binaryBytes(5 * 1024 * 1024 + 17);
    writeFile(scaleFileName(address(), plu.uploadSuffix), big);
    ASSERT_EQ(run(plu.uploadWord), 0);
    EXPECT_TRUE(sameBytes(scaleBytes(plu), big));
    ASSERT_EQ(run(plu.downloadWord), 0);
    EXPECT_TRUE(sameBytes(readFile(scaleFileName(address(), plu.downloadedSuffix)), big + "E2"));
}

TEST_F(ScaleLinkTest, TrimmedDownloadEqualsTheScaleFileByteForByte) {
    startEmulator();
    // Scale data that itself ends like the marker must survive the trimming too.
    setScaleBytes(kDataKinds[kTexts], "texts ending in the marker E2");
    setScaleBytes(kDataKinds[kShopName], "shop name ending in E");
    setScaleBytes(kDataKinds[kPresetKeys], "");
    for (const DataKind& kind : kDataKinds) {
        ASSERT_EQ(run(kind.downloadWord), 0) << kind.downloadWord;
        const std::string name = scaleFileName(address(), kind.downloadedSuffix);
        RecordingReport report;
        bool ok = true;
        EXPECT_EQ(TrimDownloadedFile(name, report, ok), 0) << kind.name;
        EXPECT_TRUE(ok) << kind.name;
        EXPECT_EQ(report.lines, std::vector<std::string>{"K_E2 Input file:" + name});
        EXPECT_TRUE(sameBytes(readFile(name), scaleBytes(kind))) << kind.name;
    }
    EXPECT_EQ(workFiles().count("temp.dat"), 0u);
}

TEST_F(ScaleLinkTest, AddressWithoutPortUsesTheDefaultPort) {
    // An address of its own, so that an emulator someone runs on 127.0.0.2
    // with the default port is not disturbed.
    const int last = 100 + static_cast<int>(::getpid() % 100);
    EmulatorSetup setup;
    ScratchFolder data("zalohy-net-default-");
    setup.dataDir = data.path();
    setup.addresses = loopbackAddresses(1, last);
    setup.port = scalelib::kDefaultPort;
    setup.seed = true;
    EmulatorProcess defaultPort(setup);
    if (!defaultPort.start()) GTEST_SKIP() << "the default port is taken here: " << defaultPort.error();
    const DataKind& shop = kDataKinds[kShopName];
    ASSERT_EQ(run(shop.downloadWord, setup.addresses[0]), 0);
    EXPECT_EQ(readFile(scaleFileName(setup.addresses[0], shop.downloadedSuffix)),
              readFile(defaultPort.scaleFile(0, shop.id)) + "E2");
}
