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
    AddressProblem problem = AddressProblem::None;  // why the entry cannot be used
};

struct ScaleList {
    std::vector<ScaleListEntry> entries;
    // True when the list ran to the end of the file, false when a short line
    // ended it.
    bool reachedEndOfFile = true;
};

// The list held in text, the file's bytes as they are on disk. A CR LF pair
// reads as one line break and a Ctrl+Z ends the text, as a text-mode stream
// on Windows has it; a UTF-8 byte-order mark at the start is skipped.
ScaleList parseScaleList(std::string_view text);

// Reads and parses the file; nothing when it cannot be opened or read.
std::optional<ScaleList> readScaleList(const std::string& fileName);

// The progress line for an entry that names no usable scale, e.g.
// "Řádek 3 souboru seznam.lst přeskočen: Adresa váhy nesmí obsahovat mezeru." (UTF-8).
std::string skippedEntryLine(const ScaleListEntry& entry, std::string_view listName);

}  // namespace zalohy
