// zaltool: the backup archive container on the command line, for technicians
// and scripts. Exit status 0 when done; 1 with one line on stderr otherwise.
#include "BackupArchive.h"
#include "DataKind.h"
#include "ToolConsole.h"

#include <charconv>
#include <cstdio>
#include <string>
#include <string_view>

using namespace zalohy;

namespace {

constexpr const char* kUsage =
    "usage: zaltool list ARCHIVE | extract ARCHIVE ID OUTFILE | append ARCHIVE ID DATAFILE | verify ARCHIVE";

int fail(const std::string& what) {
    std::fprintf(stderr, "zaltool: %s\n", what.c_str());
    return 1;
}

bool parseId(std::string_view text, std::int32_t& id) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), id);
    return ec == std::errc() && end == text.data() + text.size();
}

// Reads and checks the directory; on failure says why on stderr.
bool readDirectory(BackupArchive& archive, int& status) {
    std::array<std::int32_t, 10> ids{};
    if (archive.ReadDirectory(ids)) return true;
    status = fail(archive.lastError());
    return false;
}

int list(BackupArchive& archive) {
    int status = 0;
    if (!readDirectory(archive, status)) return status;
    const ArchiveHeader& header = archive.header();
    for (std::size_t i = 0; i < header.slots.size(); ++i) {
        const ArchiveSlot& s = header.slots[i];
        if (s.id == 0) continue;
        const DataKind* kind = kindById(s.id);
        std::printf("%s\t%d\t%zu\t%d\t%d\t%lld\n", kind ? kind->name : "unknown", s.id, i, s.first, s.last,
                    static_cast<long long>(s.last) - s.first + 1);
    }
    return 0;
}

int verify(BackupArchive& archive) {
    int status = 0;
    if (!readDirectory(archive, status)) return status;
    const std::string overlap = overlapProblem(archive.header());
    if (!overlap.empty()) return fail(archive.fileName() + ": not a sound archive: " + overlap);
    return 0;
}

int extract(BackupArchive& archive, std::int32_t id, const std::string& outFile) {
    return archive.ExtractMember(id, outFile) == BackupArchive::kExtracted ? 0 : fail(archive.lastError());
}

int append(BackupArchive& archive, std::int32_t id, const std::string& dataFile) {
    switch (archive.AppendMember(id, dataFile)) {
    case BackupArchive::kAppended: return 0;
    case BackupArchive::kAlreadyStored:
        return fail(archive.fileName() + " already holds member " + std::to_string(id));
    case BackupArchive::kUnknownId: return fail("no kind of data has the id " + std::to_string(id));
    default: return fail(archive.lastError());
    }
}

}  // namespace

int main(int argc, char** argv) {
    prepareToolConsole(argc, argv);
    const std::string command = argc > 1 ? argv[1] : "";
    const bool twoArgs = argc == 3 && (command == "list" || command == "verify");
    const bool fourArgs = argc == 5 && (command == "extract" || command == "append");
    if (!twoArgs && !fourArgs) return fail(kUsage);

    // Messages meant for the program's boxes are not shown here: the tool
    // reports through lastError() instead.
    BackupArchive archive(argv[2]);
    if (command == "list") return list(archive);
    if (command == "verify") return verify(archive);
    std::int32_t id = 0;
    if (!parseId(argv[3], id)) return fail(std::string("not a member id: ") + argv[3]);
    return command == "extract" ? extract(archive, id, argv[4]) : append(archive, id, argv[4]);
}
