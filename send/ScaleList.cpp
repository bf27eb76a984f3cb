#include "ScaleList.h"

#include "File.h"

namespace zalohy {

namespace {

// White space as the C library's "%s" sees it in the "C" locale.
bool isWhiteSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// The piece's first word, and what follows it without the white space around.
void splitPiece(std::string_view piece, std::string& word, std::string& rest) {
    std::size_t begin = 0;
    while (begin < piece.size() && isWhiteSpace(piece[begin])) ++begin;
    std::size_t end = begin;
    while (end < piece.size() && !isWhiteSpace(piece[end])) ++end;
    word = piece.substr(begin, end - begin);
    while (end < piece.size() && isWhiteSpace(piece[end])) ++end;
    std::size_t restEnd = piece.size();
    while (restEnd > end && isWhiteSpace(piece[restEnd - 1])) --restEnd;
    rest = piece.substr(end, restEnd - end);
}

// Opens a regular file for reading and nothing else (platform::openRegularFile).
std::FILE* openRegularFile(const std::string& fileName, ScaleListReader::Opened& opened) {
    bool notAFile = false;
    std::FILE* f = platform::openRegularFile(files::toPath(fileName), notAFile);
    opened = f ? ScaleListReader::Opened::Ok
               : notAFile ? ScaleListReader::Opened::NotAFile : ScaleListReader::Opened::Missing;
    return f;
}

}  // namespace

ScaleListReader::ScaleListReader(std::string_view text) : window_(text) {}

ScaleListReader::~ScaleListReader() {
    if (file_) std::fclose(file_);
}

ScaleListReader::Opened ScaleListReader::open(const std::string& fileName) {
    if (file_) std::fclose(file_);
    file_ = nullptr;
    window_ = {};
    started_ = ended_ = shortPiece_ = readError_ = false;
    line_ = 1;
    Opened opened;
    file_ = openRegularFile(fileName, opened);
    return opened;
}

bool ScaleListReader::refill() {
    if (!window_.empty()) return true;
    if (!file_) return false;
    const std::size_t got = std::fread(buffer_, 1, sizeof buffer_, file_);
    if (got == 0 && std::ferror(file_)) readError_ = true;
    window_ = std::string_view(buffer_, got);
    return got > 0;
}

int ScaleListReader::peek() {
    if (!refill()) return -1;
    return static_cast<unsigned char>(window_.front());
}

int ScaleListReader::get() {
    if (ended_) return -1;
    if (!started_) {
        started_ = true;
        // A list saved as UTF-8 by a Windows editor starts with a byte-order
        // mark, which must not become part of the first address. The first
        // buffer holds at least three bytes unless the file is shorter.
        refill();
        if (window_.substr(0, 3) == "\xEF\xBB\xBF") window_.remove_prefix(3);
    }
    int c = peek();
    if (c < 0 || c == 0x1A) {
        ended_ = true;
        return -1;
    }
    window_.remove_prefix(1);
    if (c == '\r' && peek() == '\n') {
        window_.remove_prefix(1);
        c = '\n';
    }
    return c;
}

std::optional<ScaleListEntry> ScaleListReader::next() {
    if (shortPiece_) return std::nullopt;
    char piece[kListPieceLength];
    std::size_t length = 0;
    while (length < kListPieceLength) {
        const int c = get();
        if (c < 0) break;
        piece[length++] = static_cast<char>(c);
        if (c == '\n') break;
    }
    if (length == 0 || readError_) return std::nullopt;
    if (length < kShortestListEntry) {
        shortPiece_ = true;
        return std::nullopt;
    }
    ScaleListEntry entry;
    entry.line = line_;
    splitPiece(std::string_view(piece, length), entry.address, entry.note);
    entry.problem = checkScaleAddress(entry.address);
    if (piece[length - 1] == '\n') ++line_;
    return entry;
}

namespace {

ScaleList readAll(ScaleListReader& reader) {
    ScaleList list;
    while (std::optional<ScaleListEntry> entry = reader.next()) list.entries.push_back(std::move(*entry));
    list.reachedEndOfFile = reader.reachedEndOfFile();
    return list;
}

}  // namespace

ScaleList parseScaleList(std::string_view bytes) {
    ScaleListReader reader(bytes);
    return readAll(reader);
}

std::optional<ScaleList> readScaleList(const std::string& fileName) {
    ScaleListReader reader;
    if (reader.open(fileName) != ScaleListReader::Opened::Ok) return std::nullopt;
    ScaleList list = readAll(reader);
    if (reader.hadReadError()) return std::nullopt;
    return list;
}

std::string skippedEntryLine(const ScaleListEntry& entry, std::string_view listName) {
    return "Řádek " + std::to_string(entry.line) + " souboru " + std::string(listName) + " přeskočen: " +
           addressProblemText(entry.problem);
}

}  // namespace zalohy
