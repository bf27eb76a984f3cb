#include "Mwbackupscale.h"

#include "FormLayout.h"
#include "MessageBoxes.h"
#include "QtText.h"
#include "Saveformat90.h"
#include "Sendformat90.h"

#include <QLabel>
#include <QLocale>
#include <QMouseEvent>
#include <QTimer>

using namespace zalohy;

TSaveFormatDialog* SaveFormatDialog = nullptr;
TSendFormatFrm* SendFormatFrm = nullptr;

QString zalohy::longTimeText(const QTime& time) {
    // The long format may carry a time zone ("t"); drop it and its blanks.
    const QString format = QLocale::system().timeFormat(QLocale::LongFormat);
    QString cleaned;
    bool quoted = false;
    for (QChar c : format) {
        if (c == QLatin1Char('\'')) quoted = !quoted;
        if (!quoted && c == QLatin1Char('t')) continue;
        cleaned += c;
    }
    return time.toString(cleaned.trimmed());
}

TMWBackup::TMWBackup(QWidget* parent) : QWidget(parent), controls_(this, kMainWindowForm) {
    controls_.onClick(Control::MakeBackupBtn, this, &TMWBackup::MakeBackupBtnClick);
    controls_.onClick(Control::SendBackupToScaleBtn, this, &TMWBackup::SendBackupToScaleBtnClick);
    controls_.onClick(Control::BitBtn1, this, &TMWBackup::BitBtn1Click);
    controls_.widget(Control::Panel1)->installEventFilter(this);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);
    connect(Timer1, &QTimer::timeout, this, &TMWBackup::Timer1Timer);
    Timer1->start();
}

TMWBackup::~TMWBackup() = default;

void TMWBackup::showEvent(QShowEvent* event) {
    centreOnScreen(this);
    QWidget::showEvent(event);
}

bool TMWBackup::eventFilter(QObject* watched, QEvent* event) {
    QWidget* panel = controls_.widget(Control::Panel1);
    if (watched == panel && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton &&
        panel->rect().contains(static_cast<QMouseEvent*>(event)->position().toPoint())) {
        Panel1Click();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void TMWBackup::MakeBackupBtnClick() {
    if (SaveFormatDialog) SaveFormatDialog->exec();
}

void TMWBackup::SendBackupToScaleBtnClick() {
    if (SendFormatFrm) SendFormatFrm->exec();
}

void TMWBackup::BitBtn1Click() { close(); }

void TMWBackup::Timer1Timer() { controls_.get<QLabel>(Control::Panel1)->setText(longTimeText(QTime::currentTime())); }

void TMWBackup::Panel1Click() {
    MessageBoxes::show(this, u8("Tady si nic nevyklikáš!"), u8("895té Vážné varování"), kMbOk | kMbIconWarning);
}
