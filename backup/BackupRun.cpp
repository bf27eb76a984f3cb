#include "BackupRun.h"

#include "BackupArchive.h"
#include "DataKind.h"
#include "File.h"
#include "FolderLock.h"
#include "ScaleAddress.h"
#include "ScaleCommand.h"
#include "TrimDownloadedFile.h"
#include "WorkingFiles.h"

#include <iterator>
#include <vector>

namespace zalohy {

namespace {

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

std::string cannotDeleteText(const std::string& path) {
    return "Předchozí zálohu nelze smazat:\n" + path +
           "\nData nebyla zálohována. Zkontrolujte, zda soubor není chráněn proti zápisu.";
}

}  // namespace

bool isWorkingFile(const std::filesystem::path& path, const std::string& address) {
    std::vector<std::string> names{kSettingsFile, "seznam.lst", "temp.dat", "error"};
    for (const DataKind& kind : kDataKinds) {
        names.push_back(scaleFileName(address, kind.downloadedSuffix));
        names.push_back(scaleFileName(address, kind.uploadSuffix));
    }
    std::vector<std::filesystem::path> paths;
    for (const std::string& name : names) paths.push_back(files::toPath(name));
    return files::namesWorkingFile(path, paths);
}

void refuseWorkingFileAsArchive(RunReport& report, const std::string& path) {
    report.warning("Záložní soubor nesmí mít jméno pracovního souboru programu:\n" + path +
                       "\nZvolte jiné jméno souboru zálohy.",
                   kWarningCaption);
}

bool acceptScaleAddress(RunReport& report, const std::string& address) {
    const AddressProblem problem = checkScaleAddress(address);
    if (problem == AddressProblem::None) return true;
    report.warning(std::string(addressProblemText(problem)) + "\nOpravte adresu váhy a opakujte zadání", kWarningCaption);
    return false;
}

int LibraryRunner::RunScaleCommand(const std::string& commandLine) {
    return zalohy::RunScaleCommand(commandLine, &report_);
}

// The trimming's, the library's and the container's report: their lines are
// the run's lines too.
class BackupRun::Told : public Report {
public:
    explicit Told(BackupRun& run) : run_(run) {}
    void message(const std::string& text, const std::string& caption) override {
        run_.report_.message(text, caption);
    }
    void line(const std::string& text) override { run_.show(text); }

private:
    BackupRun& run_;
};

void BackupRun::show(const std::string& line) {
    result_.lines.push_back(line);
    report_.line(line);
}

RunResult BackupRun::run() {
    result_ = RunResult();
    // Checked before anything is deleted: an address that cannot name a
    // scale would build file names outside the working folder.
    const std::string& address = request_.address;
    const std::string shown = files::toUtf8(request_.archive);
    if (!acceptScaleAddress(report_, address)) return result_;
    if (isWorkingFile(request_.archive, address)) {
        refuseWorkingFileAsArchive(report_, shown);
        return result_;
    }
    // New data must never be added to the old archive, so one that cannot be
    // deleted (write-protected, a folder) stops the run before anything is done.
    oldArchive_.clear();
    if (files::exists(request_.archive)) {
        if (request_.existing == BackupRequest::Existing::Refuse) return result_;
        if (!files::canRemove(request_.archive)) {
            warn(cannotDeleteText(shown));
            return result_;
        }
        oldArchive_ = request_.archive;
    }

    FolderLock folderLock;  // another run in this working folder would read this run's status
    if (!folderLock.acquire()) return warn(folderLock.problem()), result_;
    const auto busy = report_.busyWhileHeld();
    Told told(*this);
    BackupArchive archive(shown, &told);
    ok_ = true;
    report_.clearLines();
    show("Probíhá zálohování dat, prosím čekejte");
    report_.repaint();

    for (std::size_t i = 0; i < kDataKinds.size(); ++i) {
        if (!request_.kinds[i]) continue;
        if (!backUpKind(i, archive, told)) return result_;
    }

    if (ok_) {
        show("Gratulujeme,označené soubory ");
        show("máte zazálohované!");
        result_.complete = true;
    } else {
        show("Nepodařilo se vše zazálohovat");
    }
    return result_;
}

bool BackupRun::backUpKind(std::size_t kindIndex, BackupArchive& archive, Told& told) {
    const DataKind& kind = kDataKinds[kindIndex];
    const KindTexts& texts = kKindTexts[kindIndex];
    const std::string downloaded = scaleFileName(request_.address, kind.downloadedSuffix);
    const std::string upload = scaleFileName(request_.address, kind.uploadSuffix);

    KindOutcome& outcome = result_.kinds[kindIndex];
    outcome.tried = true;
    show(texts.progress);
    if (kindIndex == kPresetKeys) report_.repaint();

    outcome.status = RunScaleCommand(scaleCommandLine(kind.downloadWord, request_.address), &told);
    if (outcome.status != 0) {
        warn("Chyba komunikace s váhou \nZkontrolujte zadání");
        report_.clearLines();
        return false;
    }

    files::removeFile(files::toPath(upload));
    if (!files::renameFile(files::toPath(downloaded), files::toPath(upload))) {
        warn(texts.renameFailure);
        if (texts.clearAfterRenameFailure) report_.clearLines();
        return false;
    }

    if (texts.okBeforeTrimming) show(texts.ok);
    TrimDownloadedFile(upload, told, ok_);
    if (!oldArchive_.empty()) {
        if (!files::removeFile(oldArchive_)) {
            warn(cannotDeleteText(files::toUtf8(oldArchive_)));
            return false;
        }
        oldArchive_.clear();
    }
    const int stored = archive.AppendMember(kind.id, upload);
    if (stored == BackupArchive::kAppended) {
        files::removeFile(files::toPath(upload));
    } else if (stored != BackupArchive::kAlreadyStored) {
        // Nothing was stored (a full or write-protected medium, a missing
        // folder, the size limit): the downloaded file is the only copy.
        ok_ = false;
        warn(std::string("Data ") + texts.data + " se nepodařilo uložit do archivu\n" + archive.fileName() +
             "\nStažená data zůstala v souboru " + upload);
        return false;
    }

    if (texts.okBeforeTrimming) {
        report_.repaint();
    } else {
        if (kindIndex == kTexts) report_.repaint();
        show(texts.ok);
        report_.repaint();
    }
    outcome.done = true;
    return true;
}

}  // namespace zalohy
