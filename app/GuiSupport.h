// Small pieces every window of the program shares: text conversions, the
// application's error dialog, the set-up of the application object, and the
// anchoring of controls to the edges of a resizable form.
#pragma once

#include <QApplication>
#include <QRect>
#include <QString>
#include <QTime>

#include <string>
#include <vector>

namespace zalohy {

// The application title (taskbar, error dialog caption); ASCII, trailing blank.
inline constexpr const char* kApplicationTitle = "Zalohovani dat vah DIGI ";
// The settings file in the working folder.
#ifdef _WIN32
inline constexpr const char* kSettingsFile = ".\\Skladex.ini";
#else
inline constexpr const char* kSettingsFile = "./Skladex.ini";
#endif

inline QString u8(const char* text) { return QString::fromUtf8(text); }
inline QString u8(const std::string& text) { return QString::fromStdString(text); }
// File names and library words in the file system's 8-bit encoding.
std::string toFileName(const QString& text);
QString fromFileName(const std::string& name);
// Settings values in code page 1250; a character outside it becomes "?".
std::string toCp1250(const QString& text);
QString fromCp1250(const std::string& bytes);

// The time of day in the system's long time format, without a time zone.
QString longTimeText(const QTime& time);

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

// The application object: any error that escapes an event is shown by the
// standard error dialog and the event loop goes on.
class ZalohyApplication : public QApplication {
public:
    ZalohyApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

// Title and Qt's own texts in Czech. Used by the program and the tests.
void setUpApplication(QApplication& app);

// The forms are designed in 8-point "MS Sans Serif", a bitmap font that is
// not here. Gives the form and every control with a font of its own a close
// font that exists here, at the pixel size the original draws.
void useFormFonts(QWidget* form);

// Keeps controls at fixed distances from the edges of a resizable form, as at
// design time. Call apply() from the form's resize event.
class Anchors {
public:
    enum Edge { Left = 1, Top = 2, Right = 4, Bottom = 8 };
    Anchors(QWidget* form, QSize designClientSize);
    void add(QWidget* control, int edges);
    void apply();

private:
    struct Entry {
        QWidget* control;
        QRect design;
        int edges;
    };
    QWidget* form_;
    QSize design_;
    std::vector<Entry> entries_;
};

}  // namespace zalohy

namespace zalohy {

// The two filters of the archive file dialogs; the first is selected.
QStringList archiveFileFilters();

// Places a top-level window at the centre of its screen.
void centreOnScreen(QWidget* window);

// True when address can name a scale. Otherwise shows a warning box owned by
// owner that says what is wrong, and returns false.
bool acceptScaleAddress(QWidget* owner, const QString& address);

}  // namespace zalohy
