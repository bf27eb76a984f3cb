#include "GuiSupport.h"

#include "MessageBoxes.h"

#include <QFile>
#include <QFont>
#include <QLibraryInfo>
#include <QLocale>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTranslator>
#include <QWidget>

namespace zalohy {

std::string toFileName(const QString& text) { return QFile::encodeName(text).toStdString(); }

QString fromFileName(const std::string& name) { return QFile::decodeName(QByteArray::fromStdString(name)); }

std::string toCp1250(const QString& text) {
    QStringEncoder encoder("windows-1250");
    std::string out;
    out.reserve(text.size());
    // One character at a time, so that a character outside the code page
    // becomes "?" as the Windows conversion does, instead of a control byte.
    for (QChar c : text) {
        const QByteArray bytes = encoder.encode(QString(c));
        if (encoder.hasError() || bytes.size() != 1) {
            out.push_back('?');
            encoder = QStringEncoder("windows-1250");
        } else {
            out.push_back(bytes.at(0));
        }
    }
    return out;
}

QString fromCp1250(const std::string& bytes) {
    QStringDecoder decoder("windows-1250");
    return decoder.decode(QByteArray::fromStdString(bytes));
}

QString longTimeText(const QTime& time) {
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

// The font a form's widget is drawn with: its own design font mapped to one
// that exists here, or else its parent's.
static void mapFormFont(QWidget* widget, const QFont& inherited) {
    QFont font = inherited;
    const QFont own = widget->font();
    if (widget->testAttribute(Qt::WA_SetFont) && own.family() == QLatin1String("MS Sans Serif") &&
        own.pointSize() > 0) {
        // 8 points of the original are 10 pixels high on screen, 10 points 12.
        font.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("Arial"), QStringLiteral("DejaVu Sans")});
        font.setPixelSize(own.pointSize() * 5 / 4);
    }
    // Set on every widget: the application's style sheet would otherwise
    // give controls without a font of their own the application's font.
    widget->setFont(font);
    for (QObject* child : widget->children())
        if (child->isWidgetType()) mapFormFont(static_cast<QWidget*>(child), font);
}

void useFormFonts(QWidget* form) { mapFormFont(form, form->font()); }

Anchors::Anchors(QWidget* form, QSize designClientSize) : form_(form), design_(designClientSize) {}

void Anchors::add(QWidget* control, int edges) { entries_.push_back({control, control->geometry(), edges}); }

void Anchors::apply() {
    const int dx = form_->width() - design_.width();
    const int dy = form_->height() - design_.height();
    for (const Entry& e : entries_) {
        QRect r = e.design;
        if (e.edges & Right) {
            if (e.edges & Left) r.setWidth(e.design.width() + dx);
            else r.moveLeft(e.design.left() + dx);
        }
        if (e.edges & Bottom) {
            if (e.edges & Top) r.setHeight(e.design.height() + dy);
            else r.moveTop(e.design.top() + dy);
        }
        e.control->setGeometry(r);
    }
}

}  // namespace zalohy

#include "ScaleAddress.h"

#include <QScreen>

namespace zalohy {

QStringList archiveFileFilters() {
    return {QStringLiteral("Soubory zaloh (*.zal)"), u8("Všechny soubory (*.*)")};
}

void centreOnScreen(QWidget* window) {
    QScreen* screen = window->screen();
    if (!screen) return;
    const QRect area = screen->availableGeometry();
    const QSize frame = window->frameGeometry().size();
    window->move(area.x() + (area.width() - frame.width()) / 2, area.y() + (area.height() - frame.height()) / 2);
}

bool acceptScaleAddress(QWidget* owner, const QString& address) {
    const AddressProblem problem = checkScaleAddress(toFileName(address));
    if (problem == AddressProblem::None) return true;
    MessageBoxes::show(owner, u8(addressProblemText(problem)) + u8("\nOpravte adresu váhy a opakujte zadání"),
                       u8("Ne zrovna dobrá zpráva"), kMbOk | kMbIconWarning);
    return false;
}

}  // namespace zalohy
