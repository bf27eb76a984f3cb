// Measures the scale library against the emulator on loopback: throughput of
// a large download compared with a plain TCP copy of the same bytes, and the
// cost of one call for a small file. See README.md.
#include "DataKind.h"
#include "EmulatorProcess.h"
#include "Net.h"
#include "ScaleCommand.h"
#include "ScratchFolder.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

using namespace zalohy;
using namespace zalohy::test;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr std::size_t kChunk = std::size_t(1) << 20;
constexpr int kIdleMs = 5000;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(p * static_cast<double>(values.size() - 1))];
}

std::string randomBytes(std::size_t size) {
    std::string bytes(size, '\0');
    std::mt19937_64 random(42);
    for (std::size_t i = 0; i + 8 <= size; i += 8) {
        const std::uint64_t v = random();
        std::memcpy(&bytes[i], &v, 8);
    }
    return bytes;
}

// Serves `rounds` connections on the listener: each gets the file's bytes,
// read from disk in chunks as the emulator does.
void plainServer(net::Socket& listener, const fs::path& file, int rounds) {
    std::vector<char> buffer(kChunk);
    for (int i = 0; i < rounds; ++i) {
        net::Socket connection;
        if (net::waitReadable(listener, kIdleMs) != net::Result::Ok ||
            net::acceptConnection(listener, connection) != net::Result::Ok)
            return;
        std::FILE* in = std::fopen(file.c_str(), "rb");
        if (!in) return;
        std::size_t got = 0;
        while ((got = std::fread(buffer.data(), 1, buffer.size(), in)) > 0)
            if (net::sendAll(connection, buffer.data(), got, kIdleMs) != net::Result::Ok) break;
        std::fclose(in);
    }
}

// Receives one plain copy into a file, as the library does; seconds taken.
double plainCopy(std::uint16_t port, const fs::path& target, std::size_t expected) {
    const Clock::time_point start = Clock::now();
    net::Socket socket;
    if (net::connectTcp("127.0.0.4", port, 3000, socket) != net::Result::Ok) return -1;
    std::FILE* out = std::fopen(target.c_str(), "wb");
    std::vector<char> buffer(kChunk);
    std::size_t total = 0, got = 0;
    while (net::receiveSome(socket, buffer.data(), buffer.size(), got, kIdleMs) == net::Result::Ok) {
        std::fwrite(buffer.data(), 1, got, out);
        total += got;
    }
    std::fclose(out);
    const double seconds = secondsSince(start);
    return total == expected ? seconds : -1;
}

int download(const DataKind& kind, const std::string& address, double& seconds) {
    const Clock::time_point start = Clock::now();
    const int status = RunScaleCommand(scaleCommandLine(kind.downloadWord, address));
    seconds = secondsSince(start);
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    std::size_t sizeMiB = 64;
    int calls = 200, rounds = 5;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--size-mib") sizeMiB = std::strtoul(argv[i + 1], nullptr, 10);
        else if (option == "--calls") calls = std::atoi(argv[i + 1]);
        else if (option == "--rounds") rounds = std::atoi(argv[i + 1]);
    }
    const std::size_t size = sizeMiB << 20;
    const DataKind& big = kDataKinds[kPlu];
    const DataKind& small = kDataKinds[kShopName];

    ScratchFolder data("zalohy-bench-data-");
    ScratchFolder work("zalohy-bench-work-", true);
    const std::vector<std::string> addresses{"127.0.0.2", "127.0.0.3"};
    for (const std::string& a : addresses) fs::create_directories(data / a);
    const fs::path bigFile = data / addresses[0] / (std::to_string(big.id) + ".dat");
    const std::string bytes = randomBytes(size);
    writeFile(bigFile, bytes);
    writeFile(data / addresses[1] / (std::to_string(small.id) + ".dat"), randomBytes(1024));

    EmulatorSetup setup;
    setup.dataDir = data.path();
    setup.addresses = addresses;
    setup.logFile = work.path().parent_path() / (work.path().filename().string() + "-emulator.log");
    EmulatorProcess emulator(setup);
    if (!emulator.start()) {
        std::fprintf(stderr, "%s\n", emulator.error().c_str());
        return 1;
    }
    const LibraryBinding binding = ScaleLibrary::bindFile(ZALOHY_SCALELIB_PATH);
    if (!binding.ok) {
        std::fprintf(stderr, "%s\n", binding.message().c_str());
        return 1;
    }

    // The same bytes over a plain TCP connection on loopback, served from
    // this process; rounds alternate so both see the same machine load.
    net::NetScope scope;
    net::Socket listener;
    std::uint32_t loopback = 0;
    net::parseIPv4("127.0.0.4", loopback);
    if (net::listenTcp(loopback, 0, listener) != net::Result::Ok) return 1;
    std::thread server(plainServer, std::ref(listener), bigFile, rounds);
    const std::string downloaded = scaleFileName(emulator.scaleAddress(0), big.downloadedSuffix);
    std::vector<double> library, plain;
    for (int r = 0; r < rounds; ++r) {
        double seconds = 0;
        if (download(big, emulator.scaleAddress(0), seconds) != 0) {
            std::fprintf(stderr, "download failed\n");
            break;
        }
        library.push_back(seconds);
        if (r == 0 && readFile(downloaded) != bytes + "E2") {
            std::fprintf(stderr, "downloaded bytes differ\n");
            break;
        }
        fs::remove(downloaded);
        plain.push_back(plainCopy(net::localPort(listener), work / "plain.dat", size));
        fs::remove(work / "plain.dat");
    }
    server.join();
    if (library.size() != static_cast<std::size_t>(rounds) || *std::min_element(plain.begin(), plain.end()) < 0) {
        std::fprintf(stderr, "a transfer failed\n");
        return 1;
    }

    // Per-call cost for a 1 KiB file.
    std::vector<double> perCall;
    for (int i = 0; i < calls; ++i) {
        double seconds = 0;
        if (download(small, emulator.scaleAddress(1), seconds) != 0) return 1;
        perCall.push_back(seconds * 1000.0);
    }

    const double mib = static_cast<double>(size) / (1 << 20);
    const double libraryRate = mib / median(library), plainRate = mib / median(plain);
    std::printf("download of %zu MiB, median of %d rounds:\n", sizeMiB, rounds);
    std::printf("  library + emulator  %8.1f MiB/s  (best %.1f)\n", libraryRate,
                mib / *std::min_element(library.begin(), library.end()));
    std::printf("  plain TCP copy      %8.1f MiB/s  (best %.1f)\n", plainRate,
                mib / *std::min_element(plain.begin(), plain.end()));
    std::printf("  ratio               %8.2f  (target >= 0.50)\n", libraryRate / plainRate);
    std::printf("1 KiB download, %d calls: median %.3f ms, p90 %.3f ms, min %.3f ms\n", calls,
                median(perCall), percentile(perCall, 0.9), *std::min_element(perCall.begin(), perCall.end()));
    emulator.stop();
    fs::remove(setup.logFile);
    return 0;
}
