#include "DatedArchives.h"

#include "Platform.h"
#include "WorkingFiles.h"

#include <algorithm>
#include <cstdio>

namespace fs = std::filesystem;
using namespace std::chrono;

namespace zalohy {

namespace {

constexpr std::size_t kDateLength = 10;                 // "YYYY-MM-DD"
constexpr std::size_t kDatedEnd = 1 + kDateLength + 4;  // "-YYYY-MM-DD.zal"

bool isDigit(char c) { return c >= '0' && c <= '9'; }

int digits(std::string_view text) {
    int value = 0;
    for (const char c : text) value = value * 10 + (c - '0');
    return value;
}

}  // namespace

std::string archiveNamePart(const std::string& address) {
    std::string part;
    for (const char c : address) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || isDigit(c) || c == '.' || c == '-' ||
                           c == '_';
        part.push_back(plain ? c : '_');
    }
    return part;
}

std::string dateText(Day day) {
    const year_month_day date{day};
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()));
    return text;
}

std::optional<Day> parseDate(std::string_view text) {
    if (text.size() != kDateLength || text[4] != '-' || text[7] != '-') return std::nullopt;
    for (const std::size_t i : {0, 1, 2, 3, 5, 6, 8, 9})
        if (!isDigit(text[i])) return std::nullopt;
    const year_month_day date{year{digits(text.substr(0, 4))}, month{static_cast<unsigned>(digits(text.substr(5, 2)))},
                              day{static_cast<unsigned>(digits(text.substr(8, 2)))}};
    if (!date.ok()) return std::nullopt;
    return sys_days{date};
}

Day localDay(std::time_t when) {
    const std::tm local = platform::localTime(when ? when : std::time(nullptr));
    return sys_days{year{local.tm_year + 1900} / month{static_cast<unsigned>(local.tm_mon + 1)} /
                    day{static_cast<unsigned>(local.tm_mday)}};
}

std::string datedArchiveName(const std::string& address, Day day) {
    return archiveNamePart(address) + "-" + dateText(day) + ".zal";
}

std::string dayCount(int days, std::string_view space) {
    const char* word = days == 1 ? "den" : (days >= 2 && days <= 4) ? "dny" : "dní";
    return std::to_string(days) + std::string(space) + word;
}

std::string ageText(int days, std::string_view space) { return days <= 0 ? "dnes" : dayCount(days, space); }

std::optional<DatedName> parseDatedArchive(std::string_view name) {
    if (name.size() <= kDatedEnd || !name.ends_with(".zal")) return std::nullopt;
    const std::size_t dash = name.size() - kDatedEnd;
    if (name[dash] != '-') return std::nullopt;
    const std::optional<Day> day = parseDate(name.substr(dash + 1, kDateLength));
    if (!day) return std::nullopt;
    return DatedName{std::string(name.substr(0, dash)), *day};
}

std::optional<DatedArchives> scanDatedArchives(const fs::path& folder, Day today, const std::string* onlyPart) {
    DatedArchives found;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec); !ec && it != fs::directory_iterator(); it.increment(ec)) {
        const std::string name = files::toUtf8(it->path().filename());
        std::optional<DatedName> dated = parseDatedArchive(name);
        if (!dated || (onlyPart && dated->part != *onlyPart)) continue;
        std::error_code typeError;
        if (!it->is_regular_file(typeError)) continue;
        if (isGenerationDay(dated->day, today)) found.byPart[dated->part].push_back({name, dated->day});
        else found.futureByPart[dated->part].push_back(name);
    }
    if (ec) return std::nullopt;
    for (auto& [part, generations] : found.byPart)
        std::sort(generations.begin(), generations.end(),
                  [](const Generation& a, const Generation& b) { return a.day > b.day; });
    for (auto& [part, names] : found.futureByPart) std::sort(names.begin(), names.end());
    return found;
}

Generation::State checkGeneration(const fs::path& path) {
    OpenArchive archive;
    return openGeneration(path, archive);
}

const Generation* newestSound(const fs::path& folder, std::vector<Generation>& generations) {
    for (Generation& generation : generations) {
        if (generation.state == Generation::State::Unchecked)
            generation.state = checkGeneration(folder / files::toPath(generation.name));
        if (generation.state == Generation::State::Sound) return &generation;
    }
    return nullptr;
}

std::string safetyArchiveName(const std::string& address, const std::string& stamp) {
    return archiveNamePart(address) + "-" + stamp + "-pred-odeslanim.zal";
}

Generation::State openGeneration(const fs::path& path, OpenArchive& archive) {
    switch (openSoundArchive(path, archive)) {
    case ArchiveState::Sound: return Generation::State::Sound;
    case ArchiveState::Unopenable: return Generation::State::Gone;  // pruned meanwhile, or locked
    case ArchiveState::Unsound: break;
    }
    return Generation::State::Unsound;
}

Retention planRetention(const fs::path& folder, std::vector<Generation>& generations, int keep,
                        const std::string& justWritten) {
    Retention plan;
    for (Generation& generation : generations)
        if (generation.state == Generation::State::Unchecked)
            generation.state = checkGeneration(folder / files::toPath(generation.name));
    // The oldest sound generation kept bounds which damaged ones may go.
    int soundKept = 0;
    std::optional<Day> oldestKept;
    for (const Generation& generation : generations) {
        if (generation.state != Generation::State::Sound) continue;
        if (soundKept < keep || generation.name == justWritten) {
            if (soundKept < keep) ++soundKept;
            oldestKept = generation.day;
        } else {
            plan.removeSound.push_back(generation.name);
        }
    }
    for (const Generation& generation : generations) {
        if (generation.state != Generation::State::Unsound || generation.name == justWritten) continue;
        if (oldestKept && generation.day < *oldestKept) plan.removeDamaged.push_back(generation.name);
        else plan.keepDamaged.push_back(generation.name);
    }
    return plan;
}

}  // namespace zalohy
