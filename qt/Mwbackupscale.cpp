#include "Mwbackupscale.h"

#include "FormLayout.h"
#include "MessageBoxes.h"
#include "QtText.h"
#include "Saveformat90.h"
#include "Sendformat90.h"
#include "ui_Mwbackupscale.h"

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

static void initPictures() { Q_INIT_RESOURCE(zalohy); }

TMWBackup::TMWBackup(QWidget* parent) : QWidget(parent), ui(std::make_unique<Ui::TMWBackup>()) {
    initPictures();
    ui->setupUi(this);
    useFormFonts(this);
    // Fixed single border with the system menu and minimise only.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFixedSize(351, 216);

    connect(ui->MakeBackupBtn, &QPushButton::clicked, this, &TMWBackup::MakeBackupBtnClick);
    connect(ui->SendBackupToScaleBtn, &QPushButton::clicked, this, &TMWBackup::SendBackupToScaleBtnClick);
    connect(ui->BitBtn1, &QPushButton::clicked, this, &TMWBackup::BitBtn1Click);
    ui->Panel1->installEventFilter(this);

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
    if (watched == ui->Panel1 && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton &&
        ui->Panel1->rect().contains(static_cast<QMouseEvent*>(event)->position().toPoint())) {
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

void TMWBackup::Timer1Timer() { ui->Panel1->setText(longTimeText(QTime::currentTime())); }

void TMWBackup::Panel1Click() {
    MessageBoxes::show(this, u8("Tady si nic nevyklikáš!"), u8("895té Vážné varování"), kMbOk | kMbIconWarning);
}
