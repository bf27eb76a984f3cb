// The dated archives of the list commands: backup-list writes each night's
// backup of a scale as "<name part>-YYYY-MM-DD.zal" into its folder, and
// restore-list, the report page and the retention of --keep read them back.
// One rule decides what counts:
// - a generation of a scale is a dated archive whose date is a real date not
//   later than tomorrow (a scale PC's clock one day off is forgiven); a name
//   dated later is no generation: it is said and left alone;
// - a generation is sound when its header checks (every member inside the
//   file, none overlapping, each in its own slot) and it holds at least one
//   member: an archive without members is no backup.
#pragma once

#include "ArchiveCompare.h"

#include <chrono>
#include <ctime>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zalohy {

using Day = std::chrono::sys_days;

// The name part of an address in archive names: every character that is not
// a letter, digit, dot, hyphen or underscore becomes "_" (a name valid on
// Windows too).
std::string archiveNamePart(const std::string& address);
// "YYYY-MM-DD" and back; nothing when it is no real date.
std::string dateText(Day day);
std::optional<Day> parseDate(std::string_view text);
// The local date of `when` (0: now).
Day localDay(std::time_t when = 0);
// "<name part>-YYYY-MM-DD.zal"
std::string datedArchiveName(const std::string& address, Day day);

// "1 den", "3 dny", "12 dní"; ageText says "dnes" for 0 days and less.
std::string dayCount(int days, std::string_view space = " ");
std::string ageText(int days, std::string_view space = " ");

// A dated archive's name split into its name part and date; nothing when the
// name is not of that form or its date is no real date.
struct DatedName {
    std::string part;
    Day day;
};
std::optional<DatedName> parseDatedArchive(std::string_view fileName);

// Whether an archive of `day` can be a generation on `today`.
inline bool isGenerationDay(Day day, Day today) { return day <= today + std::chrono::days{1}; }

struct Generation {
    std::string name;  // file name in the folder
    Day day{};
    enum class State { Unchecked, Sound, Unsound, Gone } state = State::Unchecked;
};

// The dated archives of a folder (plain files only).
struct DatedArchives {
    // The generations by name part, each scale's newest first, not yet checked.
    std::map<std::string, std::vector<Generation>> byPart;
    // Names dated later than tomorrow, by name part: no scale's generations.
    std::map<std::string, std::vector<std::string>> futureByPart;
};
// Nothing when the folder cannot be read. With `onlyPart`, only that scale's.
std::optional<DatedArchives> scanDatedArchives(const std::filesystem::path& folder, Day today,
                                               const std::string* onlyPart = nullptr);

// The state of a generation as openSoundArchive finds its archive, opened
// into `archive`.
Generation::State openGeneration(const std::filesystem::path& path, OpenArchive& archive);
Generation::State checkGeneration(const std::filesystem::path& path);
// The newest sound one of a scale's generations (newest first), checked in
// turn until it is found: those before it keep the state found; null when
// none is sound.
const Generation* newestSound(const std::filesystem::path& folder, std::vector<Generation>& generations);

// The name of the backup made before a send: "<name part>-<stamp>-pred-odeslanim.zal",
// `stamp` as "YYYY-MM-DD-HHMMSS".
std::string safetyArchiveName(const std::string& address, const std::string& stamp);

// What --keep=K does with one scale's generations (newest first): the K
// newest sound ones stay, and so does `justWritten` whatever its place; a
// damaged one never counts toward K. Sound ones past K go; a damaged one
// older than the oldest sound one kept goes too, a newer one stays for
// inspection. Unopenable ones are left alone.
struct Retention {
    std::vector<std::string> removeSound;
    std::vector<std::string> removeDamaged;
    std::vector<std::string> keepDamaged;
};
Retention planRetention(const std::filesystem::path& folder, std::vector<Generation>& generations, int keep,
                        const std::string& justWritten);

}  // namespace zalohy
