#include "IniFile.h"

#include "AtomicWrite.h"

#include <cstdint>
#include <optional>
#include <string_view>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace zalohy {

namespace {

// A value is handed back with at most this many characters.
constexpr std::size_t kMaxValue = 2047;

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && (isBlank(s.back()) || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

bool sameName(std::string_view a, std::string_view b) {
    a = trimmed(a);
    b = trimmed(b);
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
        if (x != y) return false;
    }
    return true;
}

// A UTF-8 byte-order mark, which Notepad puts at the start of a file saved as
// UTF-8. It belongs to no line and stays where it is.
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

std::size_t textStart(const std::string& text) {
    return std::string_view(text).starts_with(kByteOrderMark) ? kByteOrderMark.size() : 0;
}

// The line break that ends the line found at `pos`: CR LF, a lone LF or a lone
// CR, as files from Windows, Unix and old Mac editors have them. Its position,
// or npos for a last line without one; `length` receives its length.
std::size_t findBreak(const std::string& text, std::size_t pos, std::size_t& length) {
    const std::size_t at = text.find_first_of("\r\n", pos);
    length = at == std::string::npos ? 0 : text.compare(at, 2, "\r\n") == 0 ? 2 : 1;
    return at;
}

// One line of the file as offsets into its text; `end` excludes the line
// break, `next` is where the following line starts.
struct Line {
    enum Kind { Blank, Comment, Section, Key, Other } kind = Blank;
    std::size_t begin = 0, end = 0, next = 0;
    std::string_view name;   // section or key name, untrimmed
    std::size_t valueBegin = 0;  // Key: first character after "=" and its blanks
};

std::vector<Line> splitLines(const std::string& text) {
    std::vector<Line> lines;
    std::size_t pos = textStart(text);
    while (pos < text.size()) {
        Line line;
        line.begin = pos;
        std::size_t breakLength = 0;
        const std::size_t lineBreak = findBreak(text, pos, breakLength);
        line.end = lineBreak == std::string::npos ? text.size() : lineBreak;
        line.next = line.end + breakLength;
        const std::string_view body = trimmed(std::string_view(text).substr(line.begin, line.end - line.begin));
        if (body.empty()) {
            line.kind = Line::Blank;
        } else if (body.front() == ';') {
            line.kind = Line::Comment;
        } else if (body.front() == '[' && body.find(']') != std::string_view::npos) {
            // A header is the name in square brackets; a line that opens a
            // bracket and never closes it is read like any other line.
            line.kind = Line::Section;
            line.name = body.substr(1, body.find(']') - 1);
        } else if (const std::size_t eq = body.find('='); eq != std::string_view::npos) {
            line.kind = Line::Key;
            line.name = body.substr(0, eq);
            line.valueBegin = static_cast<std::size_t>(body.data() - text.data()) + eq + 1;
            while (line.valueBegin < line.end && isBlank(text[line.valueBegin])) ++line.valueBegin;
        } else {
            line.kind = Line::Other;
        }
        lines.push_back(line);
        pos = line.next;
    }
    return lines;
}

// Where a key lives in the file: its section's lines [sectionBegin,
// sectionEnd) of `lines`, and the key's line, or npos for whatever is missing.
struct Place {
    static constexpr std::size_t npos = static_cast<std::size_t>(-1);
    std::size_t section = npos, sectionEnd = npos, key = npos;
};

Place locate(const std::vector<Line>& lines, const std::string& section, const std::string& key) {
    Place place;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].kind != Line::Section || !sameName(lines[i].name, section)) continue;
        place.section = i;
        place.sectionEnd = i + 1;
        while (place.sectionEnd < lines.size() && lines[place.sectionEnd].kind != Line::Section) ++place.sectionEnd;
        for (std::size_t k = i + 1; k < place.sectionEnd; ++k) {
            if (lines[k].kind == Line::Key && sameName(lines[k].name, key)) {
                place.key = k;
                break;
            }
        }
        break;
    }
    return place;
}

// The whole file; nothing when it is missing. Throws when it exists but cannot
// be read and `path` is given for the error.
std::optional<std::string> readWholeFile(const fs::path& file, const std::string* errorPath) {
    files::File in;
    std::error_code ec;
    if (!in.open(file, "rb")) {
        if (errorPath && fs::exists(file, ec)) throw IniWriteError(*errorPath);
        return std::nullopt;
    }
    std::string text;
    char block[4096];
    std::size_t got = 0;
    while ((got = in.read(block, sizeof block)) > 0) text.append(block, got);
    if (in.hadReadError()) {
        if (errorPath) throw IniWriteError(*errorPath);
        return std::nullopt;
    }
    return text;
}

