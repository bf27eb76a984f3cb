#include "BackupDialog.h"

#include "BackupArchive.h"
#include "Cp1250.h"
#include "DataKind.h"
#include "File.h"
#include "WorkingFiles.h"
#include "FolderLock.h"
#include "ScaleAddress.h"
#include "ScaleCommand.h"
#include "TrimDownloadedFile.h"

#include <iterator>
#include <vector>

namespace zalohy {

namespace {

const char* const kBadNews = "Ne zrovna dobrá zpráva";
constexpr Control kAddressBox = Control::EditScaleNumber;

// What the backup run shows for each kind, in the order of kDataKinds.
struct KindTexts {
    const char* progress;
    const char* ok;
    const char* renameFailure;
    const char* data;  // what the kind's file holds, for the archiving failure
    bool clearAfterRenameFailure;
    bool okBeforeTrimming;  // otherwise the OK line follows the archiving
};

constexpr KindTexts kKindTexts[] = {
    {"Probíhá zálohování formátů, prosím čekejte", "Zalohování formátů OK",
     "Nepodarilo se prejmenovat soubor formatu\nOpakujte zadání", "formátů", false, true},
    {"Probíhá zálohování textu, prosím čekejte", "Zálohovaní textů OK",
     "Nepodařilo se přejmenovat soubor textů \nOpakujte zadání", "textů", true, false},
    {"Probíhá zálohování názvu obchodu, prosím čekejte", "Zálohování názvu obchodu OK",
     "Nepodařilo se přejmenovat soubor shop name \nOpakujte zadání", "názvu obchodu", true, false},
    {"Probíhá zálohování rychloklaves, prosím čekejte", "Zalohování rychlokláves OK",
     "Nepodarilo se prejmenovat soubor formatu\nOpakujte zadání", "rychlokláves", true, false},
    {"Probíhá zálohování PLU dat, prosím čekejte", "Zalohování PLU dat OK",
     "Nepodarilo se prejmenovat soubor PLU \nOpakujte zadání", "PLU", false, true},
    {"Probíhá zálohování Image dat, prosím čekejte", "Zalohování Image dat OK",
     "Nepodarilo se prejmenovat soubor PLU \nOpakujte zadání", "Image", false, true},
};
static_assert(std::size(kKindTexts) == kDataKinds.size());

// The four check boxes the settings file keeps, in the order they are read
// and written.
struct StoredBox {
    std::size_t kind;
    const char* key;
};
constexpr StoredBox kStoredBoxes[] = {
    {kFormats, "FORMATY"}, {kPresetKeys, "PRESETY"}, {kShopName, "SHOP_NAME"}, {kTexts, "TEXTY"}};

}  // namespace

bool isWorkingFile(const std::string& path, const std::string& address) {
    std::vector<std::string> names{kSettingsFile, "seznam.lst", "temp.dat", "error"};
    for (const DataKind& kind : kDataKinds) {
        names.push_back(scaleFileName(address, kind.downloadedSuffix));
        names.push_back(scaleFileName(address, kind.uploadSuffix));
    }
    std::vector<std::filesystem::path> paths;
    for (const std::string& name : names) paths.push_back(files::toPath(name));
    return files::namesWorkingFile(files::toPath(path), paths);
}

void refuseWorkingFileAsArchive(WindowPort& window, const std::string& path) {
    window.messageBox("Záložní soubor nesmí mít jméno pracovního souboru programu:\n" + path +
                          "\nZvolte jiné jméno souboru zálohy.",
                      kBadNews, kMbOk | kMbIconWarning);
}

void WindowReport::message(const std::string& text, const std::string& caption) {
    window_.messageBox(text, caption, kMbOk);
}

void WindowReport::line(const std::string& text) {
    if (shown_) shown_->push_back(text);
    window_.addLine(text);
}

BackupDialog::BackupDialog(WindowPort& window, std::string settingsFile)
    : window_(window), report_(window, &run_.lines) {
    for (const DataKind& kind : kDataKinds) window_.setCaption(kind.checkBox, kind.backupCaption);
    BackupSettings = std::make_unique<TIniFile>(std::move(settingsFile));
    FormCreate();
}

BackupDialog::~BackupDialog() = default;

void BackupDialog::FormCreate() {
    if (BackupSettings) {
        window_.setEditText(kAddressBox,
                            cp1250ToUtf8(BackupSettings->ReadString(kSettingsSection, "IP_ADDRESS", "192.168.5.8")));
        for (const StoredBox& stored : kStoredBoxes)
            window_.setChecked(kDataKinds[stored.kind].checkBox,
                               BackupSettings->ReadBool(kSettingsSection, stored.key, true));
    } else {
        window_.messageBox("ini problem ", "ini", kMbOk);
    }
    window_.setCaption(Control::GroupBox1, "Soubory pro zálohy");
    window_.setCaption(kDataKinds[kShopName].checkBox, "Název obchodu");
    window_.setCaption(Control::EndBtn, "Zpět");
}

void BackupDialog::FormActivate() {
    window_.clearLog();
    for (std::size_t kind : {kFormats, kShopName, kTexts, kPresetKeys, kPlu, kImage})
        window_.setChecked(kDataKinds[kind].checkBox, false);
}

void BackupDialog::FormClose() {
    if (!BackupSettings) return;
    for (const StoredBox& stored : kStoredBoxes)
        BackupSettings->WriteBool(kSettingsSection, stored.key, window_.isChecked(kDataKinds[stored.kind].checkBox));
    BackupSettings->WriteString(kSettingsSection, "IP_ADDRESS", utf8ToCp1250(window_.editText(kAddressBox)));
}

void BackupDialog::clicked(Control button) {
    if (button == Control::SaveToArchive) SaveToArchiveClick();
}

int BackupDialog::RunScaleCommand(const std::string& commandLine) {
    return zalohy::RunScaleCommand(commandLine, &report_);
}

int BackupDialog::TrimDownloadedFile(const std::string& fileName) {
    return zalohy::TrimDownloadedFile(fileName, report_, BackupOk);
}

std::string BackupDialog::cannotDeleteText(const std::string& path) {
    return "Předchozí zálohu nelze smazat:\n" + path +
           "\nData nebyla zálohována. Zkontrolujte, zda soubor není chráněn proti zápisu.";
}

void BackupDialog::warn(const std::string& text) { window_.messageBox(text, kBadNews, kMbOk | kMbIconWarning); }

void BackupDialog::show(const std::string& line) {
    run_.lines.push_back(line);
    window_.addLine(line);
}

RunResult BackupDialog::SaveToArchiveClick() {
    run_ = RunResult();
    // Checked before anything is asked or deleted: an address that cannot
    // name a scale would build file names outside the working folder.
    const std::string address = window_.editText(kAddressBox);
    if (!acceptScaleAddress(window_, address)) return run_;

    const std::optional<std::string> path =
        window_.chooseFile({FileDialogRequest::Save, files::toUtf8(files::workingFolder()), archiveFileFilters(), 0});
    if (!path || path->empty()) return run_;
    if (isWorkingFile(*path, address)) {
        refuseWorkingFileAsArchive(window_, *path);
        return run_;
    }

    // The old archive stays until the first kind has been downloaded, so a
    // scale that does not answer costs the user nothing. New data must never
    // be added to it, so one that cannot be deleted (write-protected, a
    // folder) stops the run before anything is done.
    std::string oldArchive;
    if (files::exists(files::toPath(*path))) {
        if (window_.messageBox("Pozor, předchozí data budou přepsána !!", "Rozmysli se Tramilo rozmysli!!",
                               kMbOkCancel | kMbIconWarning) != kIdOk)
            return run_;
        if (!files::canRemove(files::toPath(*path))) {
            warn(cannotDeleteText(*path));
            return run_;
        }
        oldArchive = *path;
    }

    FolderLock folderLock;  // another run in this working folder would read this run's status
    if (!folderLock.acquire()) return warn(folderLock.problem()), run_;
    const BusyScope busy(window_);
    BackupArchive archive(*path, &report_);
    BackupOk = true;
    window_.clearLog();
    show("Probíhá zálohování dat, prosím čekejte");
    window_.repaint();

    for (std::size_t i = 0; i < kDataKinds.size(); ++i) {
        if (!window_.isChecked(kDataKinds[i].checkBox)) continue;
        if (!backUpKind(i, address, archive, oldArchive)) return run_;
    }

    if (BackupOk) {
        show("Gratulujeme,označené soubory ");
        show("máte zazálohované!");
        run_.complete = true;
    } else {
        show("Nepodařilo se vše zazálohovat");
    }
    return run_;
}

bool BackupDialog::backUpKind(std::size_t kindIndex, const std::string& address, BackupArchive& archive,
                              std::string& oldArchive) {
    const DataKind& kind = kDataKinds[kindIndex];
    const KindTexts& texts = kKindTexts[kindIndex];
    const std::string downloaded = scaleFileName(address, kind.downloadedSuffix);
    const std::string upload = scaleFileName(address, kind.uploadSuffix);

    KindOutcome& outcome = run_.kinds[kindIndex];
    outcome.tried = true;
    show(texts.progress);
    if (kindIndex == kPresetKeys) window_.repaint();

    outcome.status = RunScaleCommand(scaleCommandLine(kind.downloadWord, address));
    if (outcome.status != 0) {
        warn("Chyba komunikace s váhou \nZkontrolujte zadání");
        window_.clearLog();
        return false;
    }

    files::removeFile(files::toPath(upload));
    if (!files::renameFile(files::toPath(downloaded), files::toPath(upload))) {
        warn(texts.renameFailure);
        if (texts.clearAfterRenameFailure) window_.clearLog();
        return false;
    }

    if (texts.okBeforeTrimming) show(texts.ok);
    TrimDownloadedFile(upload);
    if (!oldArchive.empty()) {
        if (!files::removeFile(files::toPath(oldArchive))) {
            warn(cannotDeleteText(oldArchive));
            return false;
        }
        oldArchive.clear();
    }
    const int stored = archive.AppendMember(kind.id, upload);
    if (stored == BackupArchive::kAppended) {
        files::removeFile(files::toPath(upload));
    } else if (stored != BackupArchive::kAlreadyStored) {
        // Nothing was stored (a full or write-protected medium, a missing
        // folder, the size limit): the downloaded file is the only copy.
        BackupOk = false;
        warn(std::string("Data ") + texts.data + " se nepodařilo uložit do archivu\n" + archive.fileName() +
             "\nStažená data zůstala v souboru " + upload);
        return false;
    }

    if (texts.okBeforeTrimming) {
        window_.repaint();
    } else {
        if (kindIndex == kTexts) window_.repaint();
        show(texts.ok);
        window_.repaint();
    }
    outcome.done = true;
    return true;
}

}  // namespace zalohy
