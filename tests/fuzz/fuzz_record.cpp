// The run record against arbitrary files: reading gives every complete line
// within the newest part of the file that parses, oldest first; every record
// read or written reads back as itself; an append keeps the file's lines,
// drops only whole old ones when the file grows past its limit, and keeps its
// own line.
//
// Input: one selector byte (bit 0: append a record; bit 1: no record file),
// one limit byte (255: the default limit, else four times its value in
// bytes), the record to append (time, command, address, status and archive,
// each a length byte and that many bytes; then a byte whose bit 0 says that
// four bytes of library status follow), then the record file's bytes.
#include "FuzzSupport.h"
#include "RunRecord.h"

#include <vector>

using namespace zalohy;
using namespace zalohy::fuzz;
namespace fs = std::filesystem;

namespace {

// The records a reading with this limit must give: each line that ends in a
// line break, starts within the last `limit` bytes and parses, oldest first.
std::vector<RunRecordLine> expectedRecords(const std::string& file, std::uint64_t limit) {
    std::vector<RunRecordLine> records;
    for (std::size_t start = 0, end; (end = file.find('\n', start)) != std::string::npos; start = end + 1)
        if (file.size() - start <= limit)
            if (auto record = parseRunRecord(std::string_view(file).substr(start, end - start)))
                records.push_back(std::move(*record));
    return records;
}

// A record is written as one line that reads back as the same record.
void requireRoundTrip(const RunRecordLine& record, const std::string& what) {
    const std::string line = formatRunRecord(record);
    require(!line.empty() && line.find('\n') == line.size() - 1, what + " is not written as one line");
    require(parseRunRecord(std::string_view(line).substr(0, line.size() - 1)) == record,
            what + " reads back differently");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    enterCleanFolder();
    Input input(bytes, size);
    const std::uint8_t selector = input.byte();
    const std::uint8_t limitByte = input.byte();
    RunRecordLimits limits;
    if (limitByte != 255) limits.maxBytes = 4u * limitByte;
    RunRecordLine record;
    for (std::string* field : {&record.time, &record.command, &record.address, &record.status, &record.archive})
        *field = std::string(input.take(input.byte()));
    if (input.byte() & 1) {
        std::uint32_t status = 0;
        for (int i = 0; i < 4; ++i) status = status << 8 | input.byte();
        record.libraryStatus = static_cast<std::int32_t>(status);
    }
    const bool missing = selector & 2;
    const std::string file = missing ? std::string() : std::string(input.rest());
    if (!missing) writeBytes(kRunRecordFile, file);
    requireRoundTrip(record, "the record to append");

    const fs::path folder = fs::current_path();
    const std::vector<RunRecordLine> read = readRunRecord(folder, limits);
    require(read == expectedRecords(file, limits.maxBytes), "the records read are not the file's complete lines");
    for (const RunRecordLine& each : read) requireRoundTrip(each, "a record read");
    require(fs::exists(kRunRecordFile) != missing, "reading made or removed the record");
    if (!missing) require(readBytes(kRunRecordFile) == file, "reading changed the record");
    if (!(selector & 1)) return 0;

    // The file as an append without a limit leaves it: a cut last line is
    // ended first, so the new line starts a line of its own.
    const std::string line = formatRunRecord(record);
    const std::string whole = file + (file.empty() || file.back() == '\n' ? "" : "\n") + line;
    require(appendRunRecord(folder, record, limits), "the append failed");
    const std::string after = readBytes(kRunRecordFile);
    if (whole.size() <= limits.maxBytes) {
        require(after == whole, "an append within the limit changed more than its line");
    } else {
        require(after.size() <= limits.maxBytes, "the record grew past its limit");
        require(whole.ends_with(after) && (after.empty() || whole[whole.size() - after.size() - 1] == '\n'),
                "shortening kept other than the newest whole lines");
        // It keeps about half the limit: a line that fits there stays.
        require(line.size() > limits.maxBytes / 2 || after.ends_with(line), "shortening dropped the new line");
    }
    require(readRunRecord(folder, limits) == expectedRecords(after, limits.maxBytes),
            "the records read after the append are not the file's complete lines");
    return 0;
}
