#include "TrimDownloadedFile.h"

#include "FileIo.h"

#include <system_error>

namespace zalohy {

using fileio::File;

int TrimDownloadedFile(const std::string& fileName, Report& report, bool& backupOk) {
    auto fail = [&](const std::string& line) {
        report.line(line);
        backupOk = false;
        return 1;
    };
    const auto path = fileio::toPath(fileName);
    const auto entry = fileio::findOrdinaryFile(path);
    if (!entry) return fail("Error opening file " + fileName);
    report.line("K_E2 Input file:" + entry->name);
    // Only the bytes the directory entry counted are looked at, even if the
    // file grows meanwhile.
    const auto size = static_cast<std::int64_t>(entry->size);
    if (size < 1) return fail(" Input file is empty ?? please check file");

    File in;
    if (!in.open(path, "rb")) return fail("Error opening file " + fileName);
    const std::filesystem::path temp = "temp.dat";
    File out;
    std::error_code ec;
    // Creating the scratch file must never truncate the very file being read.
    if (std::filesystem::equivalent(path, temp, ec) || !out.open(temp, "wb"))
        return fail("Error opening file  temp.dat");

    // Everything before the last two bytes is copied unchanged.
    const std::int64_t body = size >= 2 ? size - 2 : 0;
    const fileio::CopyResult copy = fileio::copyBytes(in, out, body);
    if (copy.copied != body || copy.readError || copy.writeError) return fail("unknown error ");
    // The next-to-last byte is dropped when it is "E", the last when it is
    // "2", each tested by itself; a 1-byte file has only the "E" position.
    const char markers[2] = {'E', '2'};
    bool written = true;
    for (std::int64_t position = body; position < size; ++position) {
        char c = 0;
        if (in.read(&c, 1) != 1) break;
        if (c != markers[position - body]) written = written && out.write(&c, 1);
    }
    in.close();
    // A trimmed copy that did not reach the disk whole must never replace the
    // downloaded file.
    if (!out.close() || !written) return fail("unknown error ");

    if (!fileio::replaceFile(temp, path)) {
        report.line("Chyba pri prejmenovani souboru " + fileName);
        backupOk = false;
    }
    return 0;
}

}  // namespace zalohy
