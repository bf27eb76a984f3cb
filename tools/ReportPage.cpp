#include "ReportPage.h"

#include "ArchiveCompare.h"
#include "BackupArchive.h"
#include "DataKind.h"
#include "AtomicWrite.h"
#include "Platform.h"
#include "WorkingFiles.h"
#include "ScaleList.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <map>
#include <system_error>

namespace fs = std::filesystem;

namespace zalohy {

namespace {

constexpr std::size_t kDateLength = 10;                 // "YYYY-MM-DD"
constexpr std::size_t kDatedEnd = 1 + kDateLength + 4;  // "-YYYY-MM-DD.zal"

// Days since 1970-01-01 of a date of the proleptic Gregorian calendar.
int daysFromCivil(int y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int>(doe) - 719468;
}

std::tm localTm(std::time_t when) {
    return platform::localTime(when);
}

// "ADDRESS-YYYY-MM-DD.zal": its name part and date, or nothing.
std::optional<std::pair<std::string, int>> datedArchive(const std::string& name) {
    if (name.size() <= kDatedEnd || !name.ends_with(".zal")) return std::nullopt;
    const std::size_t dash = name.size() - kDatedEnd;
    if (name[dash] != '-') return std::nullopt;
    const std::optional<int> day = dayNumber(std::string_view(name).substr(dash + 1, kDateLength));
    if (!day) return std::nullopt;
    return std::make_pair(name.substr(0, dash), *day);
}

// The state of a generation as its archive opens.
Generation::State openSound(const fs::path& path, OpenArchive& archive) {
    switch (openSoundArchive(path, archive)) {
    case ArchiveState::Sound: return Generation::State::Sound;
    case ArchiveState::Unopenable: return Generation::State::Gone;  // pruned meanwhile, or locked
    case ArchiveState::Unsound: break;
    }
    return Generation::State::Unsound;
}

// Compares what the two newest sound generations hold, kind by kind.
void compareNewest(ScaleSurvey& scale, OpenArchive& newest, OpenArchive& previous) {
    scale.compared = ScaleSurvey::Compared::Done;
    for (const DataKind& kind : kDataKinds) {
        const std::size_t slot = static_cast<std::size_t>(archiveSlotOf(kind.id));
        const ArchiveSlot& a = newest.header.slots[slot];
        const ArchiveSlot& b = previous.header.slots[slot];
        const bool inA = a.id == kind.id, inB = b.id == kind.id;
        if (!inA && !inB) continue;
        const Compared compared = inA != inB ? Compared::Different : compareMembers(newest, a, previous, b);
        if (compared == Compared::Unreadable) {
            scale.compared = ScaleSurvey::Compared::Unreadable;
            scale.changed.clear();
            return;
        }
        if (compared == Compared::Different) scale.changed.push_back(kind.id);
    }
}

void surveyArchives(ScaleSurvey& scale, const fs::path& folder, int today, const ReportOptions& options) {
    std::sort(scale.generations.begin(), scale.generations.end(),
              [](const Generation& a, const Generation& b) { return a.day > b.day; });
    OpenArchive open[2];
    int found = 0;
    for (std::size_t i = 0; i < scale.generations.size(); ++i) {
        Generation& generation = scale.generations[i];
        const bool inStrip = generation.day <= today && today - generation.day < kStripDays;
        // Past the strip only the two newest sound ones are of interest.
        if (!inStrip && found == 2) break;
        OpenArchive candidate;
        generation.state = openSound(folder / files::toPath(generation.name), candidate);
        if (generation.state != Generation::State::Sound) continue;
        if (inStrip) scale.strip[static_cast<std::size_t>(kStripDays - 1 - (today - generation.day))] = true;
        if (found < 2) {
            (found == 0 ? scale.newest : scale.previous) = static_cast<int>(i);
            open[found++] = std::move(candidate);
        }
    }
    if (scale.newest < 0) return;
    const Generation& newest = scale.generations[static_cast<std::size_t>(scale.newest)];
    scale.ageDays = std::max(0, today - newest.day);
    scale.stale = scale.ageDays > options.staleDays;
    for (const DataKind& kind : kDataKinds) {
        const ArchiveSlot& slot = open[0].header.slots[static_cast<std::size_t>(archiveSlotOf(kind.id))];
        if (slot.id == kind.id) scale.members.push_back({kind.id, memberSize(slot)});
    }
    if (found == 2) compareNewest(scale, open[0], open[1]);
}

// Digits compared as numbers, so 127.0.0.10 comes after 127.0.0.9.
bool naturalLess(const std::string& a, const std::string& b) {
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        const bool da = a[i] >= '0' && a[i] <= '9', db = b[j] >= '0' && b[j] <= '9';
        if (da && db) {
            std::size_t ei = i, ej = j;
            while (ei < a.size() && a[ei] >= '0' && a[ei] <= '9') ++ei;
            while (ej < b.size() && b[ej] >= '0' && b[ej] <= '9') ++ej;
            const std::string_view na = std::string_view(a).substr(i, ei - i), nb = std::string_view(b).substr(j, ej - j);
            const std::string_view ta = na.substr(std::min(na.find_first_not_of('0'), na.size()));
            const std::string_view tb = nb.substr(std::min(nb.find_first_not_of('0'), nb.size()));
            if (ta.size() != tb.size()) return ta.size() < tb.size();
            if (ta != tb) return ta < tb;
            i = ei, j = ej;
        } else {
            if (a[i] != b[j]) return a[i] < b[j];
            ++i, ++j;
        }
    }
    return a.size() - i < b.size() - j;
}

// --- the page ----------------------------------------------------------------

// Bytes that are no UTF-8 (a record or a file name may hold any) become
// U+FFFD, so the page is UTF-8 as it says.
void escaped(std::string& out, std::string_view text) {
    // The length of the well-formed sequence at `at` (no overlong form, no
    // surrogate, nothing past U+10FFFF); 0 when there is none.
    const auto sequence = [text](std::size_t at) -> std::size_t {
        const auto byte = [&](std::size_t k) {
            return at + k < text.size() ? static_cast<unsigned char>(text[at + k]) : 0u;
        };
        const unsigned lead = byte(0);
        const std::size_t n = lead >= 0xF5 ? 0 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
        const unsigned low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
        const unsigned high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
        if (n == 0 || byte(1) < low || byte(1) > high) return 0;
        for (std::size_t k = 2; k < n; ++k)
            if (byte(k) < 0x80 || byte(k) > 0xBF) return 0;
        return n;
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (static_cast<unsigned char>(c) >= 0x80) {
            const std::size_t n = sequence(i);
            out += n ? text.substr(i, n) : "\xEF\xBF\xBD";  // U+FFFD
            i += n ? n - 1 : 0;
            continue;
        }
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default:
            if (static_cast<unsigned char>(c) < 0x20 && c != '\t') out += "\xEF\xBF\xBD";  // U+FFFD
            else out.push_back(c);
        }
    }
}

