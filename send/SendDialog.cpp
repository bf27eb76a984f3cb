#include "SendDialog.h"

#include "DataKind.h"
#include "File.h"
#include "FolderLock.h"
#include "ScaleAddress.h"
#include "ScaleList.h"
#include "WorkingFiles.h"

#include <optional>

namespace zalohy {

namespace {

constexpr Control kArchiveBox = Control::EdFileName;
constexpr Control kAddressBox = Control::EditScaleNumber;

// The log line for a line of the list that names no usable scale.
std::string skippedLine(const ScaleListEntry& entry) { return skippedEntryLine(entry, kScaleListFile); }

}  // namespace

SendDialog::SendDialog(WindowPort& window, ScaleRunner& runner) : window_(window), runner_(runner), report_(window) {
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

SendRequest SendDialog::request(bool listed) const {
    SendRequest request;
    request.address = window_.editText(kAddressBox);
    request.archive = files::toPath(window_.editText(kArchiveBox));
    for (std::size_t i = 0; i < kDataKinds.size(); ++i) request.kinds[i] = window_.isChecked(kDataKinds[i].checkBox);
    request.listed = listed;
    return request;
}

void SendDialog::warnIfNoArchiveName() {
    if (window_.editText(kArchiveBox).size() < 5)
        report_.warning("Zadejte název zálohy tlačítkem ... ", "Upozornění na zapomenutou věc");
}

void SendDialog::FileSelectBtnClick() {
    const std::optional<std::string> path =
        window_.chooseFile({FileDialogRequest::Open, files::toUtf8(files::workingFolder()), archiveFileFilters(), 0});
    if (!path || path->empty()) return;
    window_.setEditText(kArchiveBox, *path);
    window_.addLine(*path);

    // An archive whose directory cannot be read offers nothing to send.
    const KindSet held = heldKinds(files::toPath(*path), &report_).value_or(KindSet{});
    for (std::size_t i = 0; i < kDataKinds.size(); ++i) {
        window_.setChecked(kDataKinds[i].checkBox, held[i]);
        window_.setEnabled(kDataKinds[i].checkBox, held[i]);
    }
}

// The window read and the user reminded, then the run.
RunResult SendDialog::SendFormatBtnClick() {
    SendRequest sent = request(false);
    // Checked before anything is extracted: an address that cannot name a
    // scale would build file names outside the working folder.
    if (!acceptScaleAddress(report_, sent.address)) return {};
    if (!sent.archive.empty() && isWorkingFile(sent.archive, sent.address)) {
        refuseWorkingFileAsArchive(report_, files::toUtf8(sent.archive));
        return {};
    }
    warnIfNoArchiveName();
    return SendRun(std::move(sent), report_, runner_).run();
}

// Every scale of the list gets every ticked kind but the image before the next
// scale is started. A failed transfer is only logged and the run goes on; a
// failed extraction would fail for every scale alike and ends the run.
ListRunResult SendDialog::SendByListClick() {
    ListRunResult result;
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
    SendRequest sent = request(true);
    while (const std::optional<ScaleListEntry> entry = list.next()) {
        if (entry->problem == AddressProblem::None && !sent.archive.empty() &&
            isWorkingFile(sent.archive, entry->address)) {
            refuseWorkingFileAsArchive(report_, files::toUtf8(sent.archive));
            return result;
        }
    }
    if (!openList()) return result;

    FolderLock folderLock;  // another run in this working folder would read this run's status
    if (!folderLock.acquire()) return report_.warning(folderLock.problem(), kWarningCaption), result;
    const auto busy = report_.busyWhileHeld();
    const auto show = [&](const std::string& line) {
        result.lines.push_back(line);
        window_.addLine(line);
    };
    while (const std::optional<ScaleListEntry> next = list.next()) {
        const ScaleListEntry& entry = *next;
        if (entry.problem != AddressProblem::None) {
            show(skippedLine(entry));
            continue;
        }
        ++result.visited;
        sent.address = entry.address;
        const RunResult scale = SendRun(sent, report_, runner_).run();
        result.lines.insert(result.lines.end(), scale.lines.begin(), scale.lines.end());
        if (scale.stopsTheList) {
            result.stopped = true;
            return result;
        }
        if (!scale.complete) ++result.failed;
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
    return result;
}

}  // namespace zalohy
