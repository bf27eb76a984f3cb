#include "BackupDialog.h"

#include "Cp1250.h"
#include "DataKind.h"
#include "File.h"
#include "ScaleCommand.h"
#include "WorkingFiles.h"

#include <optional>

namespace zalohy {

namespace {

constexpr Control kAddressBox = Control::EditScaleNumber;

// The four check boxes the settings file keeps, in the order they are read
// and written.
struct StoredBox {
    std::size_t kind;
    const char* key;
};
constexpr StoredBox kStoredBoxes[] = {
    {kFormats, "FORMATY"}, {kPresetKeys, "PRESETY"}, {kShopName, "SHOP_NAME"}, {kTexts, "TEXTY"}};

}  // namespace

BackupDialog::BackupDialog(WindowPort& window, std::string settingsFile)
    : window_(window), report_(window) {
    for (const DataKind& kind : kDataKinds) window_.setCaption(kind.checkBox, kind.backupCaption);
    BackupSettings = std::make_unique<TIniFile>(std::move(settingsFile));
    FormCreate();
}

BackupDialog::~BackupDialog() = default;

void BackupDialog::FormCreate() {
    if (BackupSettings) {
        window_.setEditText(kAddressBox,
                            cp1250ToUtf8(BackupSettings->ReadString(kSettingsSection, "IP_ADDRESS", "192.168.5.8")));
        for (const StoredBox& stored : kStoredBoxes)
            window_.setChecked(kDataKinds[stored.kind].checkBox,
                               BackupSettings->ReadBool(kSettingsSection, stored.key, true));
    } else {
        window_.messageBox("ini problem ", "ini", kMbOk);
    }
    window_.setCaption(Control::GroupBox1, "Soubory pro zálohy");
    window_.setCaption(kDataKinds[kShopName].checkBox, "Název obchodu");
    window_.setCaption(Control::EndBtn, "Zpět");
}

void BackupDialog::FormActivate() {
    window_.clearLog();
    for (std::size_t kind : {kFormats, kShopName, kTexts, kPresetKeys, kPlu, kImage})
        window_.setChecked(kDataKinds[kind].checkBox, false);
}

void BackupDialog::FormClose() {
    if (!BackupSettings) return;
    for (const StoredBox& stored : kStoredBoxes)
        BackupSettings->WriteBool(kSettingsSection, stored.key, window_.isChecked(kDataKinds[stored.kind].checkBox));
    BackupSettings->WriteString(kSettingsSection, "IP_ADDRESS", utf8ToCp1250(window_.editText(kAddressBox)));
}

void BackupDialog::clicked(Control button) {
    if (button == Control::SaveToArchive) SaveToArchiveClick();
}

int BackupDialog::RunScaleCommand(const std::string& commandLine) {
    return zalohy::RunScaleCommand(commandLine, &report_);
}

// The window read and the user asked in this order: the address, the file,
// whether to replace the one there; then the run.
RunResult BackupDialog::SaveToArchiveClick() {
    BackupRequest request;
    request.address = window_.editText(kAddressBox);
    // Checked before anything is asked: an address that cannot name a scale
    // would build file names outside the working folder.
    if (!acceptScaleAddress(report_, request.address)) return {};

    const std::optional<std::string> path =
        window_.chooseFile({FileDialogRequest::Save, files::toUtf8(files::workingFolder()), archiveFileFilters(), 0});
    if (!path || path->empty()) return {};
    request.archive = files::toPath(*path);
    if (isWorkingFile(request.archive, request.address)) {
        refuseWorkingFileAsArchive(report_, *path);
        return {};
    }
    if (files::exists(request.archive)) {
        if (window_.messageBox("Pozor, předchozí data budou přepsána !!", "Rozmysli se Tramilo rozmysli!!",
                               kMbOkCancel | kMbIconWarning) != kIdOk)
            return {};
        request.existing = BackupRequest::Existing::Replace;
    }
    for (std::size_t i = 0; i < kDataKinds.size(); ++i) request.kinds[i] = window_.isChecked(kDataKinds[i].checkBox);

    BackupRun run(std::move(request), report_);
    const RunResult result = run.run();
    BackupOk = run.ok();
    return result;
}

}  // namespace zalohy
