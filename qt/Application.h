// The application object of the Qt program: its title, Qt's own texts in
// Czech, and the standard error dialog for an error that escapes a handler.
#pragma once

#include "ApplicationTitle.h"

#include <QApplication>
#include <QString>

#include <exception>

namespace zalohy {

// Shows an error that escaped an event handler: a box with the error's text
// owned by the active window. The program goes on afterwards.
void showApplicationError(const QString& message);

// Runs one event handler; an error it raises is shown and swallowed.
template <class Handler>
void guarded(Handler&& handler) {
    try {
        handler();
    } catch (const std::exception& e) {
        showApplicationError(QString::fromUtf8(e.what()));
    } catch (...) {
        showApplicationError(QString());
    }
}

// Any error that escapes an event is shown by the standard error dialog and
// the event loop goes on.
class ZalohyApplication : public QApplication {
public:
    ZalohyApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

// Title, style and Qt's own texts in Czech. Used by the program and the tests.
void setUpApplication(QApplication& app);

}  // namespace zalohy
