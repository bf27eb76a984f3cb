#include "SendDialog.h"

#include "BackupArchive.h"
#include "BackupDialog.h"
#include "DataKind.h"
#include "File.h"
#include "WorkingFiles.h"
#include "FolderLock.h"
#include "ScaleAddress.h"
#include "ScaleList.h"

#include <array>
#include <iterator>
#include <optional>

namespace zalohy {

namespace {

const char* const kBadNews = "Ne zrovna dobrá zpráva";
const char* const kAllSent = "Navolené datové soubory jsou odeslány";
constexpr const char* kCheckConnection = "Chyba komunikace s váhou \nZkontrolujte připojení a opakujte odeslání";
constexpr Control kArchiveBox = Control::EdFileName;
constexpr Control kAddressBox = Control::EditScaleNumber;

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

void removeIfExists(const std::string& name) { files::removeFile(files::toPath(name)); }

// The log line for a line of the list that names no usable scale.
std::string skippedLine(const ScaleListEntry& entry) { return skippedEntryLine(entry, kScaleListFile); }

}  // namespace

SendDialog::SendDialog(WindowPort& window, ScaleRunner& runner)
    : window_(window), runner_(runner), report_(window, &shown_) {
    for (const DataKind& kind : kDataKinds) window_.setCaption(kind.checkBox, kind.sendCaption);
    FormCreate();
}

void SendDialog::FormCreate() {
    window_.setCaption(Control::Window, "Odeslání formátů a textů do váhy");
    window_.setCaption(Control::GroupBox1, "Výběr souborů");
    window_.setCaption(kDataKinds[kShopName].checkBox, "Název obchodu");
    window_.setCaption(kDataKinds[kPresetKeys].checkBox, "Rychloklávesy");
    window_.setCaption(Control::BackBtn, "Zpět");
    window_.setCaption(Control::SendFormatBtn, "Odeslat");
}

void SendDialog::FormActivate() {
    window_.setStatus("Komuniační klídek");
    window_.clearLog();
    for (std::size_t kind : {kFormats, kShopName, kTexts, kPresetKeys, kPlu})
        window_.setChecked(kDataKinds[kind].checkBox, false);
    window_.setEditText(kArchiveBox, "");
}

void SendDialog::clicked(Control button) {
    if (button == Control::FileSelectBtn) FileSelectBtnClick();
    else if (button == Control::SendFormatBtn) SendFormatBtnClick();
    else if (button == Control::SendByList) SendByListClick();
}

void SendDialog::warn(const char* text) { window_.messageBox(text, kBadNews, kMbOk | kMbIconWarning); }

void SendDialog::show(const std::string& line) {
    shown_.push_back(line);
    window_.addLine(line);
}

std::string SendDialog::listVerdict(int failed, int visited) {
    if (failed == 0) return kAllSent;
    return "Odeslání se nezdařilo u " + std::to_string(failed) + " z " + std::to_string(visited) + " vah";
}

BackupArchive SendDialog::archiveNamedInTheBox() { return BackupArchive(window_.editText(kArchiveBox), &report_); }

void SendDialog::warnIfNoArchiveName() {
    if (window_.editText(kArchiveBox).size() < 5)
        window_.messageBox("Zadejte název zálohy tlačítkem ... ", "Upozornění na zapomenutou věc",
                           kMbOk | kMbIconWarning);
}

void SendDialog::FileSelectBtnClick() {
    const std::optional<std::string> path =
        window_.chooseFile({FileDialogRequest::Open, files::toUtf8(files::workingFolder()), archiveFileFilters(), 0});
    if (!path || path->empty()) return;
    window_.setEditText(kArchiveBox, *path);
    window_.addLine(*path);

    // An archive whose directory cannot be read offers nothing to send.
    std::array<std::int32_t, 10> ids{};
    archiveNamedInTheBox().ReadDirectory(ids);
    for (const DataKind& kind : kDataKinds) {
        const bool present = ids[static_cast<std::size_t>(archiveSlotOf(kind.id))] == kind.id;
        window_.setChecked(kind.checkBox, present);
        window_.setEnabled(kind.checkBox, present);
    }
}

SendDialog::Transfer SendDialog::sendKind(std::size_t kindIndex, const std::string& address, BackupArchive& archive,
                                          const char* progress, int& status) {
    const DataKind& kind = kDataKinds[kindIndex];
    const std::string upload = scaleFileName(address, kind.uploadSuffix);
    window_.setStatus(progress);
    show(upload);
    if (archive.ExtractMember(kind.id, upload, BackupArchive::Output::WorkingCopy) < 0) {
        warn(kKindTexts[kindIndex].extractionFailure);
        return Transfer::NotExtracted;
    }
    // The status line and the new log line must be on screen while the
    // transfer blocks the window.
    window_.repaint();
    status = runner_.RunScaleCommand(scaleCommandLine(kind.uploadWord, address));
    return status == 0 ? Transfer::Sent : Transfer::Failed;
}

RunResult SendDialog::SendFormatBtnClick() {
    RunResult run;
    shown_.clear();
    // Checked before anything is extracted: an address that cannot name a
    // scale would build file names outside the working folder.
    const std::string address = window_.editText(kAddressBox);
    if (!acceptScaleAddress(window_, address)) return run;
    // The first extraction would overwrite such an archive, and the upload
    // then delete it.
    const std::string archiveName = window_.editText(kArchiveBox);
    if (!archiveName.empty() && isWorkingFile(archiveName, address)) {
        refuseWorkingFileAsArchive(window_, archiveName);
        return run;
    }

    BackupArchive archive = archiveNamedInTheBox();
    warnIfNoArchiveName();

    FolderLock folderLock;  // another run in this working folder would read this run's status
    if (!folderLock.acquire()) return warn(folderLock.problem().c_str()), run;
    const BusyScope busy(window_);
    for (std::size_t i = 0; i < kDataKinds.size(); ++i) {
        if (!window_.isChecked(kDataKinds[i].checkBox)) continue;
        const KindTexts& texts = kKindTexts[i];
        run.kinds[i].tried = true;
        switch (sendKind(i, address, archive, texts.progress, run.kinds[i].status)) {
        case Transfer::NotExtracted:
            run.lines = shown_;
            return run;
        case Transfer::Failed:
            // The upload file stays for the user to look at.
            warn(texts.transferFailure);
            window_.setStatus(texts.notSent);
            run.lines = shown_;
            return run;
        case Transfer::Sent:
            run.kinds[i].done = true;
            removeIfExists(scaleFileName(address, kDataKinds[i].uploadSuffix));
            break;
        }
    }
    window_.setStatus(kAllSent);
    run.complete = true;
    run.lines = shown_;
    return run;
}

// Every scale of the list gets every ticked kind but the image before the next
// scale is started. A failed transfer is only logged and the run goes on; a
// failed extraction would fail for every scale alike and ends the run.
ListRunResult SendDialog::SendByListClick() {
    ListRunResult result;
    BackupArchive archive = archiveNamedInTheBox();
    warnIfNoArchiveName();

    // The list is read in pieces as the run goes, never whole: a list that is
    // no regular file (a FIFO, a device) is refused like a missing one.
    ScaleListReader list;
    const auto openList = [&] {
        if (list.open(kScaleListFile) == ScaleListReader::Opened::Ok) return true;
        window_.messageBox("Nepodarilo se otevrit soubor seznam.lst", "No je do divný!!!", kMbOk);
        return false;
    };
    if (!openList()) return result;

    // A first reading checks every entry before anything is extracted.
    const std::string archiveName = window_.editText(kArchiveBox);
    while (const std::optional<ScaleListEntry> entry = list.next()) {
        if (entry->problem == AddressProblem::None && !archiveName.empty() &&
            isWorkingFile(archiveName, entry->address)) {
            refuseWorkingFileAsArchive(window_, archiveName);
            return result;
        }
    }
    if (!openList()) return result;

    FolderLock folderLock;  // another run in this working folder would read this run's status
    if (!folderLock.acquire()) return warn(folderLock.problem().c_str()), result;
    const BusyScope busy(window_);
    shown_.clear();
    while (const std::optional<ScaleListEntry> next = list.next()) {
        const ScaleListEntry& entry = *next;
        if (entry.problem != AddressProblem::None) {
            show(skippedLine(entry));
            continue;
        }
        ++result.visited;
        const RunResult sent = sendToListedScale(entry.address, archive);
        if (sent.stopsTheList) {
            result.stopped = true;
            result.lines = shown_;
            return result;
        }
        if (!sent.complete) ++result.failed;
    }

    // A run in which some scale did not get everything never ends with the
    // words that everything was sent.
    const std::string verdict = listVerdict(result.failed, result.visited);
    if (result.failed > 0) {
        window_.setStatus(verdict);
    } else if (list.reachedEndOfFile()) {
        window_.setStatus(verdict);
        result.complete = true;
    }
    show(verdict);
    result.lines = shown_;
    return result;
}

RunResult SendDialog::SendToListedScale(const std::string& address, BackupArchive& archive) {
    shown_.clear();
    RunResult run = sendToListedScale(address, archive);
    run.lines = shown_;
    return run;
}

RunResult SendDialog::sendToListedScale(const std::string& address, BackupArchive& archive) {
    RunResult run;
    run.complete = true;
    for (std::size_t i = 0; i < kImage; ++i) {
        if (!window_.isChecked(kDataKinds[i].checkBox)) continue;
        if (i == kPlu) window_.messageBox("", "", kMbOk);
        const KindTexts& texts = kKindTexts[i];
        run.kinds[i].tried = true;
        const Transfer result = sendKind(i, address, archive, texts.listProgress, run.kinds[i].status);
        if (result == Transfer::NotExtracted) {
            run.complete = false;
            run.stopsTheList = true;
            break;
        }
        run.kinds[i].done = result == Transfer::Sent;
        if (!run.kinds[i].done) {
            show(texts.listFailure);
            run.complete = false;
        }
        removeIfExists(scaleFileName(address, kDataKinds[i].uploadSuffix));
    }
    return run;
}

}  // namespace zalohy
