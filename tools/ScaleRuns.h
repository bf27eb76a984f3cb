// What zaltool's runs against scales share: the kinds of --kinds, the scale
// library beside zaltool, the backup dialog's run for one scale, the names of
// dated archives, the backup before a send and the check whether a scale
// answers.
#pragma once

#include "AtomicWrite.h"
#include "Command.h"
#include "RunResult.h"

#include <array>
#include <filesystem>
#include <optional>
#include <string>

namespace zalohy {

// The words of --kinds, in the order of kDataKinds: the check boxes' captions
// in Czech without diacritics (Formáty, Texty, Název obchodu, Rychloklávesy
// as "presety" after its box, PLU soubor, Image soubor).
inline constexpr std::array<const char*, 6> kKindWords{"formaty", "texty", "nazev", "presety", "plu", "image"};

// A set of kinds as a job's argument ("110000") and back.
std::string kindsArgument(const KindSet& kinds);
KindSet kindsFromArgument(const std::string& text);

// The options every run takes, and those of some.
inline const Option kKindsOption{"kinds", "LIST"};
inline const Option kWorkOption{"work", "DIR"};
inline const Option kJobsOption{"jobs", "N"};
inline const Option kBackupFirstOption{"backup-first", "DIR"};
inline const Option kForceOption{"force"};

// --kinds as a set, nothing when not given; an unknown word is a UsageError.
std::optional<KindSet> kindsOption(const Call& call);
// --backup-first as an absolute folder, nothing when not given; --force
// without it is a UsageError.
std::optional<std::string> backupFirstOption(const Call& call);
// The folder of --backup-first made ready before anything is sent: one that
// is missing is created (one level, like mkdir) and said; false, with a line
// saying why, when it is no folder or cannot be made. A dry run creates
// nothing. `tell`: the line on standard output (not among --json's lines).
bool prepareSafetyFolder(const std::string& folder, bool dryRun = false, bool tell = true);
// Operands name files against the folder zaltool was started in, not the
// working folder of --work.
std::string absolutePath(const std::string& given);
// Enters the --work folder, when given; false with a line saying why.
bool enterWorkFolder(const Call& call);
// Binds the scale library beside zaltool; false with a line saying why.
bool bindLibrary();

// The backup run for one scale into `archive`, its lines to `out`; true when
// it completed and the archive holds every kind. `status`, when given,
// receives the library's status of the transfer that failed (0: none did).
bool backUpScale(const std::string& address, const std::filesystem::path& archive, const KindSet& kinds,
                 int* status = nullptr, JobOutput& out = runOutput());

// The backup run into a free temporary name beside `target`, the complete
// archive then synced and put in place (files::Replace::No: never over a
// file there); whatever fails, nothing is left beside the target.
enum class Placed { Done, NoTemporary, Incomplete, NotPlaced };
Placed backUpInPlace(const std::string& address, const std::filesystem::path& target, const KindSet& kinds,
                     files::Replace replace, int* status = nullptr, JobOutput& out = runOutput());

// A list job's line for a scale whose transfer the library failed:
// "127.0.0.5: Chyba komunikace s váhou (stav 5)".
std::string communicationFailureLine(const std::string& address, int status);

// The local time as strftime's `format` gives it; today's date as YYYY-MM-DD;
// "<address>-<date>.zal", the address written as archiveNamePart writes it.
std::string localTime(const char* format);
std::string today();
std::string archiveName(const std::string& address, const std::string& date);

// send --backup-first=DIR: backs up from the scale at `address` the kinds
// about to be sent into DIR/<address>-<date>-<time>-pred-odeslanim.zal,
// through a temporary name that takes the final one only when the archive is
// complete, and never over an existing file. Runs in the working folder, with
// the library bound. True when the send may go on: the backup is complete,
// or `force` is given (then the failure is still reported).
bool backUpBeforeSend(const std::string& address, const KindSet& kinds, const std::string& folder, bool force,
                      JobOutput& out);
// The send run to one scale for send, restore-list and a job of send-list:
// the archive's kinds read (which send and restore-list say, as the dialog
// shows the chosen archive's name), the kinds of `kinds` sent instead when
// given (a kind the archive does not hold is refused, or with `onlyHeld` left
// out), the backup of `safetyFolder` made first when given, then the run.
// Runs in the working folder with the library bound; its lines go to `out`,
// a refusal's line too (not started: not complete, status 0).
struct ScaleSend {
    std::filesystem::path archive;  // absolute
    std::string address;
    std::optional<KindSet> kinds;
    bool onlyHeld = false;
    // One scale of send-list: its kinds already checked against the archive,
    // the image never sent, a failed extraction stops the list.
    bool listed = false;
    std::optional<std::string> safetyFolder;
    bool force = false;
};
RunResult sendToScale(const ScaleSend& send, JobOutput& out);

// The safety archive's name for `address` made at `stamp` ("YYYY-MM-DD-HHMMSS").
std::string safetyArchiveName(const std::string& address, const std::string& stamp);

// What asking a scale for its shop name found: the library's status, and
// whether the scale answered (status 0). `problem` (Czech) says why the
// library could not be asked at all.
struct ScaleCheck {
    int status = 1;
    bool answered = false;
    std::string problem;
};
// Asks in the current folder and removes what came.
ScaleCheck askShopName(const std::string& address);
// "ADDRESS: váha odpovídá (stav 0)" and the like.
std::string checkLine(const std::string& address, const ScaleCheck& check);
// The prefix of the scratch folders of check and check-list in the system's
// temporary folder.
inline constexpr const char* kScratchPrefix = "zaltool-kontrola-";

}  // namespace zalohy
