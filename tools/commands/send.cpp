// zaltool send ARCHIVE ADDRESS: the send dialog's run to one scale.
#include "BackupDialog.h"
#include "ConsolePort.h"
#include "DataKind.h"
#include "FileIo.h"
#include "ScaleRuns.h"
#include "SendDialog.h"

namespace fs = std::filesystem;

namespace zalohy {
namespace {

// The dialog shown, the archive chosen (which ticks the kinds it holds), the
// kinds of --kinds ticked instead when given, the address typed and
// "Odeslat" pressed.
Exit send(const Call& call) {
    const std::string archive = absolutePath(call.operands[0]);
    const std::string& address = call.operands[1];
    const std::optional<KindSet> kinds = kindsOption(call);
    const std::optional<std::string> safetyFolder = backupFirstOption(call);
    std::error_code ec;
    if (safetyFolder && !fs::is_directory(fileio::toPath(*safetyFolder), ec))
        return complain(*safetyFolder + " není složka");
    if (!enterWorkFolder(call) || !bindLibrary()) return Exit::Failed;

    ConsolePort runnerPort(kBackupDialogForm);
    ConsolePort port(kSendDialogForm);
    port.setChosenFile(archive);
    BackupDialog runner(runnerPort, std::string());  // the send dialog's transfers go through it
    SendDialog dialog(port, runner);
    dialog.FormActivate();
    dialog.FileSelectBtnClick();
    if (port.problemBoxes() > 0) return complain("nelze číst archiv " + archive);
    if (kinds) {
        for (std::size_t i = 0; i < kDataKinds.size(); ++i)
            if ((*kinds)[i] && !port.isEnabled(kDataKinds[i].checkBox))
                return complain(archive + " neobsahuje " + kKindWords[i]);
        for (std::size_t i = 0; i < kDataKinds.size(); ++i) port.setChecked(kDataKinds[i].checkBox, (*kinds)[i]);
    }
    port.setEditText(Control::EditScaleNumber, address);
    if (safetyFolder) {
        KindSet ticked{};
        for (std::size_t i = 0; i < kDataKinds.size(); ++i) ticked[i] = port.isChecked(kDataKinds[i].checkBox);
        if (!backUpBeforeSend(address, ticked, *safetyFolder, call.has("force"), runOutput())) return Exit::Failed;
    }
    const RunResult run = dialog.SendFormatBtnClick();
    if (run.complete && port.problemBoxes() + runnerPort.problemBoxes() == 0) return Exit::Done;
    return complain("odeslání do váhy " + address + " není úplné");
}

const CommandRegistration registered{
    {"send", "ARCHIVE ADDRESS [--kinds=LIST] [--work=DIR] [--backup-first=DIR [--force]]",
     "send the kinds ARCHIVE holds (or those of LIST) to one scale, as the send dialog does", 2, 2,
     {kKindsOption, kWorkOption, kBackupFirstOption, kForceOption}, send, CommandGroup::Run, 20, kRunOptionsHelp}};

}  // namespace
}  // namespace zalohy
