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
    request.archive = absolutePath(call.operands[0]);
    request.address = call.operands[1];
    request.kinds = kindsOption(call);
    request.safetyFolder = backupFirstOption(call);
    request.force = call.has("force");
    if (request.safetyFolder && !prepareSafetyFolder(*request.safetyFolder, call.out())) return Exit::Failed;
    if (!enterWorkFolder(call) || !bindLibrary(call.out())) return Exit::Failed;
    return sendToScale(request, call.out()).complete ? Exit::Done : Exit::Failed;
}

const CommandRegistration registered{
    {"send", "ARCHIV ADRESA",
     "odešle do jedné váhy druhy dat, které ARCHIV obsahuje (nebo ty z --kinds), jako okno odeslání", 2, 2,
     {kKindsOption, kWorkOption, kBackupFirstOption, kForceOption}, send, CommandGroup::Run, 20}};

}  // namespace
}  // namespace zalohy