std::string html(std::string_view text) {
    std::string out;
    escaped(out, text);
    return out;
}

// "1 den", "2 dny", "5 dní".
std::string dayCount(int days) {
    const char* word = days == 1 ? "den" : (days >= 2 && days <= 4) ? "dny" : "dní";
    return std::to_string(days) + "&nbsp;" + word;
}
std::string daysText(int days) { return days == 0 ? "dnes" : dayCount(days); }

std::string sizeText(std::int64_t size) {
    if (size < 1024) return std::to_string(size) + "&nbsp;B";
    char text[48];
    const double value = size < 1024 * 1024 ? size / 1024.0 : size / (1024.0 * 1024.0);
    std::snprintf(text, sizeof text, "%.1f&nbsp;%s", value, size < 1024 * 1024 ? "kB" : "MB");
    if (char* dot = std::strchr(text, '.')) *dot = ',';
    return text;
}

std::string dateText(int day) {
    // Back from days to the civil date.
    const int z = day + 719468;
    const int era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    const int y = static_cast<int>(yoe) + era * 400 + (m <= 2);
    return std::to_string(d) + ". " + std::to_string(m) + ". " + std::to_string(y);
}

const char* statusText(const std::string& status) {
    if (status == kRunOk) return "v pořádku";
    if (status == kRunFailed) return "selhalo";
    if (status == kRunMissing) return "chybí archiv";
    if (status == kRunSkipped) return "nespuštěno";
    return nullptr;
}

// "2026-12-08T02:00:13" shown as "8. 12. 02:00".
std::string runTimeText(const std::string& time) {
    int month = 0, day = 0;
    if (time.size() >= 16 && std::from_chars(time.data() + 5, time.data() + 7, month).ec == std::errc() &&
        std::from_chars(time.data() + 8, time.data() + 10, day).ec == std::errc())
        return std::to_string(day) + ". " + std::to_string(month) + ". " + time.substr(11, 5);
    return time;
}

