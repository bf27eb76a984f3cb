#include "FormDialog.h"

#include "Application.h"
#include "DataKind.h"
#include "FileDialogs.h"
#include "MessageBoxes.h"
#include "QtText.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QGuiApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QShowEvent>
#include <QStatusBar>

#include <stdexcept>

namespace zalohy {

FormDialog::FormDialog(const FormDesign& design, QWidget* parent) : QDialog(parent), controls_(this, design) {
    for (const ControlDesign& c : design.controls) {
        if (c.kind != ControlKind::Button) continue;
        if (c.flags & Closes) {
            controls_.onClick(c.name, this, &QWidget::close);
            continue;
        }
        controls_.onClick(c.name, this, [this, button = c.name] {
            if (handlers_) guarded([&] { handlers_->clicked(button); });
        });
    }
}

FormDialog::~FormDialog() {
    if (busy_) QApplication::instance()->removeEventFilter(this);
}

QCheckBox* FormDialog::checkBoxFor(const DataKind& kind) const { return controls_.get<QCheckBox>(kind.checkBox); }

std::string FormDialog::editText(Control edit) const { return toUtf8(controls_.get<QLineEdit>(edit)->text()); }

void FormDialog::setEditText(Control edit, const std::string& text) { controls_.get<QLineEdit>(edit)->setText(u8(text)); }

bool FormDialog::isChecked(Control box) const { return controls_.get<QCheckBox>(box)->isChecked(); }

void FormDialog::setChecked(Control box, bool ticked) { controls_.get<QCheckBox>(box)->setChecked(ticked); }

void FormDialog::setEnabled(Control box, bool enabled) { controls_.widget(box)->setEnabled(enabled); }

void FormDialog::setCaption(Control name, const std::string& text) {
    QWidget* w = controls_.widget(name);
    if (w == this) setWindowTitle(u8(text));
    else if (auto* group = qobject_cast<QGroupBox*>(w)) group->setTitle(u8(text));
    else if (auto* button = qobject_cast<QAbstractButton*>(w)) button->setText(u8(text));
    else if (auto* label = qobject_cast<QLabel*>(w)) label->setText(u8(text));
    else throw std::logic_error(std::string("the control ") + controlName(name) + " has no caption");
}

void FormDialog::clearLog() { controls_.get<QPlainTextEdit>(Control::Memo1)->clear(); }

void FormDialog::addLine(const std::string& line) {
    controls_.get<QPlainTextEdit>(Control::Memo1)->appendPlainText(u8(line));
}

void FormDialog::setStatus(const std::string& text) {
    controls_.get<QStatusBar>(Control::StatusBar1)->showMessage(u8(text));
}

// Draws now what changed since the window was last drawn (the new log line,
// the status line), not the whole window: the controls mark what they must
// redraw, and delivering that request at once paints just those parts.
void FormDialog::repaint() { QCoreApplication::sendPostedEvents(this, QEvent::UpdateRequest); }

int FormDialog::messageBox(const std::string& text, const std::string& caption, unsigned flags) {
    const int answer = MessageBoxes::show(this, u8(text), u8(caption), flags);
    redrawAfterModal();
    return answer;
}

// A modal window that has just closed can leave its picture on this window
// until the next paint; a transfer that follows would keep it there. So the
// window system is caught up with (the box is gone, its area exposed) and
// this window is drawn at once.
void FormDialog::redrawAfterModal() {
    if (!isVisible()) return;
    QGuiApplication::sync();
    QDialog::repaint();
}

std::optional<std::string> FormDialog::chooseFile(const FileDialogRequest& request) {
    QStringList filters;
    for (const FileFilter& filter : request.filters) filters << u8(filter.label);
    const QString folder = u8(request.directory);
    const QString path = request.mode == FileDialogRequest::Save
                             ? FileDialogs::getSaveFileName(this, folder, filters, request.filterIndex)
                             : FileDialogs::getOpenFileName(this, folder, filters, request.filterIndex);
    redrawAfterModal();
    if (path.isEmpty()) return std::nullopt;
    return toUtf8(QDir::toNativeSeparators(path));
}

void FormDialog::setBusy(bool busy) {
    if (busy == busy_) return;
    if (busy) {
        busy_ = true;
        setCursor(Qt::WaitCursor);
        QApplication::instance()->installEventFilter(this);
    } else {
        // Input that reached the window during the run is taken from the
        // queue now and dropped by the filter, not delivered afterwards.
        QGuiApplication::sync();
        busy_ = false;
        QApplication::instance()->removeEventFilter(this);
        unsetCursor();
    }
}

bool FormDialog::eventFilter(QObject* watched, QEvent* event) {
    if (busy_ && watched->isWidgetType()) {
        auto* widget = static_cast<QWidget*>(watched);
        // Only this window's own controls; message boxes it opens are windows
        // of their own and keep working.
        if (widget->window() == this) {
            switch (event->type()) {
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonRelease:
            case QEvent::MouseButtonDblClick:
            case QEvent::KeyPress:
            case QEvent::KeyRelease:
            case QEvent::Shortcut:
            case QEvent::ShortcutOverride:
            case QEvent::Wheel:
            case QEvent::Close:
                return true;
            default:
                break;
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

void FormDialog::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) {
        centreOnScreen(this);
        if (handlers_) guarded([this] { handlers_->FormActivate(); });
    }
    QDialog::showEvent(event);
}

// Every way of closing (the button, the title bar, Escape) passes here. An
// error of the closing handler (a settings file that cannot be written) is
// shown and the dialog still closes, so the user is never trapped in it.
void FormDialog::done(int result) {
    if (isVisible() && handlers_) guarded([this] { handlers_->FormClose(); });
    QDialog::done(result);
}

void FormDialog::resizeEvent(QResizeEvent* event) {
    controls_.applyAnchors();
    QDialog::resizeEvent(event);
}

}  // namespace zalohy
