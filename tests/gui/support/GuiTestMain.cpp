// The main() of the window tests: Qt without a display, Czech texts, and a
// watchdog that fails a test which leaves a modal window open.
#include "Application.h"
#include "FormLayout.h"
#include "QtText.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

#include <cstdlib>
#include <filesystem>

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    if (!std::getenv("XDG_RUNTIME_DIR")) {
        const auto runtime = std::filesystem::temp_directory_path() / ("zalohy-xdg-" + std::to_string(getpid()));
        std::filesystem::create_directories(runtime);
        std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
        setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    }
    ::testing::InitGoogleTest(&argc, argv);
    zalohy::ZalohyApplication app(argc, argv);
    zalohy::setUpApplication(app);

    QWidget* lastModal = nullptr;
    QElapsedTimer openFor;
    QTimer watchdog;
    QObject::connect(&watchdog, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal != lastModal) {
            lastModal = modal;
            openFor.restart();
        } else if (modal && openFor.elapsed() > 5000) {
            ADD_FAILURE() << "a modal window was left open: " << modal->windowTitle().toStdString();
            modal->close();
            lastModal = nullptr;
        }
    });
    watchdog.start(200);

    return RUN_ALL_TESTS();
}
