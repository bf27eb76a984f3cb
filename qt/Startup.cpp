#include "Startup.h"

#include "Application.h"
#include "MessageBoxes.h"
#include "QtText.h"
#include "Mwbackupscale.h"
#include "Saveformat90.h"
#include "ScaleCommand.h"
#include "Sendformat90.h"

#include <QEvent>
#include <QTimer>

#include <memory>

namespace zalohy {

bool reportLibraryBinding(const LibraryBinding& binding) {
    if (binding.ok) return true;
    MessageBoxes::show(nullptr,
                       u8("Nepodařilo se načíst knihovnu pro komunikaci s váhou\n") +
                           u8(binding.libraryPath) + u8("\n") + u8(binding.reason) +
                           u8("\nProgram bude ukončen."),
                       u8(kApplicationTitle), kMbOk | kMbIconError);
    return false;
}

namespace {

// Calls back once, at the first paint of the watched window.
class FirstPaint : public QObject {
public:
    FirstPaint(QWidget* window, std::function<void(QWidget*)> callback)
        : window_(window), callback_(std::move(callback)) {
        window_->installEventFilter(this);
    }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == window_ && event->type() == QEvent::Paint && callback_) {
            auto callback = std::move(callback_);
            callback_ = nullptr;
            QTimer::singleShot(0, window_, [callback, w = window_] { callback(w); });
        }
        return false;
    }

private:
    QWidget* window_;
    std::function<void(QWidget*)> callback_;
};

}  // namespace

int runProgram(int argc, char** argv, std::function<void(QWidget*)> firstPainted) {
    ZalohyApplication app(argc, argv);
    setUpApplication(app);

    if (!reportLibraryBinding(ScaleLibrary::bindBesideExecutable())) return 1;

    try {
        TMWBackup mainWindow;
        auto saveDialog = std::make_unique<TSaveFormatDialog>();
        SaveFormatDialog = saveDialog.get();
        // The send dialog's transfers go through the backup dialog's runner.
        auto sendDialog = std::make_unique<TSendFormatFrm>(saveDialog->logic());
        SendFormatFrm = sendDialog.get();

        std::unique_ptr<FirstPaint> watch;
        if (firstPainted) watch = std::make_unique<FirstPaint>(&mainWindow, std::move(firstPainted));
        mainWindow.show();
        QApplication::exec();

        SendFormatFrm = nullptr;
        SaveFormatDialog = nullptr;
    } catch (const std::exception& e) {
        showApplicationError(QString::fromUtf8(e.what()));
    } catch (...) {
        showApplicationError(QString());
    }
    return 0;
}

}  // namespace zalohy
