// zaltool check ADDRESS: does the scale answer? Asked for its shop name in a
// scratch folder of its own.
#include "AtomicWrite.h"
#include "Platform.h"
#include "WorkingFiles.h"
#include "FolderLock.h"
#include "ScaleAddress.h"
#include "ScaleCheck.h"
#include "RunOptions.h"
#include "ScratchFolders.h"

namespace fs = std::filesystem;

namespace zalohy {

namespace {

// The working folder for as long as the object lives.
class WorkingFolderScope {
public:
    explicit WorkingFolderScope(const fs::path& folder) {
        std::error_code ec;
        previous_ = fs::current_path(ec);
        if (!ec) fs::current_path(folder, ec);
        entered_ = !ec;
    }
    ~WorkingFolderScope() {
        std::error_code ec;
        if (entered_) fs::current_path(previous_, ec);
    }
    WorkingFolderScope(const WorkingFolderScope&) = delete;
    WorkingFolderScope& operator=(const WorkingFolderScope&) = delete;
    bool entered() const { return entered_; }

private:
    fs::path previous_;
    bool entered_ = false;
};

// Asks in a fresh scratch folder (locked meanwhile), which goes with what
// was downloaded.
ScaleCheck checkScale(const std::string& address) {
    ScaleCheck result;
    std::error_code ec;
    const std::optional<files::HeldFolder> folder =
        files::HeldFolder::create(fs::temp_directory_path(ec), kScratchPrefix);
    if (!folder) {
        result.problem = "nelze vytvořit pomocnou složku";
        return result;
    }
    FolderLock lock;
    WorkingFolderScope inside(folder->path());
    if (!lock.acquire(files::toUtf8(folder->path()))) {
        result.problem = lock.problem();
    } else if (!inside.entered()) {
        result.problem = "nelze pracovat ve složce " + files::toUtf8(folder->path());
    } else {
        result = askShopName(address);
    }
    return result;
}

Exit check(const Call& call) {
    const std::string& address = call.operands[0];
    if (const AddressProblem problem = checkScaleAddress(address); problem != AddressProblem::None)
        return complain(address + ": " + addressProblemText(problem), call.out());
    if (!bindLibrary(call.out())) return Exit::Failed;
    const ScaleCheck result = checkScale(address);
    const std::string said = checkLine(address, result);
    say(said, call.out());
    return result.answered ? Exit::Done : complain(said, call.out());
}

const CommandRegistration registered{{"check", "ADRESA",
                                      "zeptá se váhy na název obchodu v pomocné složce: odpovídá?", 1, 1, {},
                                      check, CommandGroup::Safety, 20}};

}  // namespace

}  // namespace zalohy
