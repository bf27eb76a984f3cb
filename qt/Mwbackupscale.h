// The main window: a launcher with one button for the backup dialog, one for
// the send dialog, one to end the program, and a clock.
#pragma once

#include "FormLayout.h"

#include <QString>
#include <QTime>
#include <QWidget>

class QTimer;
class TSaveFormatDialog;
class TSendFormatFrm;

// The two dialogs' single instances, created at start-up after the main
// window and alive until the program ends; the main window opens them.
extern TSaveFormatDialog* SaveFormatDialog;
extern TSendFormatFrm* SendFormatFrm;

namespace zalohy {
// The time of day in the system's long time format, without a time zone.
QString longTimeText(const QTime& time);
}

class TMWBackup : public QWidget {
    Q_OBJECT

public:
    explicit TMWBackup(QWidget* parent = nullptr);
    ~TMWBackup() override;

    QTimer* Timer1 = nullptr;

public Q_SLOTS:
    void MakeBackupBtnClick();
    void SendBackupToScaleBtnClick();
    void BitBtn1Click();
    void Timer1Timer();
    void Panel1Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    zalohy::FormWidgets controls_;
};
