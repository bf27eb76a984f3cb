// Measures the send run to a list of scales against its bare transfers: the
// send dialog's "Na seznam" to 50 emulated scales on loopback, formats and
// texts ticked, against the same 100 library calls made directly through the
// command runner with the upload files already in place. See README.md.
#include "BackupArchive.h"
#include "DataKind.h"
#include "EmulatorProcess.h"
#include "FileDialogs.h"
#include "Application.h"
#include "FormLayout.h"
#include "QtText.h"
#include "MessageBoxes.h"
#include "Saveformat90.h"
#include "ScaleCommand.h"
#include "ScratchFolder.h"
#include "Sendformat90.h"

#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QTest>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

using namespace zalohy;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr std::size_t kSentKinds[] = {kFormats, kTexts};

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    std::size_t scaleCount = 50;
    int rounds = 7;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--scales")) scaleCount = std::strtoul(argv[i + 1], nullptr, 10);
        else if (!std::strcmp(argv[i], "--rounds")) rounds = std::atoi(argv[i + 1]);
    }
    if (scaleCount < 1 || scaleCount > 200 || rounds < 1) {
        std::fprintf(stderr, "usage: %s [--scales 1..200] [--rounds N]\n", argv[0]);
        return 2;
    }
    if (!std::getenv("DISPLAY")) setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    setUpApplication(app);
    std::printf("platform: %s\n", qPrintable(QApplication::platformName()));

    test::ScratchFolder scales("zalohy-bench-send-scales-");
    test::ScratchFolder work("zalohy-bench-send-", true);
    test::EmulatorProcess emulator({scales.path(), test::loopbackAddresses(scaleCount, 2), 0, true, {}, {}});
    if (!emulator.start()) {
        std::fprintf(stderr, "%s\n", emulator.error().c_str());
        return 1;
    }
    const LibraryBinding binding = ScaleLibrary::bindFile(ZALOHY_SCALE_LIBRARY);
    if (!binding.ok) {
        std::fprintf(stderr, "%s\n", binding.message().c_str());
        return 1;
    }

    // The archive: the first scale's demo formats and texts.
    const std::string archiveName = (work.path() / "obchod.zal").string();
    BackupArchive archive(archiveName);
    for (std::size_t k : kSentKinds) {
        const std::string data = (work.path() / "member.dat").string();
        fs::copy_file(emulator.scaleFile(0, kDataKinds[k].id), data, fs::copy_options::overwrite_existing);
        if (archive.AppendMember(kDataKinds[k].id, data) != BackupArchive::kAppended) return 1;
        fs::remove(data);
    }
    std::string list;
    std::vector<std::string> addresses;
    for (std::size_t i = 0; i < scaleCount; ++i) {
        addresses.push_back(emulator.scaleAddress(i));
        list += addresses.back() + "\r\n";
    }
    test::writeFile(work.path() / "seznam.lst", list);

    int boxes = 0;
    MessageBoxes::setHandler([&](const MessageBoxRequest& box) {
        std::fprintf(stderr, "box: %s\n", qPrintable(box.text));
        ++boxes;
        return kIdOk;
    });
    FileDialogs::setHandler([&](const QtFileDialogRequest&) { return QString::fromStdString(archiveName); });

    TSaveFormatDialog saveDialog;
    TSendFormatFrm sendDialog(saveDialog.logic());

    // The dialog's run: shown afresh each time (an empty log), the archive
    // chosen, formats and texts ticked.
    const auto runDialog = [&] {
        sendDialog.hide();
        sendDialog.show();
        if (!QTest::qWaitForWindowExposed(&sendDialog)) std::fprintf(stderr, "the dialog was not shown\n");
        sendDialog.findChild<QPushButton*>(QStringLiteral("FileSelectBtn"))->click();
        for (const DataKind& kind : kDataKinds) sendDialog.checkBoxFor(kind)->setChecked(false);
        for (std::size_t k : kSentKinds) sendDialog.checkBoxFor(kDataKinds[k])->setChecked(true);
        QApplication::processEvents();
        const Clock::time_point start = Clock::now();
        sendDialog.findChild<QPushButton*>(QStringLiteral("SendByList"))->click();
        return msSince(start);
    };
    // The same transfers without the dialog: every upload file written first.
    const auto runDirect = [&] {
        std::vector<std::string> files;
        for (const std::string& address : addresses) {
            for (std::size_t k : kSentKinds) {
                files.push_back(scaleFileName(address, kDataKinds[k].uploadSuffix));
                if (archive.ExtractMember(kDataKinds[k].id, files.back()) != BackupArchive::kExtracted) std::exit(1);
            }
        }
        int failed = 0;
        const Clock::time_point start = Clock::now();
        for (const std::string& address : addresses)
            for (std::size_t k : kSentKinds)
                failed += RunScaleCommand(scaleCommandLine(kDataKinds[k].uploadWord, address)) != 0;
        const double ms = msSince(start);
        for (const std::string& file : files) fs::remove(file);
        if (failed) {
            std::fprintf(stderr, "%d direct calls failed\n", failed);
            std::exit(1);
        }
        return ms;
    };

    // What the run shows before every transfer, by itself: a status line, a
    // log line and the repaint that puts them on screen.
    const auto runRepaints = [&] {
        sendDialog.clearLog();
        const Clock::time_point start = Clock::now();
        for (std::size_t i = 0; i < addresses.size() * std::size(kSentKinds); ++i) {
            sendDialog.setStatus(i % 2 ? "Odesílají se Texty" : "Odesílají se formáty");
            sendDialog.addLine("SM" + addresses[i / 2] + (i % 2 ? "F38.dat" : "F34.dat"));
            sendDialog.repaint();
        }
        return msSince(start);
    };

    runDialog();  // untimed: warms the caches and the emulator
    runDirect();
    std::vector<double> dialogMs, directMs, repaintMs;
    for (int r = 0; r < rounds; ++r) {
        directMs.push_back(runDirect());
        dialogMs.push_back(runDialog());
        repaintMs.push_back(runRepaints());
    }
    // Where one repaint of the dialog goes: each control drawn by itself, and
    // the backup dialog's repaint for comparison.
    const auto repaintCost = [](QWidget* w) {
        const Clock::time_point start = Clock::now();
        for (int i = 0; i < 100; ++i) w->QWidget::repaint();
        return msSince(start) / 100;
    };
    std::vector<std::pair<double, QString>> parts;
    for (QWidget* child : sendDialog.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        if (child->isVisible()) parts.emplace_back(repaintCost(child), child->objectName());
    std::sort(parts.rbegin(), parts.rend());
    const double sendRepaint = repaintCost(&sendDialog);
    sendDialog.hide();
    saveDialog.show();
    if (!QTest::qWaitForWindowExposed(&saveDialog)) std::fprintf(stderr, "the backup dialog was not shown\n");
    const double saveRepaint = repaintCost(&saveDialog);
    // A backup run's step for comparison: a log line and the repaint.
    saveDialog.clearLog();
    const Clock::time_point saveStart = Clock::now();
    for (std::size_t i = 0; i < addresses.size() * std::size(kSentKinds); ++i) {
        saveDialog.addLine("SM" + addresses[i / 2] + (i % 2 ? "F38.dat" : "F34.dat"));
        saveDialog.repaint();
    }
    const double saveSteps = msSince(saveStart) / static_cast<double>(addresses.size() * std::size(kSentKinds));
    saveDialog.hide();
    std::printf("one whole-window repaint: send dialog %.3f ms, backup dialog %.3f ms; the send dialog's costliest controls:",
                sendRepaint, saveRepaint);
    for (std::size_t i = 0; i < parts.size() && i < 4; ++i)
        std::printf(" %s %.3f ms", parts[i].second.toUtf8().constData(), parts[i].first);
    std::printf("\n");
    ScaleLibrary::setEntryPoint({});
    emulator.stop();

    if (boxes) {
        std::fprintf(stderr, "%d message boxes were shown\n", boxes);
        return 1;
    }
    const double calls = static_cast<double>(addresses.size() * std::size(kSentKinds));
    const double direct = median(directMs), dialog = median(dialogMs);
    std::printf("scales %zu, calls per run %.0f, rounds %d\n", addresses.size(), calls, rounds);
    std::printf("direct calls      median %8.1f ms  (%.3f ms per call)  min %.1f max %.1f\n", direct, direct / calls,
                *std::min_element(directMs.begin(), directMs.end()), *std::max_element(directMs.begin(), directMs.end()));
    std::printf("SendByListClick   median %8.1f ms  (%.3f ms per call)  min %.1f max %.1f\n", dialog, dialog / calls,
                *std::min_element(dialogMs.begin(), dialogMs.end()), *std::max_element(dialogMs.begin(), dialogMs.end()));
    std::printf("100 status+log+repaint median %5.1f ms  (%.3f ms each, measured by themselves; "
                "the backup dialog's log line and repaint %.3f ms)\n",
                median(repaintMs), median(repaintMs) / calls, saveSteps);
    const double ratio = dialog / direct;
    std::printf("ratio %.2f (target at most 1.5): %s\n", ratio, ratio <= 1.5 ? "met" : "NOT met");
    return ratio <= 1.5 ? 0 : 3;
}
