// Measures zaltool append and extract of one large member against cp of the
// same file, and against cp followed by sync of the copy and its folder (zaltool
// puts what it writes on the disk, cp alone does not): median wall time over
// several repetitions on a warm page cache, interleaved so that all see the
// same machine state, and the peak resident memory of each process as wait4
// reports it.
//
//   bench_archive [--size MiB] [--reps N] [--dir FOLDER] [--zaltool PATH]
//
// Exit status 0 when both zaltool commands stay within 1.05 x the median time
// of cp and sync and under 16 MiB peak memory, 1 otherwise.
#include "RunProgram.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

using bench::Sample;

Sample runProgram(const std::vector<std::string>& args) { return bench::runProgram("bench_archive", args); }

double median(std::vector<Sample> samples) {
    std::sort(samples.begin(), samples.end(), [](const Sample& a, const Sample& b) { return a.seconds < b.seconds; });
    const std::size_t n = samples.size();
    return n % 2 ? samples[n / 2].seconds : (samples[n / 2 - 1].seconds + samples[n / 2].seconds) / 2;
}

long peak(const std::vector<Sample>& samples) {
    long kib = 0;
    for (const Sample& s : samples) kib = std::max(kib, s.peakKiB);
    return kib;
}

void writeData(const fs::path& path, std::size_t mib) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    std::mt19937_64 random(42);
    std::vector<std::uint64_t> block((1 << 20) / sizeof(std::uint64_t));
    for (std::size_t i = 0; i < mib; ++i) {
        for (auto& word : block) word = random();
        out.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(block.size() * 8));
    }
}

bool sameContent(const fs::path& a, const fs::path& b) {
    std::ifstream x(a, std::ios::binary), y(b, std::ios::binary);
    std::vector<char> bx(1 << 20), by(1 << 20);
    while (x && y) {
        x.read(bx.data(), static_cast<std::streamsize>(bx.size()));
        y.read(by.data(), static_cast<std::streamsize>(by.size()));
        if (x.gcount() != y.gcount() || !std::equal(bx.begin(), bx.begin() + x.gcount(), by.begin())) return false;
    }
    return !x && !y;
}

}  // namespace

int main(int argc, char** argv) {
    std::size_t mib = 256;
    int reps = 7;
    fs::path folder;
    std::string zaltool = ZALTOOL_PATH;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string opt = argv[i];
        if (opt == "--size") mib = std::stoul(argv[i + 1]);
        else if (opt == "--reps") reps = std::max(1, std::stoi(argv[i + 1]));
        else if (opt == "--dir") folder = argv[i + 1];
        else if (opt == "--zaltool") zaltool = argv[i + 1];
        else {
            std::fprintf(stderr, "usage: bench_archive [--size MiB] [--reps N] [--dir FOLDER] [--zaltool PATH]\n");
            return 2;
        }
    }
    const bool ownFolder = folder.empty();
    if (ownFolder) {
        folder = fs::temp_directory_path() / ("bench-archive-" + std::to_string(getpid()));
        fs::create_directories(folder);
    }
    const fs::path data = folder / "member.dat", copy = folder / "copy.dat", archive = folder / "bench.zal",
                   out = folder / "out.dat";
    std::printf("member %zu MiB, %d repetitions, folder %s\n", mib, reps, folder.c_str());
    writeData(data, mib);

    // One untimed round warms the page cache and the programs.
    runProgram({"cp", data.string(), copy.string()});
    runProgram({zaltool, "append", archive.string(), "34", data.string()});
    runProgram({zaltool, "extract", archive.string(), "34", out.string()});
    const bool identical = sameContent(data, out);

    std::vector<Sample> cp, cpSync, append, extract;
    for (int r = 0; r < reps; ++r) {
        fs::remove(copy);
        cp.push_back(runProgram({"cp", data.string(), copy.string()}));
        fs::remove(copy);
        Sample synced = runProgram({"cp", data.string(), copy.string()});
        synced.seconds += runProgram({"sync", copy.string(), folder.string()}).seconds;
        cpSync.push_back(synced);
        fs::remove(archive);
        append.push_back(runProgram({zaltool, "append", archive.string(), "34", data.string()}));
        fs::remove(out);
        extract.push_back(runProgram({zaltool, "extract", archive.string(), "34", out.string()}));
    }

    const double base = median(cp), synced = median(cpSync);
    std::printf("%-16s %12s %10s %13s %14s\n", "command", "median s", "x cp", "x cp+sync", "peak RSS MiB");
    auto row = [&](const char* name, const std::vector<Sample>& s) {
        std::printf("%-16s %12.3f %10.2f %13.2f %14.1f\n", name, median(s), median(s) / base, median(s) / synced,
                    peak(s) / 1024.0);
    };
    row("cp", cp);
    row("cp + sync", cpSync);
    row("zaltool append", append);
    row("zaltool extract", extract);
    std::printf("extracted member identical: %s\n", identical ? "yes" : "NO");

    const bool met = identical && median(append) <= 1.05 * synced && median(extract) <= 1.05 * synced &&
                     peak(append) < 16 * 1024 && peak(extract) < 16 * 1024;
    std::printf("goal (<= 1.05 x cp + sync, < 16 MiB): %s\n", met ? "met" : "MISSED");
    std::error_code ec;
    if (ownFolder) fs::remove_all(folder, ec);
    else for (const fs::path& p : {data, copy, archive, out}) fs::remove(p, ec);
    return met ? 0 : 1;
}
