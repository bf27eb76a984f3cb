#include "SendDialog.h"

#include "BackupArchive.h"
#include "BackupDialog.h"
#include "DataKind.h"
#include "FileIo.h"
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
const char* const kArchiveBox = "EdFileName";
const char* const kAddressBox = "EditScaleNumber";

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

void removeIfExists(const std::string& name) { fileio::removeFile(name); }

// The log line for a line of the list that names no usable scale.
std::string skippedLine(const ScaleListEntry& entry) { return skippedEntryLine(entry, kScaleListFile); }

}  // namespace

SendDialog::SendDialog(WindowPort& window, ScaleRunner& runner) : window_(window), runner_(runner), report_(window) {
    for (const DataKind& kind : kDataKinds) window_.setCaption(kind.checkBox, kind.sendCaption);
    FormCreate();
}

void SendDialog::FormCreate() {
    window_.setCaption("", "Odeslání formátů a textů do váhy");
    window_.setCaption("GroupBox1", "Výběr souborů");
    window_.setCaption(kDataKinds[kShopName].checkBox, "Název obchodu");
    window_.setCaption(kDataKinds[kPresetKeys].checkBox, "Rychloklávesy");
    window_.setCaption("BackBtn", "Zpět");
    window_.setCaption("SendFormatBtn", "Odeslat");
}

void SendDialog::FormActivate() {
    window_.setStatus("Komuniační klídek");
    window_.clearLog();
    for (std::size_t kind : {kFormats, kShopName, kTexts, kPresetKeys, kPlu})
        window_.setChecked(kDataKinds[kind].checkBox, false);
    window_.setEditText(kArchiveBox, "");
}

void SendDialog::warn(const char* text) { window_.messageBox(text, kBadNews, kMbOk | kMbIconWarning); }

BackupArchive SendDialog::archiveNamedInTheBox() { return BackupArchive(window_.editText(kArchiveBox), &report_); }

void SendDialog::warnIfNoArchiveName() {
    if (window_.editText(kArchiveBox).size() < 5)
        window_.messageBox("Zadejte název zálohy tlačítkem ... ", "Upozornění na zapomenutou věc",
                           kMbOk | kMbIconWarning);
}

void SendDialog::FileSelectBtnClick() {
    const std::optional<std::string> path =
        window_.chooseFile({FileDialogRequest::Open, fileio::currentFolder(), archiveFileFilters(), 0});
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
                                          const char* progress) {
    const DataKind& kind = kDataKinds[kindIndex];
    const std::string upload = scaleFileName(address, kind.uploadSuffix);
    window_.setStatus(progress);
    window_.addLine(upload);
    if (archive.ExtractMember(kind.id, upload, BackupArchive::Output::WorkingCopy) < 0) {
        warn(kKindTexts[kindIndex].extractionFailure);
        return Transfer::NotExtracted;
    }
    // The status line and the new log line must be on screen while the
    // transfer blocks the window.
    window_.repaint();
    return runner_.RunScaleCommand(scaleCommandLine(kind.uploadWord, address)) == 0 ? Transfer::Sent
                                                                                     : Transfer::Failed;
}

void SendDialog::SendFormatBtnClick() {
    // Checked before anything is extracted: an address that cannot name a
    // scale would build file names outside the working folder.
    const std::string address = window_.editText(kAddressBox);
    if (!acceptScaleAddress(window_, address)) return;
    // The first extraction would overwrite such an archive, and the upload
    // then delete it.
    const std::string archiveName = window_.editText(kArchiveBox);
    if (!archiveName.empty() && isWorkingFile(archiveName, address)) {
        refuseWorkingFileAsArchive(window_, archiveName);
        return;
    }

    BackupArchive archive = archiveNamedInTheBox();
    warnIfNoArchiveName();

    FolderLock folderLock;  // another run in this working folder would read this run's status
    if (!folderLock.acquire()) return warn(folderLock.problem().c_str());
    const BusyScope busy(window_);
    for (std::size_t i = 0; i < kDataKinds.size(); ++i) {
        if (!window_.isChecked(kDataKinds[i].checkBox)) continue;
        const KindTexts& texts = kKindTexts[i];
        switch (sendKind(i, address, archive, texts.progress)) {
        case Transfer::NotExtracted:
            return;
        case Transfer::Failed:
            // The upload file stays for the user to look at.
            warn(texts.transferFailure);
            window_.setStatus(texts.notSent);
            return;
        case Transfer::Sent:
            removeIfExists(scaleFileName(address, kDataKinds[i].uploadSuffix));
            break;
        }
    }
    window_.setStatus(kAllSent);
}

// Every scale of the list gets every ticked kind but the image before the next
// scale is started. A failed transfer is only logged and the run goes on; a
// failed extraction would fail for every scale alike and ends the run.
void SendDialog::SendByListClick() {
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
    if (!openList()) return;

    // A first reading checks every entry before anything is extracted.
    const std::string archiveName = window_.editText(kArchiveBox);
    while (const std::optional<ScaleListEntry> entry = list.next()) {
        if (entry->problem == AddressProblem::None && !archiveName.empty() &&
            isWorkingFile(archiveName, entry->address)) {
            refuseWorkingFileAsArchive(window_, archiveName);
            return;
        }
    }
    if (!openList()) return;

    FolderLock folderLock;  // another run in this working folder would read this run's status
    if (!folderLock.acquire()) return warn(folderLock.problem().c_str());
    const BusyScope busy(window_);
    int visited = 0;
    int failed = 0;
    while (const std::optional<ScaleListEntry> next = list.next()) {
        const ScaleListEntry& entry = *next;
        if (entry.problem != AddressProblem::None) {
            window_.addLine(skippedLine(entry));
            continue;
        }
        ++visited;
        const ListSend sent = SendToListedScale(entry.address, archive);
        if (sent == ListSend::Stopped) return;
        if (sent == ListSend::Failed) ++failed;
    }

    // A run in which some scale did not get everything never ends with the
    // words that everything was sent.
    if (failed > 0) {
        const std::string verdict =
            "Odeslání se nezdařilo u " + std::to_string(failed) + " z " + std::to_string(visited) + " vah";
        window_.setStatus(verdict);
        window_.addLine(verdict);
        return;
    }
    if (list.reachedEndOfFile()) window_.setStatus(kAllSent);
    window_.addLine(kAllSent);
}

SendDialog::ListSend SendDialog::SendToListedScale(const std::string& address, BackupArchive& archive) {
    bool allSent = true;
    for (std::size_t i = 0; i < kImage; ++i) {
        if (!window_.isChecked(kDataKinds[i].checkBox)) continue;
        if (i == kPlu) window_.messageBox("", "", kMbOk);
        const KindTexts& texts = kKindTexts[i];
        const Transfer result = sendKind(i, address, archive, texts.listProgress);
        if (result == Transfer::NotExtracted) return ListSend::Stopped;
        if (result == Transfer::Failed) {
            window_.addLine(texts.listFailure);
            allSent = false;
        }
        removeIfExists(scaleFileName(address, kDataKinds[i].uploadSuffix));
    }
    return allSent ? ListSend::Sent : ListSend::Failed;
}

}  // namespace zalohy
