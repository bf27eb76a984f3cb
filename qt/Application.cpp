#include "Application.h"

#include "MessageBoxes.h"
#include "QtText.h"

#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace zalohy {

void showApplicationError(const QString& message) {
    MessageBoxes::show(QApplication::activeWindow(), message, u8(kApplicationTitle), kMbOk | kMbIconError);
}

ZalohyApplication::ZalohyApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool ZalohyApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        showApplicationError(QString::fromUtf8(e.what()));
    } catch (...) {
        showApplicationError(QString());
    }
    return false;
}

void setUpApplication(QApplication& app) {
    // The taskbar title; not the display name, which would be added to every
    // window caption.
    QApplication::setApplicationName(u8(kApplicationTitle));
    // Group boxes as the forms were designed: the caption sits in the frame's
    // top line, so controls placed 16 pixels down are inside the frame.
    app.setStyleSheet(QStringLiteral(
        "QGroupBox { border: 1px solid palette(mid); border-radius: 2px; margin-top: 6px; }"
        "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left; left: 7px;"
        " padding: 0px 2px; }"));

    // Qt's own buttons and dialogs in Czech.
    auto* translator = new QTranslator(&app);
    if (translator->load(QLocale(QLocale::Czech), QStringLiteral("qtbase"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(translator);
}

}  // namespace zalohy
