// scale_run_probe: the program's backup run and send run, driven through the
// run core with a window port that only prints, on the scale library beside
// this program. Built for Linux and for Windows, so the same scale data
// backed up by both builds can be compared byte for byte (end_to_end.sh).
//
//   scale_run_probe backup ADDRESS ARCHIVE   every kind
//   scale_run_probe send ARCHIVE ADDRESS     every member the archive holds
//
// Works in the current folder, like the program. Exit status 0 when the run
// ended as a full success; otherwise 1 (every box shown goes to stderr).
#include "BackupDialog.h"
#include "DataKind.h"
#include "ScaleCommand.h"
#include "MemoryPort.h"
#include "SendDialog.h"

#include <cstdio>
#include <string>

using namespace zalohy;

namespace {

// A window without a screen: controls in memory, lines to stdout, boxes to
// stderr (each answered OK), the archive path as the file dialog's answer.
class PrintingPort : public MemoryPort {
public:
    PrintingPort(const FormDesign& form, std::string archive) : MemoryPort(form), archive_(std::move(archive)) {}
    std::string status, lastLine;
    int boxes = 0;

    void clearLog() override {}
    void addLine(const std::string& line) override {
        std::printf("%s\n", line.c_str());
        lastLine = line;
    }
    void setStatus(const std::string& text) override { status = text; }
    void repaint() override {}
    int messageBox(const std::string& text, const std::string& caption, unsigned) override {
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
        ++boxes;
        return kIdOk;
    }
    std::optional<std::string> chooseFile(const FileDialogRequest&) override { return archive_; }
    void setBusy(bool) override {}

private:
    std::string archive_;
};

int backup(const std::string& address, const std::string& archive) {
    PrintingPort port(kBackupDialogForm, archive);
    BackupDialog dialog(port, "probe-settings.ini");  // never written: FormClose is not called
    dialog.FormActivate();
    port.setEditText(Control::EditScaleNumber, address);
    for (const DataKind& kind : kDataKinds) port.setChecked(kind.checkBox, true);
    dialog.SaveToArchiveClick();
    return port.boxes == 0 && dialog.BackupOk && port.lastLine == "máte zazálohované!" ? 0 : 1;
}

int send(const std::string& archive, const std::string& address) {
    PrintingPort backupPort(kBackupDialogForm, archive);
    BackupDialog runner(backupPort, "probe-settings.ini");
    PrintingPort port(kSendDialogForm, archive);
    SendDialog dialog(port, runner);
    dialog.FormActivate();
    dialog.FileSelectBtnClick();  // ticks the kinds the archive holds
    port.setEditText(Control::EditScaleNumber, address);
    dialog.SendFormatBtnClick();
    return port.boxes + backupPort.boxes == 0 && port.status == "Navolené datové soubory jsou odeslány" ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc == 4 ? argv[1] : "";
    if (command != "backup" && command != "send") {
        std::fprintf(stderr, "usage: scale_run_probe backup ADDRESS ARCHIVE | send ARCHIVE ADDRESS\n");
        return 2;
    }
    const LibraryBinding binding = ScaleLibrary::bindBesideExecutable();
    if (!binding.ok) {
        std::fprintf(stderr, "scale_run_probe: %s\n", binding.message().c_str());
        return 1;
    }
    return command == "backup" ? backup(argv[2], argv[3]) : send(argv[2], argv[3]);
}
