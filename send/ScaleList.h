// The list of scales "seznam.lst" for sending one archive to a whole shop.
//
// The file is plain text, one scale per line, the address being the first
// word of the line; anything after it is a note. It is read as a text-mode
// stream in pieces of at most 39 characters, each piece ending after its line
// break if one comes within them: a longer line thus counts as several lines.
// The list ends at the end of the file, or earlier at the first piece shorter
// than 5 characters counting its line break (a blank line ends the list).
#pragma once

#include "ScaleAddress.h"

#include <cstddef>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zalohy {

inline constexpr const char* kScaleListFile = "seznam.lst";
// Longest piece read at a time, line break included.
inline constexpr std::size_t kListPieceLength = 39;
// A piece shorter than this, line break included, ends the list.
inline constexpr std::size_t kShortestListEntry = 5;

struct ScaleListEntry {
    int line = 0;               // the line of the file the piece comes from, from 1
    std::string address;        // the piece's first word, bytes as in the file
    std::string note;           // the rest of the piece, e.g. "pult 1", bytes as in the file
    AddressProblem problem = AddressProblem::None;  // why the entry cannot be used
};

struct ScaleList {
    std::vector<ScaleListEntry> entries;
    // True when the list ran to the end of the file, false when a short line
    // ended it.
    bool reachedEndOfFile = true;
};

// Reads the list one entry at a time, from a file or from text held in
// memory, in pieces as above: it never holds more than a small buffer of the
// file and stops at the end of the list, so a huge file or an endless one
// costs no memory. A CR LF pair reads as one line break and a Ctrl+Z ends the
// text, as a text-mode stream on Windows has it; a UTF-8 byte-order mark at
// the start is skipped.
class ScaleListReader {
public:
    enum class Opened { Ok, Missing, NotAFile };

    ScaleListReader() = default;
    explicit ScaleListReader(std::string_view text);
    ~ScaleListReader();
    ScaleListReader(const ScaleListReader&) = delete;
    ScaleListReader& operator=(const ScaleListReader&) = delete;

    // Opens the file. Anything but a regular file (a FIFO, a device such as
    // /dev/zero, a folder) is refused as NotAFile without a byte read from it
    // and without waiting for a writer; Missing when it cannot be opened.
    Opened open(const std::string& fileName);
    // The next entry; nothing at the end of the list: the end of the file, a
    // short piece, or a read error.
    std::optional<ScaleListEntry> next();
    // After next() gave nothing: whether the list ran to the end of the file.
    bool reachedEndOfFile() const { return !shortPiece_ && !readError_; }
    bool hadReadError() const { return readError_; }

private:
    int get();   // the next byte as a text-mode stream gives it, or -1
    int peek();  // the next raw byte, or -1
    bool refill();

    std::FILE* file_ = nullptr;
    std::string_view window_;  // unread bytes of the buffer or of the text
    char buffer_[512];
    bool started_ = false;
    bool ended_ = false;
    bool shortPiece_ = false;
    bool readError_ = false;
    int line_ = 1;
};

// The whole list held in text, the file's bytes as they are on disk.
ScaleList parseScaleList(std::string_view text);

// Reads and parses the file; nothing when it cannot be opened, is no regular
// file or cannot be read. Holds every entry: the runs use ScaleListReader.
std::optional<ScaleList> readScaleList(const std::string& fileName);

// The progress line for an entry that names no usable scale, e.g.
// "Řádek 3 souboru seznam.lst přeskočen: Adresa váhy nesmí obsahovat mezeru." (UTF-8).
std::string skippedEntryLine(const ScaleListEntry& entry, std::string_view listName);

}  // namespace zalohy
