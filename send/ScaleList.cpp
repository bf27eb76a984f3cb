#include "ScaleList.h"

#include "FileIo.h"

namespace zalohy {

namespace {

// White space as the C library's "%s" sees it in the "C" locale.
bool isWhiteSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// What a text-mode stream delivers of these bytes.
std::string textModeContent(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size());
    // A list saved as UTF-8 by a Windows editor starts with a byte-order
    // mark, which must not become part of the first address.
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\x1A') break;
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') continue;
        text.push_back(bytes[i]);
    }
    return text;
}

std::string firstWord(std::string_view piece) {
    std::size_t begin = 0;
    while (begin < piece.size() && isWhiteSpace(piece[begin])) ++begin;
    std::size_t end = begin;
    while (end < piece.size() && !isWhiteSpace(piece[end])) ++end;
    return std::string(piece.substr(begin, end - begin));
}

}  // namespace

ScaleList parseScaleList(std::string_view bytes) {
    const std::string text = textModeContent(bytes);
    ScaleList list;
    int line = 1;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t length = 0;
        while (length < kListPieceLength && at + length < text.size()) {
            if (text[at + length++] == '\n') break;
        }
        const std::string_view piece = std::string_view(text).substr(at, length);
        at += length;
        if (piece.size() < kShortestListEntry) {
            list.reachedEndOfFile = false;
            return list;
        }
        ScaleListEntry entry;
        entry.line = line;
        entry.address = firstWord(piece);
        entry.problem = checkScaleAddress(entry.address);
        list.entries.push_back(std::move(entry));
        if (piece.back() == '\n') ++line;
    }
    return list;
}

std::optional<ScaleList> readScaleList(const std::string& fileName) {
    fileio::File file;
    if (!file.open(fileio::toPath(fileName), "rb")) return std::nullopt;
    std::string bytes;
    char buffer[4096];
    for (;;) {
        const std::size_t got = file.read(buffer, sizeof buffer);
        bytes.append(buffer, got);
        if (got < sizeof buffer) break;
    }
    if (file.hadReadError()) return std::nullopt;
    return parseScaleList(bytes);
}

std::string skippedEntryLine(const ScaleListEntry& entry, std::string_view listName) {
    return "Řádek " + std::to_string(entry.line) + " souboru " + std::string(listName) + " přeskočen: " +
           addressProblemText(entry.problem);
}

}  // namespace zalohy
