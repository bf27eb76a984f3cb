// The send run to one scale: each kind asked for is extracted from the
// archive and handed to the scale library. The send dialog starts it for the
// scale in its address box and for each scale of its list, zaltool for the
// scale of its command line or of a list job.
#pragma once

#include "BackupRun.h"
#include "RunResult.h"

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

namespace zalohy {

class BackupArchive;

struct SendRequest {
    std::string address;
    std::filesystem::path archive;
    KindSet kinds{};  // to send: of those the archive holds (heldKinds)
    // One scale of a run over a list: the list's texts, never the image, a
    // failed transfer does not end the run (a failed extraction ends the
    // list: stopsTheList), and the list's run holds the folder lock.
    bool listed = false;
};

// The kinds whose members the archive holds where the send run looks for
// them; nothing when its directory cannot be read (the container says so
// in `report`).
std::optional<KindSet> heldKinds(const std::filesystem::path& archive, Report* report);

class SendRun {
public:
    // The transfers go through `runner`, whose window owns the library's box.
    SendRun(SendRequest request, RunReport& report, ScaleRunner& runner)
        : request_(std::move(request)), report_(report), runner_(runner) {}
    RunResult run();

private:
    enum class Transfer { NotExtracted, Failed, Sent };
    RunResult toOneScale(BackupArchive& archive);
    RunResult toListedScale(BackupArchive& archive);
    // Extracts one kind's member for the scale and hands it to the library.
    // A failed extraction is reported here; a failed transfer is left to the run.
    Transfer sendKind(std::size_t kindIndex, BackupArchive& archive, const char* progress, int& status);
    void removeUpload(std::size_t kindIndex);
    void show(const std::string& line);

    SendRequest request_;
    RunReport& report_;
    ScaleRunner& runner_;
    RunResult result_;
};

// The last line of a run over a list that was not stopped: that everything
// was sent, or to how many of the scales visited it was not.
std::string listVerdict(int failed, int visited);

}  // namespace zalohy
