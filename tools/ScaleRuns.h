// zaltool's runs for one scale: the backup run and the send run started with
// a report on the console, and the lines a list job says of them.
#pragma once

#include "AtomicWrite.h"
#include "Command.h"
#include "RunOptions.h"
#include "RunResult.h"

#include <filesystem>
#include <optional>
#include <string>

namespace zalohy {

// The backup run for one scale into `archive`, its lines to `out`; true when
// it completed and the archive holds every kind. `status`, when given,
// receives the library's status of the transfer that failed (0: none did).
bool backUpScale(const std::string& address, const std::filesystem::path& archive, const KindSet& kinds,
                 int* status, JobOutput& out);

// The backup run into a free temporary name beside `target`, the complete
// archive then synced and put in place (files::Replace::No: never over a
// file there); whatever fails, nothing is left beside the target.
enum class Placed { Done, NoTemporary, Incomplete, NotPlaced };
Placed backUpInPlace(const std::string& address, const std::filesystem::path& target, const KindSet& kinds,
                     files::Replace replace, int* status, JobOutput& out);

// A list job's line for a scale whose transfer the library failed:
// "127.0.0.5: Chyba komunikace s váhou (stav 5)".
std::string communicationFailureLine(const std::string& address, int status);

// The send run to one scale for send, restore-list and a job of send-list:
// the archive's kinds read (send and restore-list first say its name, as
// the send dialog shows the archive chosen), the kinds of `kinds` sent instead when
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
    std::optional<std::filesystem::path> safetyFolder;
    bool force = false;
};
RunResult sendToScale(const ScaleSend& send, JobOutput& out);

// "TEXT (stav N)"
std::string withStatus(const std::string& text, int status);

}  // namespace zalohy
