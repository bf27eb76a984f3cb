// Measures `zaltool report` over a backup folder such as a big chain's
// nightly job leaves: SCALES scales x GENERATIONS dated archives of six small
// members each (the newest differing from the one before in one kind), a list
// of the scales and a run record of every night. Median wall time of the
// whole process over several repetitions on a warm page cache, and its peak
// resident memory as wait4 reports it.
//
//   bench_report [--scales N] [--generations N] [--reps N] [--dir FOLDER] [--zaltool PATH]
//
// Exit status 0 when the median stays under 2 s, 1 otherwise.
#include "RunProgram.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

using bench::Sample;

Sample runProgram(const std::vector<std::string>& args) { return bench::runProgram("bench_report", args, true); }

void put32(std::string& bytes, std::size_t at, std::int32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>((static_cast<std::uint32_t>(value) >> (8 * i)) & 0xFF);
}

// An archive of the six kinds, `sizes` bytes each, member bytes seeded by `seed`.
std::string archive(unsigned seed, std::size_t size) {
    static const int ids[] = {34, 38, 52, 41, 25, 67};  // appended in the backup run's order
    static const int slots[] = {0, 1, 3, 2, 4, 5};
    std::string bytes(128, '\0');
    put32(bytes, 0, 1);
    for (int k = 0; k < 6; ++k) {
        const auto first = static_cast<std::int32_t>(bytes.size());
        for (std::size_t i = 0; i < size; ++i) bytes.push_back(static_cast<char>((i * 31 + k * 7 + (k == 0 ? seed : 0)) & 0xFF));
        put32(bytes, 8 + 12 * slots[k], ids[k]);
        put32(bytes, 12 + 12 * slots[k], first);
        put32(bytes, 16 + 12 * slots[k], static_cast<std::int32_t>(bytes.size()) - 1);
    }
    return bytes;
}

void write(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::string dateBefore(int days) {
    const std::time_t when = std::time(nullptr) - static_cast<std::time_t>(days) * 86400;
    std::tm local{};
    localtime_r(&when, &local);
    char text[16];
    std::strftime(text, sizeof text, "%Y-%m-%d", &local);
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    int scales = 1000, generations = 14, reps = 5;
    fs::path dir = fs::temp_directory_path();
    std::string zaltool = ZALTOOL_PATH;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--scales") scales = std::atoi(argv[i + 1]);
        else if (option == "--generations") generations = std::atoi(argv[i + 1]);
        else if (option == "--reps") reps = std::atoi(argv[i + 1]);
        else if (option == "--dir") dir = argv[i + 1];
        else if (option == "--zaltool") zaltool = argv[i + 1];
        else return std::fprintf(stderr, "bench_report: unknown option %s\n", argv[i]), 2;
    }
    const fs::path root = dir / ("zalohy-bench-report-" + std::to_string(getpid()));
    const fs::path folder = root / "Zalohy";
    fs::create_directories(folder);

    std::string list, record;
    for (int s = 0; s < scales; ++s) {
        const std::string address = "10." + std::to_string(s / 250) + "." + std::to_string(s % 250) + ".1";
        list += address + "\n";
        for (int g = 0; g < generations; ++g) {
            const std::string date = dateBefore(g);
            // The newest two differ in the formats; older ones repeat the second.
            write(folder / (address + "-" + date + ".zal"), archive(g == 0 ? 1 : 2, 300));
            record += "{\"time\":\"" + date + "T02:00:00\",\"command\":\"backup-list\",\"address\":\"" + address +
                      "\",\"status\":\"" + (s % 17 == 0 ? "failed" : "ok") + "\",\"library_status\":" +
                      (s % 17 == 0 ? "5" : "0") + ",\"archive\":\"" + address + "-" + date + ".zal\"}\n";
        }
    }
    write(root / "seznam.lst", list);
    write(folder / "zaltool-zaznam.jsonl", record);

    const std::vector<std::string> command = {zaltool, "report", folder.string(), "--list=" + (root / "seznam.lst").string(),
                                              "--out=" + (root / "prehled.html").string()};
    runProgram(command);  // warms the page cache
    std::vector<Sample> samples;
    for (int r = 0; r < reps; ++r) samples.push_back(runProgram(command));
    std::sort(samples.begin(), samples.end(), [](const Sample& a, const Sample& b) { return a.seconds < b.seconds; });
    const double median = samples[samples.size() / 2].seconds;
    long peak = 0;
    for (const Sample& s : samples) peak = std::max(peak, s.peakKiB);
    const auto page = fs::file_size(root / "prehled.html");
    std::printf("zaltool report: %d scales x %d generations, median of %d: %.3f s, peak RSS %.1f MiB, page %.1f MiB\n",
                scales, generations, reps, median, peak / 1024.0, static_cast<double>(page) / (1024 * 1024));
    fs::remove_all(root);
    return median < 2.0 ? 0 : 1;
}