// "0x"/"0X"/"$" followed by hexadecimal digits, or a decimal integer with an
// optional sign, in the range of a 32-bit integer; nothing for anything else.
std::optional<std::int64_t> parseInteger(std::string_view s) {
    int base = 10;
    bool negative = false;
    if (s.starts_with("0x") || s.starts_with("0X")) {
        base = 16;
        s.remove_prefix(2);
    } else if (s.starts_with("$")) {
        base = 16;
        s.remove_prefix(1);
    } else if (s.starts_with("+") || s.starts_with("-")) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    if (s.empty()) return std::nullopt;
    std::int64_t value = 0;
    for (const char c : s) {
        int digit = -1;
        if (c >= '0' && c <= '9') digit = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
        if (digit < 0) return std::nullopt;
        value = value * base + digit;
        // Hexadecimal takes all 32 bits; decimal the signed range.
        if (value > (base == 16 ? 0xFFFFFFFFLL : 0x80000000LL)) return std::nullopt;
    }
    if (!negative && base == 10 && value > 0x7FFFFFFFLL) return std::nullopt;
    return negative ? -value : value;
}

}  // namespace

IniWriteError::IniWriteError(const std::string& path) : std::runtime_error("Unable to write to " + path) {}

TIniFile::TIniFile(std::string path) : path_(std::move(path)) {}

std::string TIniFile::ReadString(const std::string& section, const std::string& key, const std::string& def) const {
    const std::optional<std::string> text = readWholeFile(files::toPath(path_), nullptr);
    if (!text) return def;
    const std::vector<Line> lines = splitLines(*text);
    const Place place = locate(lines, section, key);
    if (place.key == Place::npos) return def;
    const Line& line = lines[place.key];
    std::string_view value = trimmed(std::string_view(*text).substr(line.valueBegin, line.end - line.valueBegin));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return std::string(value.substr(0, kMaxValue));
}

bool TIniFile::ReadBool(const std::string& section, const std::string& key, bool def) const {
    const std::optional<std::int64_t> value = parseInteger(ReadString(section, key, std::string()));
    return value ? *value != 0 : def;
}

void TIniFile::WriteString(const std::string& section, const std::string& key, const std::string& value) {
    const fs::path file = files::toPath(path_);
    std::string text = readWholeFile(file, &path_).value_or(std::string());
    // A line break inside the value would end its line and start another.
    const std::string clean = value.substr(0, value.find_first_of("\r\n"));

    // New lines take the file's own line break, that of its first line; a
    // file without any gets the Windows one.
    std::size_t breakLength = 0;
    const std::size_t firstBreak = findBreak(text, textStart(text), breakLength);
    const std::string eol = firstBreak == std::string::npos ? "\r\n" : text.substr(firstBreak, breakLength);
    const std::vector<Line> lines = splitLines(text);
    const Place place = locate(lines, section, key);
    if (place.key != Place::npos) {
        // Only the value is replaced; the key, its blanks and the line break stay.
        const Line& line = lines[place.key];
        text.replace(line.valueBegin, line.end - line.valueBegin, clean);
    } else if (place.section != Place::npos) {
        // A new key goes after the last non-blank line of its section.
        std::size_t last = place.section;
        for (std::size_t i = place.section + 1; i < place.sectionEnd; ++i)
            if (lines[i].kind != Line::Blank) last = i;
        text.insert(lines[last].end, eol + key + "=" + clean);
    } else {
        if (text.size() > textStart(text) && text.back() != '\n' && text.back() != '\r') text += eol;
        text += "[" + section + "]" + eol + key + "=" + clean + eol;
    }

    // Written beside the file and renamed over it, so the file is either the
    // old one or the new one, never half of each. The new file keeps the old
    // one's permissions (a 0600 file must not come back readable by everyone).
    if (files::writeFileAtomically(file, text, {.keepPermissions = true}) != files::WriteResult::Written)
        throw IniWriteError(path_);
}

void TIniFile::WriteBool(const std::string& section, const std::string& key, bool value) {
    WriteString(section, key, value ? "1" : "0");
}

}  // namespace zalohy
