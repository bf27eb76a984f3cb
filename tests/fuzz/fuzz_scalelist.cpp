// The list of scales against arbitrary files: the entries read must be those
// that reading the file the old way gives (a text-mode stream read in pieces
// of at most 39 characters, the first word of each piece of 5 characters or
// more as the address, a shorter piece ending the list), once a UTF-8
// byte-order mark at the start is left out: the reader skips it on purpose,
// so that a list saved by Notepad reads.
#include "FuzzSupport.h"
#include "ScaleAddress.h"
#include "ScaleList.h"

#include <cstdio>
#include <sstream>

using namespace zalohy;
using namespace zalohy::fuzz;

namespace {

struct Expected {
    std::vector<std::pair<int, std::string>> entries;  // line, address
    bool reachedEndOfFile = true;
};

Expected readTheOldWay(const std::string& file) {
    const std::string_view mark = "\xEF\xBB\xBF";
    const std::string bytes = file.starts_with(mark) ? file.substr(mark.size()) : file;
    // What a text-mode stream on Windows delivers: CR LF as LF, and nothing
    // after a Ctrl+Z.
    std::string text;
    for (std::size_t i = 0; i < bytes.size() && bytes[i] != '\x1A'; ++i)
        if (!(bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')) text.push_back(bytes[i]);
    writeBytes("text.lst", text);

    Expected expected;
    std::FILE* f = std::fopen("text.lst", "rb");
    require(f != nullptr, "cannot open the text copy");
    int line = 1;
    for (;;) {
        // fgets into a buffer of 40: at most 39 characters, up to and with the line break.
        std::string piece;
        int c = 0;
        while (piece.size() < 39 && (c = std::fgetc(f)) != EOF) {
            piece.push_back(static_cast<char>(c));
            if (c == '\n') break;
        }
        if (piece.empty()) break;
        if (piece.size() < 5) {
            expected.reachedEndOfFile = false;
            break;
        }
        std::istringstream words(piece);
        std::string address;
        words >> address;
        expected.entries.emplace_back(line, address);
        if (piece.back() == '\n') ++line;
    }
    std::fclose(f);
    return expected;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    enterCleanFolder();
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const ScaleList list = parseScaleList(bytes);
    const Expected expected = readTheOldWay(bytes);

    require(list.reachedEndOfFile == expected.reachedEndOfFile, "the end of the list is misplaced");
    require(list.entries.size() == expected.entries.size(), "wrong number of entries");
    for (std::size_t i = 0; i < list.entries.size(); ++i) {
        const ScaleListEntry& entry = list.entries[i];
        require(entry.line == expected.entries[i].first, "entry " + std::to_string(i) + " has the wrong line");
        require(entry.address == expected.entries[i].second, "entry " + std::to_string(i) + " has the wrong address");
        require(entry.problem == checkScaleAddress(entry.address), "entry " + std::to_string(i) + " misjudged");
    }

    // The file read from disk gives the same list.
    writeBytes(kScaleListFile, bytes);
    const std::optional<ScaleList> fromFile = readScaleList(kScaleListFile);
    require(fromFile.has_value(), "the list file cannot be read");
    require(fromFile->reachedEndOfFile == list.reachedEndOfFile && fromFile->entries.size() == list.entries.size(),
            "the file reads differently from its bytes");
    for (std::size_t i = 0; i < list.entries.size(); ++i)
        require(fromFile->entries[i].address == list.entries[i].address, "the file reads differently from its bytes");
    return 0;
}
