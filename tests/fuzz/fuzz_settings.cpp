// The settings file against arbitrary contents: every key found is read, one
// value is written, and afterwards that key reads back what was written while
// every other key reads as before and every other line keeps its bytes. Lines
// end at CR LF, LF or CR; a leading UTF-8 byte-order mark is no part of them.
//
// Input: one selector byte, one length byte, that many bytes of the value to
// write, then the file's bytes.
#include "FuzzSupport.h"
#include "IniFile.h"

#include <map>
#include <utility>
#include <vector>

using namespace zalohy;
using namespace zalohy::fuzz;
namespace fs = std::filesystem;

namespace {

const char* const kFile = "Skladex.ini";
const char* const kDefault = "\x01missing";

std::string trim(std::string s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.erase(0, 1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.pop_back();
    return s;
}

std::string upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

using Pair = std::pair<std::string, std::string>;  // section, key

// Section and key names as a plain reading of the lines finds them; the
// reads themselves decide what each one holds.
std::vector<Pair> namesIn(const std::string& text) {
    std::vector<Pair> pairs;
    std::string section;
    std::size_t at = text.starts_with("\xEF\xBB\xBF") ? 3 : 0;
    while (at < text.size()) {
        std::size_t end = text.find_first_of("\r\n", at);
        if (end == std::string::npos) end = text.size();
        const std::string line = trim(text.substr(at, end - at));
        at = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
        if (line.empty() || line[0] == ';') continue;
        if (line[0] == '[' && line.find(']') != std::string::npos) {
            section = line.substr(1, line.find(']') - 1);
        } else if (const std::size_t eq = line.find('='); eq != std::string::npos) {
            pairs.emplace_back(section, line.substr(0, eq));
        }
    }
    return pairs;
}

struct Reading {
    std::string text;
    bool whenTrue, whenFalse;
    bool operator==(const Reading&) const = default;
};

Reading readKey(const TIniFile& ini, const Pair& p) {
    return {ini.ReadString(p.first, p.second, kDefault), ini.ReadBool(p.first, p.second, true),
            ini.ReadBool(p.first, p.second, false)};
}

// What reading gives back for a written value: the value up to a line break,
// without surrounding blanks and tabs, without one pair of matching quotes,
// at most 2047 characters.
std::string readBack(const std::string& written) {
    std::string v = trim(written.substr(0, written.find_first_of("\r\n")));
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) v = v.substr(1, v.size() - 2);
    return v.substr(0, 2047);
}

bool usableName(const std::string& name, bool isKey) {
    if (name.find_first_of("\r\n") != std::string::npos) return false;
    if (!isKey) return name.find(']') == std::string::npos;
    const std::string t = trim(name);
    return !t.empty() && t[0] != '[' && t[0] != ';' && name.find('=') == std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    enterCleanFolder();
    Input input(bytes, size);
    const std::uint8_t selector = input.byte();
    const std::string value(input.take(input.byte()));
    const bool missing = selector & 0x40;
    const std::string before = missing ? std::string() : std::string(input.rest());
    if (!missing) writeBytes(kFile, before);

    std::vector<Pair> pairs = namesIn(before);
    for (const char* key : {"IP_ADDRESS", "FORMATY", "PRESETY", "SHOP_NAME", "TEXTY"})
        pairs.emplace_back("SOUBOR_ZALOHY", key);
    TIniFile ini(kFile);
    std::map<Pair, Reading> old;
    for (const Pair& p : pairs) old.emplace(p, readKey(ini, p));
    require(!missing || fs::exists(kFile) == false, "a read created the file");

    // The pair to write: a usual one, or names taken from the file.
    static const char* const sections[] = {"SOUBOR_ZALOHY", "soubor_zalohy", "OTHER", "S"};
    static const char* const keys[] = {"IP_ADDRESS", "formaty", "TEXTY", "NEW_KEY"};
    Pair target{sections[selector & 3], keys[(selector >> 2) & 3]};
    const Pair& fromFile = pairs[(selector >> 4) % pairs.size()];
    if ((selector & 0x80) && usableName(fromFile.first, false) && usableName(fromFile.second, true)) target = fromFile;

    if (selector & 0x20) writeBytes(std::string(kFile) + ".89abcdef.tmp", "left by a killed run");
    ini.WriteString(target.first, target.second, value);
    require(folderNames() == std::set<std::string>{kFile}, "a write left another file in the folder");
    require(ini.ReadString(target.first, target.second, kDefault) == readBack(value),
            "the value written does not read back");

    const auto same = [&](const Pair& p) {
        return upper(trim(p.first)) == upper(trim(target.first)) && upper(trim(p.second)) == upper(trim(target.second));
    };
    for (const auto& [p, reading] : old)
        if (!same(p)) require(readKey(ini, p) == reading, "key [" + p.first + "] " + p.second + " changed by a write");

    // Every line of the old file but the one whose value was replaced keeps
    // its bytes: the change is one stretch within a single old line.
    const std::string after = readBytes(kFile);
    std::size_t prefix = 0;
    while (prefix < before.size() && prefix < after.size() && before[prefix] == after[prefix]) ++prefix;
    std::size_t suffix = 0;
    while (suffix < before.size() - prefix && suffix < after.size() - prefix &&
           before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix])
        ++suffix;
    const std::string removed = before.substr(prefix, before.size() - prefix - suffix);
    require(removed.find_first_of("\r\n") == std::string::npos, "a write changed more than one line of the file");

    // A read-only file is refused and kept as it is.
    fs::permissions(kFile, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    bool refused = false;
    try {
        ini.WriteString("SOUBOR_ZALOHY", "IP_ADDRESS", "127.0.0.9");
    } catch (const IniWriteError&) {
        refused = true;
    }
    require(refused, "a read-only settings file was written");
    require(readBytes(kFile) == after, "a refused write changed the file");
    require(folderNames() == std::set<std::string>{kFile}, "a refused write left another file");
    return 0;
}
