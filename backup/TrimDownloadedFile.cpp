#include "TrimDownloadedFile.h"

#include "FileIo.h"

#include <system_error>

namespace zalohy {

using fileio::File;

int TrimDownloadedFile(const std::string& fileName, TrimReport& owner) {
    auto fail = [&owner](const std::string& line) {
        owner.addLine(line);
        owner.setBackupFailed();
        return 1;
    };
    const auto path = fileio::toPath(fileName);
    const auto entry = fileio::findOrdinaryFile(path);
    if (!entry) return fail("Error opening file " + fileName);
    owner.addLine("K_E2 Input file:" + entry->name);
    // Only the bytes the directory entry counted are looked at, even if the
    // file grows meanwhile.
    const auto size = static_cast<std::int64_t>(entry->size);
    if (size < 1) return fail(" Input file is empty ?? please check file");

    File in;
    if (!in.open(path, "rb")) return fail("Error opening file " + fileName);
    const std::filesystem::path temp = "temp.dat";
    File out;
    std::error_code ec;
    // Creating the scratch file must never truncate the very file being read,
    // nor write through a link planted under the scratch file's name.
    if (std::filesystem::equivalent(path, temp, ec) || !fileio::createFresh(temp, out))
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
    if (!written || !out.sync() || !out.close()) return fail("unknown error ");

    if (!fileio::replaceFile(temp, path)) {
        owner.addLine("Chyba pri prejmenovani souboru " + fileName);
        owner.setBackupFailed();
    }
    return 0;
}

}  // namespace zalohy
