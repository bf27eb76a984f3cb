#include "SendRun.h"

#include "BackupArchive.h"
#include "DataKind.h"
#include "File.h"
#include "FolderLock.h"
#include "WorkingFiles.h"

#include <array>
#include <iterator>

namespace zalohy {

namespace {

constexpr const char* kAllSentText = "Navolené datové soubory jsou odeslány";
constexpr const char* kCheckConnection = "Chyba komunikace s váhou \nZkontrolujte připojení a opakujte odeslání";

// What the send runs show for each kind, in the order of kDataKinds. The run
// to a list never sends the image kind.
struct KindTexts {
    const char* progress;      // status line while the kind is sent to one scale
    const char* listProgress;  // the same in the run to a list
    const char* extractionFailure;
    const char* transferFailure;
    const char* notSent;       // status line after a failed transfer to one scale
    const char* listFailure;   // log line after a failed transfer in the run to a list
};

constexpr KindTexts kKindTexts[] = {
    {"Odesílají se formáty", "Odesílají se formáty", "Nepodařilo se extrahovat soubor fromátů z archivu",
     kCheckConnection, "Data formátů nebyla odeslána", "Chyba komunikace s váhou Data formátů nebyla odeslána"},
    {"Odesílají se Texty", "Odesílají se Texty", "Nepodařilo se extrahovat soubor textů z archivu",
     kCheckConnection, "Data textů nebyla odeslána", "Chyba komunikace s váhou Data textu nebyla odeslána"},
    {"Odesílá se název obchodu", "Odesílá se název obchodu",
     "Nepodařilo se extrahovat soubor názvu obchodu z archivu", "Chyba komunikace s váhou \nZkontrolujte zadání",
     "Data názvu obchodu nebyla odeslána", "Chyba komunikace s váhou Data nazvu obchodu nebyla odeslána"},
    {"Odesílá se rozložení kláves", "Odesílá se rozložení kláves", "Nepodařilo se extrahovat soubor kláves z archivu",
     kCheckConnection, "Data rozložení kláves nebyla odeslána",
     "Chyba komunikace s váhou Data přířazení kláves nebyla odeslána"},
    {"Odesílá se PLU data", "Odesílá se PLU soubor", "Nepodařilo se extrahovat soubor PLU z archivu",
     kCheckConnection, "Data PLU nebyla odeslána", "Chyba komunikace s váhou Data PLU nebyla odeslána"},
    {"Odesílá se Image data", nullptr, "Nepodařilo se extrahovat soubor Image z archivu", kCheckConnection,
     "Data Image nebyla odeslána", nullptr},
};
static_assert(std::size(kKindTexts) == kDataKinds.size());

}  // namespace

std::optional<KindSet> heldKinds(const std::filesystem::path& archive, Report* report) {
    BackupArchive container(files::toUtf8(archive), report);
    std::array<std::int32_t, 10> ids{};
    if (!container.ReadDirectory(ids)) return std::nullopt;
    KindSet held{};
    for (std::size_t i = 0; i < kDataKinds.size(); ++i) held[i] = container.header().holds(kDataKinds[i].id);
    return held;
}

std::string listVerdict(int failed, int visited) {
    if (failed == 0) return kAllSentText;
    return "Odeslání se nezdařilo u " + std::to_string(failed) + " z " + std::to_string(visited) + " vah";
}

void SendRun::show(const std::string& line) {
    result_.lines.push_back(line);
    report_.line(line);
}

void SendRun::removeUpload(std::size_t kindIndex) {
    files::removeFile(files::toPath(scaleFileName(request_.address, kDataKinds[kindIndex].uploadSuffix)));
}

RunResult SendRun::run() {
    result_ = RunResult();
    BackupArchive archive(files::toUtf8(request_.archive), &report_);
    if (request_.listed) return toListedScale(archive);
    // Checked before anything is extracted: an address that cannot name a
    // scale would build file names outside the working folder.
    if (!acceptScaleAddress(report_, request_.address)) return result_;
    // The first extraction would overwrite such an archive, and the upload
    // then delete it.
    if (!request_.archive.empty() && isWorkingFile(request_.archive, request_.address)) {
        refuseWorkingFileAsArchive(report_, files::toUtf8(request_.archive));
        return result_;
    }
    FolderLock folderLock;  // another run in this working folder would read this run's status
    if (!folderLock.acquire()) return report_.warning(folderLock.problem(), kWarningCaption), result_;
    const auto busy = report_.busyWhileHeld();
    return toOneScale(archive);
}

SendRun::Transfer SendRun::sendKind(std::size_t kindIndex, BackupArchive& archive, const char* progress,
                                    int& status) {
    const DataKind& kind = kDataKinds[kindIndex];
    const std::string upload = scaleFileName(request_.address, kind.uploadSuffix);
    report_.status(progress);
    show(upload);
    if (archive.ExtractMember(kind.id, upload, BackupArchive::Output::WorkingCopy) < 0) {
        report_.warning(kKindTexts[kindIndex].extractionFailure, kWarningCaption);
        return Transfer::NotExtracted;
    }
    // The status line and the new log line must be on screen while the
    // transfer blocks the window.
    report_.repaint();
    status = runner_.RunScaleCommand(scaleCommandLine(kind.uploadWord, request_.address));
    return status == 0 ? Transfer::Sent : Transfer::Failed;
}

RunResult SendRun::toOneScale(BackupArchive& archive) {
    for (std::size_t i = 0; i < kDataKinds.size(); ++i) {
        if (!request_.kinds[i]) continue;
        const KindTexts& texts = kKindTexts[i];
        KindOutcome& outcome = result_.kinds[i];
        outcome.tried = true;
        switch (sendKind(i, archive, texts.progress, outcome.status)) {
        case Transfer::NotExtracted: return result_;
        case Transfer::Failed:
            // The upload file stays for the user to look at.
            report_.warning(texts.transferFailure, kWarningCaption);
            report_.status(texts.notSent);
            return result_;
        case Transfer::Sent:
            outcome.done = true;
            removeUpload(i);
            break;
        }
    }
    report_.status(kAllSentText);
    result_.complete = true;
    return result_;
}

RunResult SendRun::toListedScale(BackupArchive& archive) {
    result_.complete = true;
    for (std::size_t i = 0; i < kImage; ++i) {
        if (!request_.kinds[i]) continue;
        if (i == kPlu) report_.pause();
        const KindTexts& texts = kKindTexts[i];
        KindOutcome& outcome = result_.kinds[i];
        outcome.tried = true;
        const Transfer transfer = sendKind(i, archive, texts.listProgress, outcome.status);
        if (transfer == Transfer::NotExtracted) {
            result_.complete = false;
            result_.stopsTheList = true;
            break;
        }
        outcome.done = transfer == Transfer::Sent;
        if (!outcome.done) {
            show(texts.listFailure);
            result_.complete = false;
        }
        removeUpload(i);
    }
    return result_;
}

}  // namespace zalohy
