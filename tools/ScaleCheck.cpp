#include "ScaleCheck.h"

#include "DataKind.h"
#include "File.h"
#include "ScaleCommand.h"
#include "ScaleRuns.h"
#include "WorkingFiles.h"

namespace zalohy {

ScaleCheck askShopName(const std::string& address) {
    ScaleCheck result;
    result.status = RunScaleCommand(scaleCommandLine(kDataKinds[kShopName].downloadWord, address));
    // Only 0 is taken for an answer: what other statuses mean depends on the
    // library in use (a vendor's numbers are not ours), and a dead scale must
    // never pass for a live one.
    result.answered = result.status == 0;
    files::removeQuietly(files::toPath(scaleFileName(address, kDataKinds[kShopName].downloadedSuffix)));
    return result;
}

std::string checkLine(const std::string& address, const ScaleCheck& check) {
    if (!check.problem.empty()) return address + ": nelze ověřit: " + check.problem;
    if (check.answered) return withStatus(address + ": váha odpovídá", check.status);
    return withStatus(address + ": váha neodpovídá", check.status);
}

}  // namespace zalohy
