// zaltool send ARCHIVE ADDRESS: the send run to one scale.
#include "AtomicWrite.h"
#include "Platform.h"
#include "WorkingFiles.h"
#include "SafetyBackup.h"
#include "ScaleRuns.h"

namespace fs = std::filesystem;

namespace zalohy {
namespace {

Exit send(const Call& call) {
    ScaleSend request;
    request.archive = files::toPath(absolutePath(call.operands[0]));
    request.address = call.operands[1];
    request.kinds = kindsOption(call);
    request.safetyFolder = backupFirstOption(call);
    request.force = call.has("force");
    if (request.safetyFolder && !prepareSafetyFolder(*request.safetyFolder)) return Exit::Failed;
    if (!enterWorkFolder(call) || !bindLibrary()) return Exit::Failed;
    return sendToScale(request, runOutput()).complete ? Exit::Done : Exit::Failed;
}

const CommandRegistration registered{
    {"send", "ARCHIVE ADDRESS [--kinds=LIST] [--work=DIR] [--backup-first=DIR [--force]]",
     "send the kinds ARCHIVE holds (or those of LIST) to one scale, as the send dialog does", 2, 2,
     {kKindsOption, kWorkOption, kBackupFirstOption, kForceOption}, send, CommandGroup::Run, 20, kRunOptionsHelp}};

}  // namespace
}  // namespace zalohy
