#include "Startup.h"

#include "GuiSupport.h"
#include "MessageBoxes.h"
#include "Mwbackupscale.h"
#include "Saveformat90.h"
#include "ScaleCommand.h"
#include "Sendformat90.h"

#include <memory>

namespace zalohy {

bool reportLibraryBinding(const LibraryBinding& binding) {
    if (binding.ok) return true;
    MessageBoxes::show(nullptr, u8(binding.message()), u8(kApplicationTitle), kMbOk | kMbIconError);
    return false;
}

int runProgram(int argc, char** argv) {
    ZalohyApplication app(argc, argv);
    setUpApplication(app);

    if (!reportLibraryBinding(ScaleLibrary::bindBesideExecutable())) return 1;

    try {
        TMWBackup mainWindow;
        auto saveDialog = std::make_unique<TSaveFormatDialog>();
        SaveFormatDialog = saveDialog.get();
        auto sendDialog = std::make_unique<TSendFormatFrm>();
        SendFormatFrm = sendDialog.get();

        mainWindow.show();
        QApplication::exec();

        SendFormatFrm = nullptr;
        SaveFormatDialog = nullptr;
    } catch (const std::exception& e) {
        showApplicationError(QString::fromUtf8(e.what()));
    } catch (...) {
        showApplicationError(QString());
    }
    return 0;
}

}  // namespace zalohy
