// The backup dialog: the user types a scale's address, ticks the kinds of data
// to save and presses "Ulož"; every ticked kind is downloaded from the scale,
// its end marker trimmed, and stored in one archive file.
#pragma once

#include "FormDialog.h"
#include "IniFile.h"
#include "TrimDownloadedFile.h"

#include <memory>
#include <string>

namespace Ui {
class TSaveFormatDialog;
}
namespace zalohy {
class BackupArchive;
struct DataKind;
}
class QCheckBox;

class TSaveFormatDialog : public zalohy::FormDialog, private zalohy::TrimReport {
    Q_OBJECT

public:
    explicit TSaveFormatDialog(QWidget* parent = nullptr);
    ~TSaveFormatDialog() override;

    // Hands one command line to the scale library; this window owns the
    // runner's own box. 0 means success.
    int RunScaleCommand(const std::string& commandLine);
    // Strips the end marker of a downloaded file, reporting in the text box.
    int TrimDownloadedFile(const std::string& fileName);

    // True from the start of a backup run until something cannot be trimmed.
    bool BackupOk = false;

    // The settings file; null only if it could not be created.
    std::unique_ptr<zalohy::TIniFile> BackupSettings;

    QCheckBox* checkBoxFor(const zalohy::DataKind& kind) const;

public Q_SLOTS:
    void SaveToArchiveClick();
    void EndBtnClick();

protected:
    void FormCreate();
    void FormActivate() override;
    void FormClose();

    void done(int result) override;

private:
    void addLine(const std::string& line) override;
    void setBackupFailed() override;
    void addLine(const QString& line);
    // One kind's download, rename, trimming and archiving; false ends the run.
    bool backUpKind(std::size_t kindIndex, const std::string& address, zalohy::BackupArchive& archive);

    std::unique_ptr<Ui::TSaveFormatDialog> ui;
};

// The dialog's single instance, alive from start-up to the end of the program.
extern TSaveFormatDialog* SaveFormatDialog;
