#include "TrimDownloadedFile.h"

#include "AtomicWrite.h"

#include <string>
#include <string_view>

namespace zalohy {

using files::File;

int TrimDownloadedFile(const std::string& fileName, Report& report, bool& backupOk) {
    auto fail = [&](const std::string& line) {
        report.line(line);
        backupOk = false;
        return 1;
    };
    const auto path = files::toPath(fileName);
    const auto entry = files::findOrdinaryFile(path);
    if (!entry) return fail("Error opening file " + fileName);
    report.line("K_E2 Input file:" + files::toUtf8(entry->name));
    // Only the bytes the directory entry counted are looked at, even if the
    // file grows meanwhile.
    const auto size = static_cast<std::int64_t>(entry->size);
    if (size < 1) return fail(" Input file is empty ?? please check file");

    File in;
    if (!in.open(path, "rb")) return fail("Error opening file " + fileName);
    // The next-to-last byte is dropped when it is "E", the last when it is
    // "2", each tested by itself; a 1-byte file has only the "E" position.
    const std::int64_t body = size >= 2 ? size - 2 : 0;
    const char markers[2] = {'E', '2'};
    char tail[2] = {};
    const auto tailLength = static_cast<std::size_t>(size - body);
    if (!in.seek(body) || in.read(tail, tailLength) != tailLength) return fail("unknown error ");
    std::string kept;
    for (std::size_t i = 0; i < tailLength; ++i)
        if (tail[i] != markers[i]) kept.push_back(tail[i]);
    if (kept.size() == tailLength) return 0;  // no marker: nothing to change

    // A file that may not be written stays as it is, reported as before,
    // when a trimmed copy could not be renamed over it.
    auto cannotReplace = [&] {
        report.line("Chyba pri prejmenovani souboru " + fileName);
        backupOk = false;
        return 0;
    };
    if (files::isReadOnly(path)) return cannotReplace();

    // The usual case: the marker is the file's end, and cutting it off is
    // one change of the file's length, done whole or not at all.
    if (std::string_view(tail, kept.size()) == kept) {
        in.close();
        return files::truncateFile(path, body + static_cast<std::int64_t>(kept.size())) ? 0
                                                                                      : fail("unknown error ");
    }

    // An "E" before a last byte that is not "2": that byte moves, so the
    // trimmed content is written to a new file beside it and renamed over it.
    // A copy that did not reach the disk whole never replaces the file. The
    // input is closed before the rename, which Windows refuses over an open file.
    const files::WriteResult written = files::writeFileAtomically(path, [&](File& out) {
        const bool copied = in.seek(0) && files::copyBytes(in, out, body).copied == body &&
                            out.write(kept.data(), kept.size());
        in.close();
        return copied;
    });
    if (written == files::WriteResult::NotPlaced) return cannotReplace();
    if (written != files::WriteResult::Written) return fail("unknown error ");
    return 0;
}

}  // namespace zalohy
