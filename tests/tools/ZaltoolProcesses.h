// zaltool started as a child process against emulated scales on 127.0.0.x
// only, with the real scale library told to refuse anything but loopback:
// what the tests of its runs share. ZaltoolRuns compares what zaltool writes
// with the archives the backup dialog's own run makes in-process for the
// same data; ZaltoolSafety drives the safety net (--backup-first, diff,
// check).
#pragma once

#include "ArchiveBytes.h"
#include "BackupDialog.h"
#include "DataKind.h"
#include "EmulatorProcess.h"
#include "FakePort.h"
#include "FolderLock.h"
#include "KindArchive.h"
#include "RunRecord.h"
#include "SameBytes.h"
#include "ScaleCommand.h"
#include "ScratchFolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <memory>
#include <regex>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace zalohy::test {

namespace fs = std::filesystem;

const std::vector<std::size_t> kEveryKind{kFormats, kTexts, kShopName, kPresetKeys, kPlu, kImage};
const std::string kCommFailure = "Ne zrovna dobrá zpráva: Chyba komunikace s váhou Zkontrolujte zadání";

struct Outcome {
    int status = -1;
    std::string out, err;
};

// zaltool started as a child process, its output going to two files.
class Zaltool {
public:
    // fileLimit: the most bytes the child may write into one file (a full medium).
    Zaltool(const fs::path& logs, const std::string& name, std::vector<std::string> args, rlim_t fileLimit = 0)
        : out_(logs / (name + ".out")), err_(logs / (name + ".err")) {
        args.insert(args.begin(), ZALTOOL_PATH);
        std::vector<char*> argv;
        for (std::string& arg : args) argv.push_back(arg.data());
        argv.push_back(nullptr);
        const int out = ::open(out_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        const int err = ::open(err_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        pid_ = ::fork();
        if (pid_ == 0) {
            if (fileLimit > 0) {
                const rlimit limit{fileLimit, fileLimit};
                ::signal(SIGXFSZ, SIG_IGN);  // a write beyond it fails instead
                ::setrlimit(RLIMIT_FSIZE, &limit);
            }
            ::dup2(out, 1);
            ::dup2(err, 2);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        ::close(out);
        ::close(err);
    }
    void kill() { ::kill(pid_, SIGKILL); }
    Outcome wait() {
        int raw = 0;
        ::waitpid(pid_, &raw, 0);
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, readFile(out_), readFile(err_)};
    }

private:
    fs::path out_, err_;
    pid_t pid_ = -1;
};

inline std::string today() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[16] = {};
    std::strftime(text, sizeof text, "%Y-%m-%d", &local);
    return text;
}

// The archive name backup-list gives a scale: ':' of the port becomes '_'.
inline std::string listArchiveName(std::string address, const std::string& date) {
    for (char& c : address)
        if (c == ':') c = '_';
    return address + "-" + date + ".zal";
}

inline bool hasLine(const std::string& text, const std::string& line) {
    return ("\n" + text).find("\n" + line + "\n") != std::string::npos;
}

// A --json run's summary line with its time as "T" (any local time passes).
inline std::string timeless(const std::string& line) {
    return std::regex_replace(line, std::regex(R"re("time":"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[^"]*")re"), R"("time":"T")");
}

class ZaltoolRuns : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ::setenv("TWSWTCP_LOOPBACK_ONLY", "1", 1);
        const LibraryBinding binding = ScaleLibrary::bindFile(ZALOHY_SCALELIB_PATH);
        ASSERT_TRUE(binding.ok) << binding.message();
    }

    ScratchFolder data{"zalohy-console-data-"};
    ScratchFolder work{"zalohy-console-work-"};  // zaltool's working folder
    ScratchFolder archives{"zalohy-console-archives-"};
    ScratchFolder logs{"zalohy-console-logs-"};
    std::unique_ptr<EmulatorProcess> emulator;

    // Three seeded scales on 127.0.0.2 to 127.0.0.4; their data stays when restarted.
    void startEmulator(std::vector<std::string> extraArgs = {}) {
        emulator.reset();
        EmulatorSetup setup;
        setup.dataDir = data.path();
        setup.addresses = loopbackAddresses(3);
        setup.seed = true;
        setup.extraArgs = std::move(extraArgs);
        emulator = std::make_unique<EmulatorProcess>(setup);
        ASSERT_TRUE(emulator->start()) << emulator->error();
    }
    std::string scale(std::size_t i) const { return emulator->scaleAddress(i); }
    std::string workOption() const { return "--work=" + work.path().string(); }
    std::string archive(const std::string& name) const { return (archives / name).string(); }

    Outcome zaltool(std::vector<std::string> args) { return Zaltool(logs.path(), "zaltool", std::move(args)).wait(); }

    // The archive the backup dialog's run makes of this scale, driven in
    // process through a recording window in a folder of its own.
    std::string dialogArchive(const std::string& address, const std::vector<std::size_t>& kinds = kEveryKind) {
        ScratchFolder folder("zalohy-console-dialog-", true);
        BoxLog boxes;
        FakePort port(boxes, kBackupDialogForm);
        BackupDialog dialog(port, (folder / "Skladex.ini").string());
        dialog.FormActivate();
        port.setEditText(Control::EditScaleNumber, address);
        for (std::size_t k : kinds) port.setChecked(kDataKinds[k].checkBox, true);
        port.fileAnswers.push_back((folder / "dialog.zal").string());
        dialog.SaveToArchiveClick();
        EXPECT_EQ(boxes.texts(), std::vector<std::string>{});
        return readFile(folder / "dialog.zal");
    }
};

class ZaltoolSafety : public ::testing::Test {
protected:
    ScratchFolder data{"zalohy-safety-data-"}, work{"zalohy-safety-work-"}, files{"zalohy-safety-files-"};
    std::unique_ptr<EmulatorProcess> emulator, stalled;

    void SetUp() override { ::setenv("TWSWTCP_LOOPBACK_ONLY", "1", 1); }

    // Seeded scales on 127.0.0.2 to 127.0.0.4; their data stays when restarted.
    void startEmulator(std::vector<std::string> extraArgs = {}) {
        emulator.reset();
        emulator = std::make_unique<EmulatorProcess>(
            EmulatorSetup{data.path(), loopbackAddresses(3), 0, true, std::move(extraArgs), {}});
        ASSERT_TRUE(emulator->start()) << emulator->error();
    }
    std::string scale(std::size_t i) const { return emulator->scaleAddress(i); }
    std::string scaleData(std::size_t i, std::size_t kind) const {
        return readFile(emulator->scaleFile(i, kDataKinds[kind].id));
    }

    Outcome zaltool(const std::vector<std::string>& args) {
        std::string command = ZALTOOL_PATH;
        for (const std::string& arg : args) command += " '" + arg + "'";
        const int raw = std::system((command + " >" + (files / "out").string() + " 2>" + (files / "err").string()).c_str());
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, readFile(files / "out"), readFile(files / "err")};
    }
    Outcome send(const std::string& archive, const std::string& address, const fs::path& safety,
                 std::vector<std::string> args = {}) {
        args.insert(args.begin(), {"send", archive, address, "--work=" + work.path().string(),
                                   "--backup-first=" + safety.string()});
        return zaltool(args);
    }
};

}  // namespace zalohy::test
