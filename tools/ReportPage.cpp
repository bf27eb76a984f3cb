#include "ReportPage.h"

#include "ArchiveCompare.h"
#include "DatedArchives.h"
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

// Compares what the two newest sound generations hold, kind by kind.
void compareNewest(ScaleSurvey& scale, OpenArchive& newest, OpenArchive& previous) {
    scale.compared = ScaleSurvey::Compared::Done;
    for (const KindCompared& kind : compareArchives(newest, previous)) {
        if (kind.compared == Compared::Unreadable) {
            scale.compared = ScaleSurvey::Compared::Unreadable;
            scale.changed.clear();
            return;
        }
        if (kind.compared == Compared::Different) scale.changed.push_back(kind.kind->id);
    }
}

void surveyArchives(ScaleSurvey& scale, const fs::path& folder, Day today, const ReportOptions& options) {
    std::sort(scale.generations.begin(), scale.generations.end(),
              [](const Generation& a, const Generation& b) { return a.day > b.day; });
    OpenArchive open[2];
    int found = 0;
    for (std::size_t i = 0; i < scale.generations.size(); ++i) {
        Generation& generation = scale.generations[i];
        const int age = static_cast<int>((today - generation.day).count());  // -1: tomorrow
        const bool inStrip = age >= 0 && age < kStripDays;
        // Past the strip only the two newest sound ones are of interest.
        if (!inStrip && found == 2) break;
        OpenArchive candidate;
        generation.state = openGeneration(folder / files::toPath(generation.name), candidate);
        DayMark* const mark = inStrip ? &scale.strip[static_cast<std::size_t>(kStripDays - 1 - age)] : nullptr;
        if (generation.state == Generation::State::Unsound && mark && *mark == DayMark::None) *mark = DayMark::Damaged;
        if (generation.state != Generation::State::Sound) continue;
        if (mark) *mark = DayMark::Sound;
        if (found < 2) {
            (found == 0 ? scale.newest : scale.previous) = static_cast<int>(i);
            open[found++] = std::move(candidate);
        }
    }
    if (scale.newest < 0) return;
    const Generation& newest = scale.generations[static_cast<std::size_t>(scale.newest)];
    scale.ageDays = std::max(0, static_cast<int>((today - newest.day).count()));
    scale.stale = scale.ageDays > options.staleDays;
    for (const DataKind& kind : kDataKinds)
        if (const ArchiveSlot* slot = open[0].header.memberOf(kind.id)) scale.members.push_back({kind.id, memberSize(*slot)});
    if (found == 2) compareNewest(scale, open[0], open[1]);
}

// What the record says of the scale's backup runs, oldest line first.
void countBackupRun(ScaleSurvey& scale, const RunRecordLine& run) {
    if (run.command != "backup-list") return;
    scale.lastBackup = run;
    if (run.status == kRunOk) {
        scale.lastSuccess = run.time;
        scale.consecutiveFailures = 0;
    } else {
        ++scale.consecutiveFailures;
    }
}

ScaleState judge(const ScaleSurvey& scale) {
    if (scale.newest < 0) return ScaleState::NoSound;
    if (scale.lastBackup && scale.lastBackup->status != kRunOk) return ScaleState::LastRunFailed;
    return scale.stale ? ScaleState::Stale : ScaleState::Ok;
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

// Text as valid UTF-8: a byte that starts no well-formed sequence becomes
// U+FFFD, so the page and the JSON stay valid whatever the record or a file
// name holds.
std::string validUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        std::size_t length = c < 0x80 ? 1 : (c >= 0xc2 && c <= 0xdf) ? 2 : (c >= 0xe0 && c <= 0xef) ? 3
                             : (c >= 0xf0 && c <= 0xf4) ? 4 : 0;
        for (std::size_t k = 1; length && k < length; ++k) {
            const unsigned char next = i + k < text.size() ? static_cast<unsigned char>(text[i + k]) : 0;
            // The second byte's range excludes overlong forms, surrogates and
            // code points past U+10FFFF.
            const unsigned char low = k > 1 ? 0x80 : c == 0xe0 ? 0xa0 : c == 0xf0 ? 0x90 : 0x80;
            const unsigned char high = k > 1 ? 0xbf : c == 0xed ? 0x9f : c == 0xf4 ? 0x8f : 0xbf;
            if (next < low || next > high) length = 0;
        }
        if (length == 0) {
            out += "\xEF\xBF\xBD";
            ++i;
        } else {
            out.append(text.substr(i, length));
            i += length;
        }
    }
    return out;
}