void strip(std::string& out, const ScaleSurvey& scale, int today) {
    constexpr int kCell = 7;
    const int days = static_cast<int>(std::count(scale.strip.begin(), scale.strip.end(), true));
    out += "<svg class=\"pas\" width=\"" + std::to_string(kStripDays * kCell) + "\" height=\"16\" viewBox=\"0 0 " +
           std::to_string(kStripDays * kCell) + " 16\" role=\"img\"><title>Úplné zálohy za posledních " +
           std::to_string(kStripDays) + " dní: " + std::to_string(days) + " (od " +
           dateText(today - kStripDays + 1) + " do " + dateText(today) + ")</title>";
    out += "<rect x=\"0\" y=\"0\" width=\"" + std::to_string(kStripDays * kCell) +
           "\" height=\"16\" fill=\"#ffffff\" stroke=\"#999999\"/>";
    for (int i = 0; i < kStripDays; ++i)
        if (scale.strip[static_cast<std::size_t>(i)])
            out += "<rect x=\"" + std::to_string(i * kCell + 1) + "\" y=\"2\" width=\"" + std::to_string(kCell - 2) +
                   "\" height=\"12\" fill=\"#2e7d32\"/>";
    out += "</svg>";
}

void scaleRow(std::string& out, const ScaleSurvey& scale, const FolderSurvey& survey) {
    const bool missing = scale.newest < 0;
    out += missing ? "<tr class=\"chybi\">" : scale.stale ? "<tr class=\"stara\">" : "<tr class=\"ok\">";
    out += "<td class=\"vaha\">" + html(scale.address) + "</td>";
    if (missing) {
        out += "<td class=\"stav\" colspan=\"2\"><strong>Žádná úplná záloha</strong></td><td>–</td>";
    } else {
        const Generation& newest = scale.generations[static_cast<std::size_t>(scale.newest)];
        out += "<td class=\"soubor\">" + html(newest.name) + "</td><td class=\"stav\">" + daysText(scale.ageDays);
        if (scale.stale) out += " <strong>(stará)</strong>";
        out += "</td><td class=\"data\">";
        for (std::size_t i = 0; i < scale.members.size(); ++i) {
            const DataKind* kind = kindById(scale.members[i].id);
            out += (i ? ", " : "") + std::string("<span class=\"druh\">") + (kind ? kind->backupCaption : "?") +
                   " " + sizeText(scale.members[i].size) + "</span>";
        }
        if (scale.members.empty()) out += "prázdná";
        out += "</td>";
    }
    out += "<td class=\"cislo\">" + std::to_string(scale.generations.size());
    if (const int unsound = scale.unsoundGenerations())
        out += "<br><span class=\"vadna\">poškozených: " + std::to_string(unsound) + "</span>";
    out += "</td><td>";
    strip(out, scale, survey.today);
    out += "</td><td>";
    switch (scale.compared) {
    case ScaleSurvey::Compared::NoPrevious: out += missing ? "–" : "jen jedna generace"; break;
    case ScaleSurvey::Compared::Unreadable: out += "nelze porovnat"; break;
    case ScaleSurvey::Compared::Done:
        if (scale.changed.empty()) out += "beze změny";
        for (std::size_t i = 0; i < scale.changed.size(); ++i) {
            const DataKind* kind = kindById(scale.changed[i]);
            out += (i ? ", " : "") + std::string(kind ? kind->backupCaption : "?");
        }
        break;
    }
    out += "</td><td class=\"behy\">";
    if (scale.lastRuns.empty()) out += "žádný záznam";
    for (const RunRecordLine& run : scale.lastRuns) {
        const char* text = statusText(run.status);
        out += std::string("<div class=\"") + (run.status == kRunOk ? "beh-ok" : "beh-chyba") + "\">" +
               html(runTimeText(run.time)) + " " + html(run.command) + ": " + (text ? text : html(run.status));
        if (run.libraryStatus && run.status != kRunOk) out += " (stav " + std::to_string(*run.libraryStatus) + ")";
        out += "</div>";
    }
    if (scale.runsRecorded > 0)
        out += "<div class=\"souhrn\">neúspěšných běhů: " + std::to_string(scale.runsFailed) + " z " +
               std::to_string(scale.runsRecorded) + "</div>";
    out += "</td></tr>\n";
}

