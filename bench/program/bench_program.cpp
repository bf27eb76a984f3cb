// Measures the program against plain baselines in one run:
//  1. start-up: process start to the main window first drawn, against a
//     minimal Qt Widgets window started the same way;
//  2. a backup of all six kinds from the emulator through the backup dialog,
//     against the same six library calls made directly.
// See README.md.
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
#include "Startup.h"

#include <QApplication>
#include <QCheckBox>
#include <QEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

extern char** environ;

using namespace zalohy;
namespace fs = std::filesystem;

namespace {

std::int64_t monotonicNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return std::int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Child: prints the moment the window was first drawn and ends.
void reportAndQuit(QWidget*) {
    std::printf("%lld\n", static_cast<long long>(monotonicNs()));
    std::fflush(stdout);
    QCoreApplication::quit();
}

int childMinimal(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.resize(351, 216);
    struct Watch : QObject {
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == QEvent::Paint && !done) {
                done = true;
                QTimer::singleShot(0, [] { reportAndQuit(nullptr); });
            }
            return false;
        }
        bool done = false;
    } watch;
    window.installEventFilter(&watch);
    window.show();
    return QApplication::exec();
}

// Parent: starts the child and returns the seconds from spawn to first draw.
double timeChild(const char* self, const char* mode, const fs::path& workDir) {
    int out[2];
    if (pipe(out) != 0) return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addchdir_np(&actions, workDir.c_str());
    char* args[] = {const_cast<char*>(self), const_cast<char*>(mode), nullptr};
    pid_t pid = -1;
    const std::int64_t start = monotonicNs();
    const int rc = posix_spawn(&pid, self, &actions, nullptr, args, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    if (rc != 0) {
        close(out[0]);
        return -1;
    }
    char buffer[64] = {};
    ssize_t got = 0, n = 0;
    while ((n = read(out[0], buffer + got, sizeof buffer - 1 - got)) > 0) got += n;
    close(out[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    const long long shown = std::atoll(buffer);
    return shown > 0 ? double(shown - start) / 1e9 : -1;
}

void benchStartup(const char* self) {
    test::ScratchFolder work("zalohy-bench-start-");
    std::vector<double> program, minimal;
    for (int round = 0; round < 15; ++round) {
        minimal.push_back(timeChild(self, "--child-minimal", work.path()));
        program.push_back(timeChild(self, "--child-program", work.path()));
    }
    if (std::count(program.begin(), program.end(), -1.0) || std::count(minimal.begin(), minimal.end(), -1.0)) {
        std::printf("start-up: a child failed\n");
        return;
    }
    const double p = median(program), m = median(minimal);
    std::printf("start-up to first drawn main window (median of 15): program %.1f ms, minimal Qt window %.1f ms, "
                "ratio %.2f\n", p * 1e3, m * 1e3, p / m);
}

// memberSize 0: the emulator's seeded demo data; otherwise every kind's file
// holds that many bytes.
void benchBackup(const char* scale, std::size_t memberSize) {
    test::ScratchFolder scales("zalohy-bench-scales-");
    if (memberSize > 0) {
        fs::create_directories(scales / scale);
        std::string bytes(memberSize, '\0');
        for (std::size_t i = 0; i < memberSize; ++i) bytes[i] = static_cast<char>((i * 131) >> 3);
        for (const DataKind& kind : kDataKinds) test::writeFile(scales / scale / (std::to_string(kind.id) + ".dat"), bytes);
    }
    test::EmulatorProcess emulator({scales.path(), {scale}, 0, memberSize == 0, {}, {}});
    if (!emulator.start()) {
        std::printf("backup: emulator did not start: %s\n", emulator.error().c_str());
        return;
    }
    const LibraryBinding binding = ScaleLibrary::bindBesideExecutable();
    if (!binding.ok) {
        std::printf("backup: %s\n", binding.message().c_str());
        return;
    }
    test::ScratchFolder work("zalohy-bench-backup-", true);
    const std::string address = emulator.scaleAddress();

    // The dialog, with its file dialog and boxes answered in-process.
    int boxes = 0;
    MessageBoxes::setHandler([&](const MessageBoxRequest&) { return ++boxes, kIdOk; });
    FileDialogs::setHandler([&](const QtFileDialogRequest&) { return QString::fromStdString((work / "b.zal").string()); });
    TSaveFormatDialog dialog;
    dialog.show();
    dialog.findChild<QLineEdit*>("EditScaleNumber")->setText(QString::fromStdString(address));
    for (const DataKind& kind : kDataKinds) dialog.checkBoxFor(kind)->setChecked(true);
    auto* save = dialog.findChild<QPushButton*>("SaveToArchive");

    auto direct = [&] {
        for (const DataKind& kind : kDataKinds) {
            if (RunScaleCommand(scaleCommandLine(kind.downloadWord, address)) != 0) return false;
            fs::remove(scaleFileName(address, kind.downloadedSuffix));
        }
        return true;
    };
    auto throughDialog = [&] {
        fs::remove(work / "b.zal");  // no overwrite question
        save->click();
        return boxes == 0 && fs::exists(work / "b.zal");
    };

    std::vector<double> viaDialog, viaLibrary;
    for (int round = 0; round < 25; ++round) {
        boxes = 0;
        auto t0 = std::chrono::steady_clock::now();
        if (!direct()) {
            std::printf("backup: a direct call failed\n");
            return;
        }
        auto t1 = std::chrono::steady_clock::now();
        if (!throughDialog()) {
            std::printf("backup: the dialog's run failed\n");
            return;
        }
        auto t2 = std::chrono::steady_clock::now();
        viaLibrary.push_back(std::chrono::duration<double>(t1 - t0).count());
        viaDialog.push_back(std::chrono::duration<double>(t2 - t1).count());
    }
    const double d = median(viaDialog), l = median(viaLibrary);
    std::printf("backup of six kinds (archive of %lld bytes, median of 25): dialog %.2f ms, six direct library calls %.2f ms, "
                "ratio %.2f\n", static_cast<long long>(fs::file_size(work / "b.zal")), d * 1e3, l * 1e3, d / l);
    dialog.hide();
    ScaleLibrary::setEntryPoint({});
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--child-minimal") == 0) return childMinimal(argc, argv);
    if (argc > 1 && std::strcmp(argv[1], "--child-program") == 0) return runProgram(argc, argv, reportAndQuit);
    if (!std::getenv("DISPLAY")) setenv("QT_QPA_PLATFORM", "offscreen", 0);
    std::printf("platform: %s\n", std::getenv("QT_QPA_PLATFORM") ? std::getenv("QT_QPA_PLATFORM") : "xcb");
    const std::string self = fs::canonical("/proc/self/exe").string();
    benchStartup(self.c_str());
    QApplication app(argc, argv);
    setUpApplication(app);
    benchBackup("127.0.0.61", 0);
    benchBackup("127.0.0.62", 1 << 20);
    return 0;
}
