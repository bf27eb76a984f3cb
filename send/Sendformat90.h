// The send dialog: the user chooses a backup archive, sees which kinds it
// holds, ticks the kinds to send and sends them to one scale, or to every
// scale named in the list file "seznam.lst".
#pragma once

#include "FormDialog.h"

#include <memory>
#include <string>

namespace Ui {
class TSendFormatFrm;
}
namespace zalohy {
class BackupArchive;
struct DataKind;
}
class QCheckBox;

class TSendFormatFrm : public zalohy::FormDialog {
    Q_OBJECT

public:
    explicit TSendFormatFrm(QWidget* parent = nullptr);
    ~TSendFormatFrm() override;

    QCheckBox* checkBoxFor(const zalohy::DataKind& kind) const;

public Q_SLOTS:
    void FileSelectBtnClick();
    void SendFormatBtnClick();
    void SendByListClick();
    void BackBtnClick();

protected:
    void FormCreate();
    void FormActivate() override;

private:
    enum class Transfer { NotExtracted, Failed, Sent };

    // The archive named in the file box; its own messages are shown by this window.
    zalohy::BackupArchive archiveNamedInTheBox();
    // The reminder to choose an archive first; the run goes on after it.
    void warnIfNoArchiveName();
    // Extracts one kind's member for the scale and hands it to the library.
    // A failed extraction is reported here; a failed transfer is left to the run.
    Transfer sendKind(std::size_t kindIndex, const std::string& address, zalohy::BackupArchive& archive,
                      const char* progress);
    void warn(const char* text);
    void addLine(const QString& line);
    void setStatus(const char* text);

    std::unique_ptr<Ui::TSendFormatFrm> ui;
};

// The dialog's single instance, alive from start-up to the end of the program.
extern TSendFormatFrm* SendFormatFrm;
