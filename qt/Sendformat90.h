// The send dialog's window: draws the form and forwards every handler to the
// dialog's logic (SendDialog), for which it is the window port.
#pragma once

#include "FormDialog.h"
#include "SendDialog.h"

#include <memory>

namespace zalohy {
class ScaleRunner;
}

class TSendFormatFrm : public zalohy::FormDialog {
    Q_OBJECT

public:
    // runner: the backup dialog's, which owns the runner's own box.
    explicit TSendFormatFrm(zalohy::ScaleRunner& runner, QWidget* parent = nullptr);
    ~TSendFormatFrm() override;

public Q_SLOTS:
    void FileSelectBtnClick();
    void SendFormatBtnClick();
    void SendByListClick();
    void BackBtnClick();

protected:
    void FormActivate() override;

private:
    std::unique_ptr<zalohy::SendDialog> core_;
};