constexpr const char* kStyle = R"(<style>
body { font-family: "DejaVu Sans", Arial, sans-serif; font-size: 10pt; margin: 1.5em; color: #000; }
h1 { font-size: 16pt; margin: 0 0 0.3em 0; }
p { margin: 0.2em 0; }
table { border-collapse: collapse; margin-top: 1em; width: 100%; }
th, td { border: 1px solid #888; padding: 3px 5px; vertical-align: top; text-align: left; }
th { background: #e8e8e8; }
thead { display: table-header-group; }
tr { break-inside: avoid; page-break-inside: avoid; }
td.cislo { text-align: right; }
svg.pas { display: block; }
.druh, td.soubor { white-space: nowrap; }
td.data { max-width: 20em; }
td.behy { min-width: 13em; }
tr.stara td.stav { background: #ffd966; }
tr.chybi td.vaha, tr.chybi td.stav { background: #f4a6a6; }
.vadna, .beh-chyba { color: #b00000; }
.beh-ok { color: #1b5e20; }
.souhrn { color: #555; font-size: 9pt; }
.souhrn-stara { background: #ffd966; padding: 0 4px; }
.souhrn-chybi { background: #f4a6a6; padding: 0 4px; }
* { -webkit-print-color-adjust: exact; print-color-adjust: exact; }
@page { size: A4 landscape; margin: 1cm; }
@media print { body { margin: 0; font-size: 8pt; } }
</style>
)";

}  // namespace

int ScaleSurvey::unsoundGenerations() const {
    return static_cast<int>(std::count_if(generations.begin(), generations.end(),
                                          [](const Generation& g) { return g.state == Generation::State::Unsound; }));
}

std::string archiveNamePart(const std::string& address) {
    std::string part;
    for (const char c : address) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
                           c == '-' || c == '_';
        part.push_back(plain ? c : '_');
    }
    return part;
}

std::optional<int> dayNumber(std::string_view date) {
    if (date.size() != kDateLength || date[4] != '-' || date[7] != '-') return std::nullopt;
    for (const std::size_t i : {0, 1, 2, 3, 5, 6, 8, 9})
        if (date[i] < '0' || date[i] > '9') return std::nullopt;
    const int y = std::stoi(std::string(date.substr(0, 4)));
    const unsigned m = static_cast<unsigned>(std::stoi(std::string(date.substr(5, 2))));
    const unsigned d = static_cast<unsigned>(std::stoi(std::string(date.substr(8, 2))));
    static constexpr unsigned kMonthDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (m < 1 || m > 12 || d < 1 || d > kMonthDays[m - 1]) return std::nullopt;
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    if (m == 2 && d == 29 && !leap) return std::nullopt;
    return daysFromCivil(y, m, d);
}

int dayToday() {
    const std::tm now = localTm(std::time(nullptr));
    return daysFromCivil(now.tm_year + 1900, static_cast<unsigned>(now.tm_mon + 1), static_cast<unsigned>(now.tm_mday));
}

std::optional<std::map<std::string, std::vector<Generation>>> datedArchivesIn(const fs::path& folder) {
    std::map<std::string, std::vector<Generation>> found;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec); !ec && it != fs::directory_iterator(); it.increment(ec)) {
        const std::string name = files::toUtf8(it->path().filename());
        const auto dated = datedArchive(name);
        std::error_code typeError;
        if (dated && it->is_regular_file(typeError)) found[dated->first].push_back({name, dated->second});
    }
    if (ec) return std::nullopt;
    for (auto& [part, generations] : found)
        std::sort(generations.begin(), generations.end(),
                  [](const Generation& a, const Generation& b) { return a.day > b.day; });
    return found;
}

Generation::State checkGeneration(const fs::path& path) {
    OpenArchive archive;
    return openSound(path, archive);
}

std::optional<FolderSurvey> surveyFolder(const ReportOptions& options, std::string& problem) {
    FolderSurvey survey;
    const std::tm now = localTm(options.now ? options.now : std::time(nullptr));
    survey.today = daysFromCivil(now.tm_year + 1900, static_cast<unsigned>(now.tm_mon + 1), static_cast<unsigned>(now.tm_mday));
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%d. %d. %d %02d:%02d", now.tm_mday, now.tm_mon + 1, now.tm_year + 1900,
                  now.tm_hour, now.tm_min);
    survey.generatedAt = stamp;

    std::error_code ec;
    if (!fs::is_directory(options.folder, ec)) {
        problem = files::toUtf8(options.folder) + " není složka";
        return std::nullopt;
    }
    // The scales: the list's, in its order, or those the folder tells of.
    std::map<std::string, std::size_t> byPart;
    const bool fromList = options.list.has_value();
    auto scaleOf = [&](const std::string& address) -> ScaleSurvey& {
        const std::string part = archiveNamePart(address);
        const auto [it, added] = byPart.emplace(part, survey.scales.size());
        if (added) {
            ScaleSurvey scale;
            scale.address = address;
            scale.namePart = part;
            survey.scales.push_back(std::move(scale));
        }
        return survey.scales[it->second];
    };
    if (fromList) {
        ScaleListReader reader;
        if (reader.open(*options.list) != ScaleListReader::Opened::Ok) {
            problem = "seznam " + *options.list + " nelze otevřít";
            return std::nullopt;
        }
        while (const std::optional<ScaleListEntry> entry = reader.next()) {
            if (entry->problem != AddressProblem::None) survey.notes.push_back(skippedEntryLine(*entry, *options.list));
            else scaleOf(entry->address);
        }
        if (reader.hadReadError()) {
            problem = "seznam " + *options.list + " nelze dočíst";
            return std::nullopt;
        }
        if (survey.scales.empty()) {  // a page on no scale would pass for a folder without backups
            problem = *options.list + " neuvádí žádnou váhu";
            return std::nullopt;
        }
    }
    for (fs::directory_iterator it(options.folder, ec); !ec && it != fs::directory_iterator(); it.increment(ec)) {
        const std::string name = files::toUtf8(it->path().filename());
        const auto dated = datedArchive(name);
        std::error_code typeError;
        if (!dated || !it->is_regular_file(typeError)) continue;
        const auto found = byPart.find(dated->first);
        if (found == byPart.end() && fromList) continue;
        ScaleSurvey& scale = found != byPart.end() ? survey.scales[found->second] : scaleOf(dated->first);
        scale.generations.push_back({name, dated->second});
    }
    if (ec) {
        problem = "složku " + files::toUtf8(options.folder) + " nelze přečíst";
        return std::nullopt;
    }
    // The runs, newest last in the record. A scale whose every backup failed
    // has no archive: the record names it all the same.
    for (RunRecordLine& run : readRunRecord(options.folder)) {
        const std::string part = archiveNamePart(run.address);
        const auto found = byPart.find(part);
        if (found == byPart.end() && fromList) continue;
        ScaleSurvey& scale = found != byPart.end() ? survey.scales[found->second] : scaleOf(run.address);
        // The address as the record gives it reads better than its name part.
        if (found != byPart.end() && !fromList && scale.address == scale.namePart) scale.address = run.address;
        ++scale.runsRecorded;
        if (run.status != kRunOk) ++scale.runsFailed;
        scale.lastRuns.insert(scale.lastRuns.begin(), std::move(run));
        if (scale.lastRuns.size() > options.runsShown) scale.lastRuns.pop_back();
    }
    if (!fromList)
        std::sort(survey.scales.begin(), survey.scales.end(),
                  [](const ScaleSurvey& a, const ScaleSurvey& b) { return naturalLess(a.namePart, b.namePart); });
    for (ScaleSurvey& scale : survey.scales) surveyArchives(scale, options.folder, survey.today, options);
    return survey;
}

std::string renderReportPage(const FolderSurvey& survey, const ReportOptions& options) {
    int missing = 0, stale = 0;
    for (const ScaleSurvey& scale : survey.scales) {
        if (scale.newest < 0) ++missing;
        else if (scale.stale) ++stale;
    }
    const std::string folder = files::toUtf8(options.folder);
    std::string out;
    out.reserve(1024 + survey.scales.size() * 1500);
    out += "<!DOCTYPE html>\n<html lang=\"cs\">\n<head>\n<meta charset=\"utf-8\">\n<title>Přehled záloh – " +
           html(folder) + "</title>\n";
    out += kStyle;
    out += "</head>\n<body>\n<h1>Přehled záloh</h1>\n";
    out += "<p>Složka: <strong>" + html(folder) + "</strong></p>\n";
    out += "<p>Vytvořeno: " + html(survey.generatedAt) + "</p>\n";
    out += options.list ? "<p>Seznam vah: " + html(*options.list) + "</p>\n"
                        : std::string("<p>Váhy: všechny, o nichž složka ví</p>\n");
    out += "<p>Vah: <strong>" + std::to_string(survey.scales.size()) + "</strong> · v pořádku: <strong>" +
           std::to_string(survey.scales.size() - static_cast<std::size_t>(missing + stale)) +
           "</strong> · <span class=\"souhrn-stara\">se starou zálohou: <strong>" + std::to_string(stale) +
           "</strong></span> · <span class=\"souhrn-chybi\">bez úplné zálohy: <strong>" + std::to_string(missing) +
           "</strong></span></p>\n";
    out += "<p class=\"souhrn\">Stará je záloha starší než " + dayCount(options.staleDays) +
           ". Pás ukazuje posledních " + std::to_string(kStripDays) +
           " dní (vpravo dnešek); zelená značka je den s úplnou zálohou.</p>\n";
    for (const std::string& note : survey.notes) out += "<p class=\"vadna\">" + html(note) + "</p>\n";
    if (survey.scales.empty()) {
        out += "<p><strong>Ve složce nejsou žádné zálohy.</strong></p>\n";
    } else {
        out += "<table>\n<thead><tr><th>Váha</th><th>Nejnovější úplná záloha</th><th>Stáří</th>"
               "<th>Uložená data</th><th>Generací</th><th>Posledních " +
               std::to_string(kStripDays) + " dní</th><th>Změny proti předchozí</th><th>Poslední běhy</th></tr></thead>\n<tbody>\n";
        for (const ScaleSurvey& scale : survey.scales) scaleRow(out, scale, survey);
        out += "</tbody>\n</table>\n";
    }
    out += "</body>\n</html>\n";
    return out;
}

int zaltoolReport(const std::string& folder, const std::optional<std::string>& list,
                  const std::optional<std::string>& out, const std::optional<std::string>& staleDays) {
    ReportOptions options;
    options.folder = files::toPath(folder);
    options.list = list;
    if (staleDays) {
        const std::string& text = *staleDays;
        const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), options.staleDays);
        if (text.empty() || ec != std::errc() || end != text.data() + text.size() || options.staleDays < 0 ||
            options.staleDays > 3650) {
            std::fprintf(stderr, "zaltool: report: --stale-days needs a number of days from 0 to 3650, not '%s' "
                                 "(see 'zaltool report --help')\n", text.c_str());
            return 2;
        }
    }
    std::string problem;
    const std::optional<FolderSurvey> survey = surveyFolder(options, problem);
    if (!survey) {
        std::fprintf(stderr, "zaltool: %s\n", problem.c_str());
        return 1;
    }
    const std::string page = renderReportPage(*survey, options);
    if (const std::optional<std::string> refused = refusedRunRecord(options.folder)) {
        std::fprintf(stderr, "zaltool: %s\n", refused->c_str());
        return 1;
    }
    if (out && *out == "-") {
        std::fwrite(page.data(), 1, page.size(), stdout);
        return 0;
    }
    // Written beside its final name and renamed into place, so a reader (or a
    // browser left open on it) never sees half a page.
    const fs::path target = out ? files::toPath(*out) : options.folder / kReportPageFile;
    // Never over a link, a device, a FIFO or a folder of that name.
    const files::WriteResult written = files::writeFileAtomically(target, page, {.refuseLink = true});
    if (written == files::WriteResult::NotAFile) {
        std::fprintf(stderr, "zaltool: %s není obyčejný soubor (odkaz, roura, zařízení nebo složka): "
                             "přehled nezapsán\n", files::toUtf8(target).c_str());
        return 1;
    }
    if (written != files::WriteResult::Written) {
        std::fprintf(stderr, "zaltool: přehled nelze zapsat do %s\n", files::toUtf8(target).c_str());
        return 1;
    }
    int missing = 0, stale = 0;
    for (const ScaleSurvey& scale : survey->scales) {
        if (scale.newest < 0) ++missing;
        else if (scale.stale) ++stale;
    }
    std::printf("Přehled záloh zapsán do %s (vah: %zu, se starou zálohou: %d, bez úplné zálohy: %d)\n",
                files::toUtf8(target).c_str(), survey->scales.size(), stale, missing);
    return 0;
}

}  // namespace zalohy