void escaped(std::string& out, std::string_view text) {
    for (const char c : validUtf8(text)) {
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

std::string json(std::string_view text) {
    std::string out;
    appendJsonString(out, validUtf8(text));
    return out;
}

constexpr const char* kNbsp = "&nbsp;";

std::string sizeText(std::int64_t size) {
    if (size < 1024) return std::to_string(size) + " B";
    char text[48];
    const double value = size < 1024 * 1024 ? size / 1024.0 : size / (1024.0 * 1024.0);
    std::snprintf(text, sizeof text, "%.1f %s", value, size < 1024 * 1024 ? "kB" : "MB");
    if (char* dot = std::strchr(text, '.')) *dot = ',';
    return text;
}

// "8. 12. 2026", or "8. 12." without the year.
std::string dateShown(Day day, bool withYear = true) {
    const std::chrono::year_month_day date{day};
    std::string text = std::to_string(static_cast<unsigned>(date.day())) + ". " +
                       std::to_string(static_cast<unsigned>(date.month())) + ".";
    if (withYear) text += " " + std::to_string(static_cast<int>(date.year()));
    return text;
}

const char* statusText(const std::string& status) {
    if (status == kRunOk) return "v pořádku";
    if (status == kRunFailed) return "selhalo";
    if (status == kRunMissing) return "chybí archiv";
    if (status == kRunSkipped) return "nespuštěno";
    return nullptr;
}

// "2026-12-08T02:00:13+01:00" shown as "8. 12. 02:00".
std::string runTimeText(const std::string& time) {
    int month = 0, day = 0;
    if (time.size() >= 16 && std::from_chars(time.data() + 5, time.data() + 7, month).ec == std::errc() &&
        std::from_chars(time.data() + 8, time.data() + 10, day).ec == std::errc())
        return std::to_string(day) + ". " + std::to_string(month) + ". " + time.substr(11, 5);
    return time;
}

std::string runText(const RunRecordLine& run) {
    const char* text = statusText(run.status);
    std::string out = runTimeText(run.time) + " " + run.command + ": " + (text ? text : run.status);
    if (run.libraryStatus && run.status != kRunOk) out += " (stav " + std::to_string(*run.libraryStatus) + ")";
    return out;
}

struct StateWords {
    const char* rowClass;
    const char* text;   // in the row
    const char* count;  // in the header's counts
};
constexpr StateWords kStateWords[] = {
    {"chybi", "bez úplné zálohy", "bez úplné zálohy"},
    {"selhala", "poslední záloha selhala", "poslední záloha selhala"},
    {"stara", "stará záloha", "se starou zálohou"},
    {"ok", "v pořádku", "v pořádku"},
};
const StateWords& wordsOf(ScaleState state) { return kStateWords[static_cast<std::size_t>(state)]; }

constexpr const char* kStateKeys[] = {"no_sound_archive", "last_run_failed", "stale", "ok"};

// The strip: a cell a day, a complete archive green, a damaged one red and
// crossed, each with its date on hover; the column's head names the days.
void strip(std::string& out, const ScaleSurvey& scale, Day today) {
    constexpr int kCell = 6;
    const int days = static_cast<int>(std::count(scale.strip.begin(), scale.strip.end(), DayMark::Sound));
    const int damaged = static_cast<int>(std::count(scale.strip.begin(), scale.strip.end(), DayMark::Damaged));
    const std::string width = std::to_string(kStripDays * kCell);
    out += "<svg class=\"pas\" width=\"" + width + "\" height=\"12\" viewBox=\"0 0 " + width +
           " 12\" role=\"img\"><title>Úplné zálohy za posledních " + std::to_string(kStripDays) +
           " dní: " + std::to_string(days);
    if (damaged) out += ", poškozené: " + std::to_string(damaged);
    out += "</title><rect x=\"0\" y=\"0\" width=\"" + width + "\" height=\"12\" fill=\"#ffffff\" stroke=\"#999999\"/>";
    for (int i = 0; i < kStripDays; ++i) {
        const DayMark mark = scale.strip[static_cast<std::size_t>(i)];
        if (mark == DayMark::None) continue;
        const std::string x = std::to_string(i * kCell + 1);
        const std::string title = "<title>" + dateShown(today - std::chrono::days{kStripDays - 1 - i}) +
                                  (mark == DayMark::Sound ? ": úplná záloha" : ": poškozený archiv") + "</title>";
        if (mark == DayMark::Sound) {
            out += "<rect x=\"" + x + "\" y=\"2\" width=\"" + std::to_string(kCell - 2) +
                   "\" height=\"8\" fill=\"#2e7d32\">" + title + "</rect>";
        } else {
            const int left = i * kCell + 1, right = left + kCell - 2;
            out += "<g>" + title + "<rect x=\"" + x + "\" y=\"2\" width=\"" + std::to_string(kCell - 2) +
                   "\" height=\"8\" fill=\"#c62828\"/><path d=\"M" + std::to_string(left) + " 2L" +
                   std::to_string(right) + " 10M" + std::to_string(right) + " 2L" + std::to_string(left) +
                   " 10\" stroke=\"#ffffff\" stroke-width=\"1\"/></g>";
        }
    }
    out += "</svg>";
}

// The kinds held: "vše" when all six are, their names otherwise; the sizes on
// hover and in print.
void heldKinds(std::string& out, const ScaleSurvey& scale) {
    std::string sizes, names;
    for (std::size_t i = 0; i < scale.members.size(); ++i) {
        const DataKind* kind = kindById(scale.members[i].id);
        const std::string name = kind ? kind->backupCaption : "?";
        sizes += (i ? ", " : "") + name + " " + sizeText(scale.members[i].size);
        names += (i ? ", " : "") + name;
    }
    const bool all = scale.members.size() == kDataKinds.size();
    out += "<span title=\"" + html(sizes) + "\">" + (all ? std::string("vše") : html(names)) + "</span>";
    out += "<span class=\"tisk\"> (" + html(sizes) + ")</span>";
}

void scaleRow(std::string& out, const ScaleSurvey& scale, const FolderSurvey& survey) {
    const StateWords& words = wordsOf(scale.state);
    out += std::string("<tr class=\"") + words.rowClass + "\"><td class=\"vaha\">" + html(scale.address);
    if (!scale.note.empty()) out += " <span class=\"pozn\">" + html(scale.note) + "</span>";
    out += std::string("</td><td class=\"stav\">") + words.text;
    if (scale.consecutiveFailures > 1)
        out += " <span class=\"pocet\">(" + std::to_string(scale.consecutiveFailures) + "×&nbsp;po sobě)</span>";
    out += "</td>";
    if (scale.newest < 0) {
        out += "<td>–</td><td>–</td>";
    } else {
        const Generation& newest = scale.generations[static_cast<std::size_t>(scale.newest)];
        out += "<td class=\"datum\" title=\"" + html(newest.name) + "\">" + dateShown(newest.day) + " (" +
               ageText(scale.ageDays, kNbsp) + ")</td><td class=\"data\">";
        heldKinds(out, scale);
        out += "</td>";
    }
    out += "<td class=\"cislo\">" + std::to_string(scale.generations.size());
    if (const int unsound = scale.unsoundGenerations())
        out += " <span class=\"vadna\">(poškozených:&nbsp;" + std::to_string(unsound) + ")</span>";
    out += "</td><td>";
    strip(out, scale, survey.today);
    out += "</td><td class=\"zmeny\">";
    switch (scale.compared) {
    case ScaleSurvey::Compared::NoPrevious: out += scale.newest < 0 ? "–" : "jen jedna generace"; break;
    case ScaleSurvey::Compared::Unreadable: out += "nelze porovnat"; break;
    case ScaleSurvey::Compared::Done:
        if (scale.changed.empty()) out += "beze změny";
        for (std::size_t i = 0; i < scale.changed.size(); ++i) {
            const DataKind* kind = kindById(scale.changed[i]);
            out += (i ? ", " : "") + std::string(kind ? kind->backupCaption : "?");
        }
        break;
    }
    // The newest run in the row, the others and the tally on hover.
    std::string earlier;
    for (std::size_t i = 1; i < scale.lastRuns.size(); ++i) earlier += runText(scale.lastRuns[i]) + "\n";
    if (scale.runsRecorded > 0)
        earlier += "neúspěšných běhů: " + std::to_string(scale.runsFailed) + " z " + std::to_string(scale.runsRecorded);
    out += "</td><td class=\"behy\" title=\"" + html(earlier) + "\">";
    if (scale.lastRuns.empty()) out += "žádný záznam";
    else
        out += std::string("<span class=\"") + (scale.lastRuns[0].status == kRunOk ? "beh-ok" : "beh-chyba") + "\">" +
               html(runText(scale.lastRuns[0])) + "</span>";
    if (scale.consecutiveFailures > 0)
        out += "<br><span class=\"souhrn\">poslední úspěšná záloha: " +
               (scale.lastSuccess.empty() ? std::string("žádná") : html(runTimeText(scale.lastSuccess))) + "</span>";
    out += "</td></tr>\n";
}

constexpr const char* kStyle = R"(<style>
body { font-family: "DejaVu Sans", Arial, sans-serif; font-size: 10pt; margin: 1.5em; color: #000; }
h1 { font-size: 16pt; margin: 0 0 0.3em 0; }
p { margin: 0.2em 0; }
table { border-collapse: collapse; margin-top: 0.8em; width: 100%; }
th, td { border: 1px solid #888; padding: 2px 4px; vertical-align: top; text-align: left; }
th { background: #e8e8e8; }
thead { display: table-header-group; }
tr { break-inside: avoid; page-break-inside: avoid; }
td.cislo { text-align: right; }
svg.pas { display: block; margin-top: 2px; }
td.vaha, td.stav, td.datum, td.behy { white-space: nowrap; }
td.data { max-width: 18em; }
.pozn, .souhrn, .pocet { color: #555; font-size: 9pt; }
tr.stara td { background: #fff3c4; }
tr.selhala td { background: #fbd3b0; }
tr.chybi td { background: #f8c4c4; }
tr.stara td.stav { background: #ffd966; }
tr.selhala td.stav { background: #f4a460; }
tr.chybi td.stav { background: #f08080; }
.vadna, .beh-chyba { color: #b00000; }
.beh-ok { color: #1b5e20; }
.tisk { display: none; }
.souhrn-stara { background: #ffd966; padding: 0 4px; }
.souhrn-selhala { background: #f4a460; padding: 0 4px; }
.souhrn-chybi { background: #f08080; padding: 0 4px; }
* { -webkit-print-color-adjust: exact; print-color-adjust: exact; }
@page { size: A4 landscape; margin: 1cm; }
@media print { body { margin: 0; font-size: 8pt; } .tisk { display: inline; } }
</style>
)";

}  // namespace

int ScaleSurvey::unsoundGenerations() const {
    return static_cast<int>(std::count_if(generations.begin(), generations.end(),
                                          [](const Generation& g) { return g.state == Generation::State::Unsound; }));
}

std::array<int, 4> FolderSurvey::counts() const {
    std::array<int, 4> counts{};
    for (const ScaleSurvey& scale : scales) ++counts[static_cast<std::size_t>(scale.state)];
    return counts;
}

std::optional<FolderSurvey> surveyFolder(const ReportOptions& options, std::string& problem) {
    FolderSurvey survey;
    const std::time_t when = options.now ? options.now : std::time(nullptr);
    const std::tm now = platform::localTime(when);
    survey.today = localDay(when);
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%d. %d. %d %02d:%02d", now.tm_mday, now.tm_mon + 1, now.tm_year + 1900,
                  now.tm_hour, now.tm_min);
    survey.generatedAt = stamp;
    survey.generatedTime = runRecordTime(when);
    survey.computer = platform::computerName();

    std::error_code ec;
    if (!fs::is_directory(options.folder, ec)) {
        problem = files::toUtf8(options.folder) + " není složka";
        return std::nullopt;
    }
    const fs::path full = fs::absolute(options.folder, ec);
    survey.folder = files::toUtf8(ec ? options.folder : full.lexically_normal());
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
            if (entry->problem != AddressProblem::None) {
                survey.notes.push_back(skippedEntryLine(*entry, *options.list));
            } else {
                ScaleSurvey& scale = scaleOf(entry->address);
                if (scale.note.empty()) scale.note = entry->note;
            }
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
    std::optional<DatedArchives> archives = scanDatedArchives(options.folder, survey.today);
    if (!archives) {
        problem = "složku " + files::toUtf8(options.folder) + " nelze přečíst";
        return std::nullopt;
    }
    for (auto& [part, generations] : archives->byPart) {
        const auto found = byPart.find(part);
        if (found == byPart.end() && fromList) continue;
        ScaleSurvey& scale = found != byPart.end() ? survey.scales[found->second] : scaleOf(part);
        scale.generations = std::move(generations);
    }
    for (auto& [part, names] : archives->futureByPart) {
        const auto found = byPart.find(part);
        if (found == byPart.end() && fromList) continue;
        ScaleSurvey& scale = found != byPart.end() ? survey.scales[found->second] : scaleOf(part);
        for (const std::string& name : names)
            survey.notes.push_back(name + " má datum v budoucnosti; mezi zálohy se nepočítá");
        scale.futureDated = std::move(names);
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
        countBackupRun(scale, run);
        scale.lastRuns.insert(scale.lastRuns.begin(), std::move(run));
        if (scale.lastRuns.size() > options.runsShown) scale.lastRuns.pop_back();
    }
    if (!fromList)
        std::sort(survey.scales.begin(), survey.scales.end(),
                  [](const ScaleSurvey& a, const ScaleSurvey& b) { return naturalLess(a.namePart, b.namePart); });
    for (ScaleSurvey& scale : survey.scales) {
        surveyArchives(scale, options.folder, survey.today, options);
        scale.state = judge(scale);
    }
    // Worst first; within a state the list's order or the names'.
    std::stable_sort(survey.scales.begin(), survey.scales.end(),
                     [](const ScaleSurvey& a, const ScaleSurvey& b) { return a.state < b.state; });
    return survey;
}

std::string renderReportPage(const FolderSurvey& survey, const ReportOptions& options) {
    const std::array<int, 4> counts = survey.counts();
    std::string out;
    out.reserve(2048 + survey.scales.size() * 1500);
    out += "<!DOCTYPE html>\n<html lang=\"cs\">\n<head>\n<meta charset=\"utf-8\">\n<title>Přehled záloh – " +
           html(survey.computer.empty() ? survey.folder : survey.computer + ": " + survey.folder) + "</title>\n";
    out += kStyle;
    out += "</head>\n<body>\n<h1>Přehled záloh</h1>\n";
    out += "<p>Počítač: <strong>" + html(survey.computer.empty() ? "neznámý" : survey.computer) +
           "</strong> · složka: <strong>" + html(survey.folder) + "</strong> · vytvořeno: " +
           html(survey.generatedAt) + "</p>\n";
    out += options.list ? "<p>Seznam vah: " + html(*options.list) + "</p>\n"
                        : std::string("<p>Váhy: všechny, o nichž složka ví</p>\n");
    out += "<p>Vah: <strong>" + std::to_string(survey.scales.size()) + "</strong>";
    for (const ScaleState state : {ScaleState::Ok, ScaleState::LastRunFailed, ScaleState::Stale, ScaleState::NoSound}) {
        const std::string count = std::to_string(counts[static_cast<std::size_t>(state)]);
        if (state == ScaleState::Ok) out += " · v pořádku: <strong>" + count + "</strong>";
        else
            out += std::string(" · <span class=\"souhrn-") + wordsOf(state).rowClass + "\">" + wordsOf(state).count +
                   ": <strong>" + count + "</strong></span>";
    }
    out += "</p>\n";
    out += "<p class=\"souhrn\">Stará je záloha starší než " + dayCount(options.staleDays, kNbsp) +
           "; úplná je záloha, jejíž archiv je v pořádku a obsahuje data. Pás ukazuje posledních " +
           std::to_string(kStripDays) + " dní (" + dateShown(survey.today - std::chrono::days{kStripDays - 1}) +
           " až " + dateShown(survey.today) +
           ", vpravo dnešek): zelená značka je den s úplnou zálohou, červená přeškrtnutá den s poškozeným "
           "archivem. „stav“ je číslo, které vrátila knihovna váhy: 0 znamená úspěch, jiná čísla hlásí "
           "knihovna váhy (např. váha neodpovídá).</p>\n";
    for (const std::string& note : survey.notes) out += "<p class=\"vadna\">" + html(note) + "</p>\n";
    if (survey.scales.empty()) {
        out += "<p><strong>Ve složce nejsou žádné zálohy.</strong></p>\n";
    } else {
        out += "<table>\n<thead><tr><th>Váha</th><th>Stav</th><th>Nejnovější úplná záloha</th><th>Uložená data</th>"
               "<th>Generací</th><th>Posledních " + std::to_string(kStripDays) + " dní (" +
               dateShown(survey.today - std::chrono::days{kStripDays - 1}, false) + "–" +
               dateShown(survey.today, false) + ")</th><th>Změny proti předchozí</th><th>Poslední běh</th></tr></thead>\n<tbody>\n";
        for (const ScaleSurvey& scale : survey.scales) scaleRow(out, scale, survey);
        out += "</tbody>\n</table>\n";
    }
    out += "</body>\n</html>\n";
    return out;
}

std::string renderReportJson(const FolderSurvey& survey, const ReportOptions& options) {
    const auto text = [](const std::string& value) { return value.empty() ? std::string("null") : json(value); };
    const std::array<int, 4> counts = survey.counts();
    std::string out = "{\"generated\":" + json(survey.generatedTime) + ",\"computer\":" + json(survey.computer) +
                      ",\"folder\":" + json(survey.folder) +
                      ",\"stale_days\":" + std::to_string(options.staleDays) +
                      ",\"counts\":{\"scales\":" + std::to_string(survey.scales.size());
    for (std::size_t i = 0; i < counts.size(); ++i)
        out += std::string(",\"") + kStateKeys[i] + "\":" + std::to_string(counts[i]);
    out += "},\"scales\":[";
    for (std::size_t i = 0; i < survey.scales.size(); ++i) {
        const ScaleSurvey& scale = survey.scales[i];
        const Generation* newest =
            scale.newest < 0 ? nullptr : &scale.generations[static_cast<std::size_t>(scale.newest)];
        out += (i ? ",\n" : "\n") + std::string("{\"address\":") + json(scale.address) + ",\"note\":" +
               json(scale.note) + ",\"state\":\"" + kStateKeys[static_cast<std::size_t>(scale.state)] +
               "\",\"newest_archive\":" + (newest ? json(newest->name) : "null") +
               ",\"newest_date\":" + (newest ? json(dateText(newest->day)) : "null") +
               ",\"age_days\":" + (newest ? std::to_string(scale.ageDays) : "null") +
               ",\"last_run_status\":" + (scale.lastBackup ? json(scale.lastBackup->status) : "null") +
               ",\"last_run_time\":" + (scale.lastBackup ? json(scale.lastBackup->time) : "null") +
               ",\"last_success_time\":" + text(scale.lastSuccess) +
               ",\"consecutive_failures\":" + std::to_string(scale.consecutiveFailures) + "}";
    }
    out += "]}\n";
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
            std::fprintf(stderr, "zaltool: report: --stale-days chce počet dní od 0 do 3650, ne '%s' "
                                 "(viz 'zaltool report --help')\n", text.c_str());
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
    // Each written beside its final name and renamed into place, so a reader
    // (or a browser left open on it) never sees half a page.
    const fs::path target = out ? files::toPath(*out) : options.folder / kReportPageFile;
    fs::path twin = target;
    twin.replace_extension(".json");
    if (twin == target) twin += ".json";
    // Never over a link, a device, a FIFO or a folder of that name.
    for (const auto& [path, text] : {std::pair{target, page}, std::pair{twin, renderReportJson(*survey, options)}}) {
        const files::WriteResult written = files::writeFileAtomically(path, text, {.refuseLink = true});
        if (written == files::WriteResult::NotAFile) {
            std::fprintf(stderr, "zaltool: %s není obyčejný soubor (odkaz, roura, zařízení nebo složka): "
                                 "přehled nezapsán\n", files::toUtf8(path).c_str());
            return 1;
        }
        if (written != files::WriteResult::Written) {
            std::fprintf(stderr, "zaltool: přehled nelze zapsat do %s\n", files::toUtf8(path).c_str());
            return 1;
        }
    }
    const std::array<int, 4> counts = survey->counts();
    std::printf("Přehled záloh zapsán do %s (vah: %zu, poslední záloha selhala: %d, se starou zálohou: %d, "
                "bez úplné zálohy: %d)\n",
                files::toUtf8(target).c_str(), survey->scales.size(), counts[1], counts[2], counts[0]);
    return 0;
}

}  // namespace zalohy
