// Draws the send dialog as a user sees it after choosing an archive and
// sending it, into a PNG file: a backup of an emulated scale is made through
// the backup dialog, then sent to a second emulated scale. Loopback only.
//
//   xvfb-run -a -s "-screen 0 1280x800x24" send_dialog_screenshot docs/send-dialog.png
#include "DataKind.h"
#include "EmulatorProcess.h"
#include "FileDialogs.h"
#include "Application.h"
#include "FormLayout.h"
#include "QtText.h"
#include "MessageBoxes.h"
#include "Saveformat90.h"
#include "ScaleCommand.h"
#include "Sendformat90.h"

#include <QApplication>
#include <QCheckBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QTest>

#include <cstdio>
#include <filesystem>
#include <memory>

using namespace zalohy;
namespace fs = std::filesystem;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.png\n", argv[0]);
        return 2;
    }
    const QString output = QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath();
    ZalohyApplication app(argc, argv);
    setUpApplication(app);

    // A working folder with a short name, as its path shows in the dialog.
    const fs::path work = fs::temp_directory_path() / "prodejna";
    const fs::path scales = fs::temp_directory_path() / "prodejna-vahy";
    fs::remove_all(work);
    fs::remove_all(scales);
    fs::create_directories(work);
    fs::current_path(work);

    // The default port when it is free, so that the addresses need no port.
    auto emulator = std::make_unique<test::EmulatorProcess>(
        test::EmulatorSetup{scales, {"127.0.0.2", "127.0.0.3"}, 40174, true, {}, {}});
    if (!emulator->start()) {
        emulator = std::make_unique<test::EmulatorProcess>(
            test::EmulatorSetup{scales, {"127.0.0.2", "127.0.0.3"}, 0, true, {}, {}});
        if (!emulator->start()) {
            std::fprintf(stderr, "%s\n", emulator->error().c_str());
            return 1;
        }
    }
    if (!ScaleLibrary::bindFile(ZALOHY_SCALE_LIBRARY).ok) return 1;
    const auto address = [&](std::size_t i) {
        return QString::fromStdString(emulator->scaleAddress(i)).remove(QStringLiteral(":40174"));
    };

    int boxesShown = 0;
    MessageBoxes::setHandler([&](const MessageBoxRequest& box) {
        std::fprintf(stderr, "box: %s\n", box.text.toLocal8Bit().constData());
        ++boxesShown;
        return kIdOk;
    });
    const QString archive = QString::fromStdString((work / "obchod.zal").string());
    FileDialogs::setHandler([&](const QtFileDialogRequest&) { return archive; });

    TSaveFormatDialog saveDialog;
    saveDialog.show();
    saveDialog.findChild<QLineEdit*>(QStringLiteral("EditScaleNumber"))->setText(address(0));
    for (const DataKind& kind : kDataKinds) saveDialog.checkBoxFor(kind)->setChecked(true);
    saveDialog.findChild<QPushButton*>(QStringLiteral("SaveToArchive"))->click();
    saveDialog.hide();

    TSendFormatFrm sendDialog(saveDialog.logic());
    sendDialog.show();
    sendDialog.findChild<QPushButton*>(QStringLiteral("FileSelectBtn"))->click();
    sendDialog.findChild<QLineEdit*>(QStringLiteral("EditScaleNumber"))->setText(address(1));
    sendDialog.findChild<QPushButton*>(QStringLiteral("SendFormatBtn"))->click();
    if (!QTest::qWaitForWindowExposed(&sendDialog)) return 1;
    QTest::qWait(200);
    const bool saved = sendDialog.grab().save(output);

    ScaleLibrary::setEntryPoint({});
    fs::current_path(fs::temp_directory_path());
    fs::remove_all(work);
    fs::remove_all(scales);
    if (!saved || boxesShown != 0) return 1;
    std::printf("%s\n", output.toLocal8Bit().constData());
    return 0;
}
