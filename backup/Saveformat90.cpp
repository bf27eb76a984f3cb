#include "Saveformat90.h"

#include "BackupArchive.h"
#include "DataKind.h"
#include "FileDialogs.h"
#include "GuiSupport.h"
#include "MessageBoxes.h"
#include "ScaleCommand.h"
#include "ui_Saveformat90.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

using namespace zalohy;

TSaveFormatDialog* SaveFormatDialog = nullptr;

namespace {

const char* const kSection = "SOUBOR_ZALOHY";
const char* const kBadNews = "Ne zrovna dobrá zpráva";

// What the backup run shows for each kind, in the order of kDataKinds.
struct KindTexts {
    const char* progress;
    const char* ok;
    const char* renameFailure;
    bool clearAfterRenameFailure;
    bool okBeforeTrimming;  // otherwise the OK line follows the archiving
};

constexpr KindTexts kKindTexts[] = {
    {"Probíhá zálohování formátů, prosím čekejte", "Zalohování formátů OK",
     "Nepodarilo se prejmenovat soubor formatu\nOpakujte zadání", false, true},
    {"Probíhá zálohování textu, prosím čekejte", "Zálohovaní textů OK",
     "Nepodařilo se přejmenovat soubor textů \nOpakujte zadání", true, false},
    {"Probíhá zálohování názvu obchodu, prosím čekejte", "Zálohování názvu obchodu OK",
     "Nepodařilo se přejmenovat soubor shop name \nOpakujte zadání", true, false},
    {"Probíhá zálohování rychloklaves, prosím čekejte", "Zalohování rychlokláves OK",
     "Nepodarilo se prejmenovat soubor formatu\nOpakujte zadání", true, false},
    {"Probíhá zálohování PLU dat, prosím čekejte", "Zalohování PLU dat OK",
     "Nepodarilo se prejmenovat soubor PLU \nOpakujte zadání", false, true},
    {"Probíhá zálohování Image dat, prosím čekejte", "Zalohování Image dat OK",
     "Nepodarilo se prejmenovat soubor PLU \nOpakujte zadání", false, true},
};
static_assert(std::size(kKindTexts) == kDataKinds.size());

bool fileExists(const std::string& name) { return QFileInfo::exists(fromFileName(name)); }
void removeFile(const std::string& name) { QFile::remove(fromFileName(name)); }

}  // namespace

TSaveFormatDialog::TSaveFormatDialog(QWidget* parent)
    : FormDialog(parent), ui(std::make_unique<Ui::TSaveFormatDialog>()) {
    ui->setupUi(this);
    useFormFonts(this);
    anchor(ui->Memo1, Anchors::Left | Anchors::Top | Anchors::Right | Anchors::Bottom);
    connect(ui->SaveToArchive, &QPushButton::clicked, this, &TSaveFormatDialog::SaveToArchiveClick);
    connect(ui->EndBtn, &QPushButton::clicked, this, &TSaveFormatDialog::EndBtnClick);

    BackupSettings = std::make_unique<TIniFile>(kSettingsFile);
    FormCreate();
}

TSaveFormatDialog::~TSaveFormatDialog() = default;

QCheckBox* TSaveFormatDialog::checkBoxFor(const DataKind& kind) const {
    return findChild<QCheckBox*>(QString::fromLatin1(kind.checkBox));
}

void TSaveFormatDialog::FormCreate() {
    if (BackupSettings) {
        ui->EditScaleNumber->setText(fromCp1250(BackupSettings->ReadString(kSection, "IP_ADDRESS", "192.168.5.8")));
        ui->CheckBoxFormaty->setChecked(BackupSettings->ReadBool(kSection, "FORMATY", true));
        ui->CheckBoxPresety->setChecked(BackupSettings->ReadBool(kSection, "PRESETY", true));
        ui->CheckBoxShopName->setChecked(BackupSettings->ReadBool(kSection, "SHOP_NAME", true));
        ui->CheckBoxTexty->setChecked(BackupSettings->ReadBool(kSection, "TEXTY", true));
    } else {
        MessageBoxes::show(this, QStringLiteral("ini problem "), QStringLiteral("ini"), kMbOk);
    }
    ui->GroupBox1->setTitle(u8("Soubory pro zálohy"));
    ui->CheckBoxShopName->setText(u8("Název obchodu"));
    ui->EndBtn->setText(u8("Zpět"));
}

void TSaveFormatDialog::FormActivate() {
    ui->Memo1->clear();
    for (QCheckBox* box : {ui->CheckBoxFormaty, ui->CheckBoxShopName, ui->CheckBoxTexty, ui->CheckBoxPresety,
                           ui->CheckBoxPlu, ui->CheckBoxImg})
        box->setChecked(false);
}

void TSaveFormatDialog::FormClose() {
    if (!BackupSettings) return;
    // The first write that fails raises; the ones after it are not made.
    BackupSettings->WriteBool(kSection, "FORMATY", ui->CheckBoxFormaty->isChecked());
    BackupSettings->WriteBool(kSection, "PRESETY", ui->CheckBoxPresety->isChecked());
    BackupSettings->WriteBool(kSection, "SHOP_NAME", ui->CheckBoxShopName->isChecked());
    BackupSettings->WriteBool(kSection, "TEXTY", ui->CheckBoxTexty->isChecked());
    BackupSettings->WriteString(kSection, "IP_ADDRESS", toCp1250(ui->EditScaleNumber->text()));
}

// Every way of closing (the button, the title bar, Escape) passes here. A
// settings file that cannot be written is reported and the dialog still
// closes, so the user is never trapped in it.
void TSaveFormatDialog::done(int result) {
    if (isVisible()) guarded([this] { FormClose(); });
    QDialog::done(result);
}

void TSaveFormatDialog::EndBtnClick() { close(); }

int TSaveFormatDialog::RunScaleCommand(const std::string& commandLine) {
    return zalohy::RunScaleCommand(commandLine, [this] {
        MessageBoxes::show(this, u8(kStatusUnreadableText), u8(kStatusUnreadableCaption), kMbOk);
    });
}

int TSaveFormatDialog::TrimDownloadedFile(const std::string& fileName) {
    return zalohy::TrimDownloadedFile(fileName, *this);
}

void TSaveFormatDialog::addLine(const std::string& line) { addLine(u8(line)); }
void TSaveFormatDialog::addLine(const QString& line) { ui->Memo1->appendPlainText(line); }
void TSaveFormatDialog::setBackupFailed() { BackupOk = false; }

void TSaveFormatDialog::SaveToArchiveClick() {
    guarded([this] {
        // Checked before anything is asked or deleted: an address that cannot
        // name a scale would build file names outside the working folder.
        const QString addressText = ui->EditScaleNumber->text();
        if (!acceptScaleAddress(this, addressText)) return;

        const QString path = FileDialogs::getSaveFileName(this, QDir::currentPath(), archiveFileFilters(), 0);
        if (path.isEmpty()) return;

        if (QFileInfo::exists(path)) {
            if (MessageBoxes::show(this, u8("Pozor, předchozí data budou přepsána !!"),
                                   u8("Rozmysli se Tramilo rozmysli!!"), kMbOkCancel | kMbIconWarning) != kIdOk)
                return;
            // New data must never be added to the old archive: if it cannot be
            // deleted, nothing is done at all.
            if (!QFile::remove(path) && QFileInfo::exists(path)) {
                MessageBoxes::show(this,
                                   u8("Předchozí zálohu nelze smazat:\n") + QDir::toNativeSeparators(path) +
                                       u8("\nData nebyla zálohována. Zkontrolujte, zda soubor není "
                                          "chráněn proti zápisu."),
                                   u8(kBadNews), kMbOk | kMbIconWarning);
                return;
            }
        }

        BackupArchive archive(toFileName(path), [this](const std::string& text, const std::string& caption) {
            MessageBoxes::show(this, u8(text), u8(caption), kMbOk);
        });

        BackupOk = true;
        ui->Memo1->clear();
        addLine(u8("Probíhá zálohování dat, prosím čekejte"));
        repaint();

        const std::string address = toFileName(addressText);
        for (std::size_t i = 0; i < kDataKinds.size(); ++i) {
            if (!checkBoxFor(kDataKinds[i])->isChecked()) continue;
            if (!backUpKind(i, address, archive)) return;
        }

        if (BackupOk) {
            addLine(u8("Gratulujeme,označené soubory "));
            addLine(u8("máte zazálohované!"));
        } else {
            addLine(u8("Nepodařilo se vše zazálohovat"));
        }
    });
}

bool TSaveFormatDialog::backUpKind(std::size_t kindIndex, const std::string& address, BackupArchive& archive) {
    const DataKind& kind = kDataKinds[kindIndex];
    const KindTexts& texts = kKindTexts[kindIndex];
    const std::string downloaded = scaleFileName(address, kind.downloadedSuffix);
    const std::string upload = scaleFileName(address, kind.uploadSuffix);
    const std::string commandLine = scaleCommandLine(kind.downloadWord, address);

    addLine(u8(texts.progress));
    if (kindIndex == kPresetKeys) repaint();

    if (RunScaleCommand(commandLine) != 0) {
        MessageBoxes::show(this, u8("Chyba komunikace s váhou \nZkontrolujte zadání"), u8(kBadNews),
                           kMbOk | kMbIconWarning);
        ui->Memo1->clear();
        return false;
    }

    if (fileExists(upload)) removeFile(upload);
    if (!QFile::rename(fromFileName(downloaded), fromFileName(upload))) {
        MessageBoxes::show(this, u8(texts.renameFailure), u8(kBadNews), kMbOk | kMbIconWarning);
        if (texts.clearAfterRenameFailure) ui->Memo1->clear();
        return false;
    }

    if (texts.okBeforeTrimming) addLine(u8(texts.ok));
    TrimDownloadedFile(upload);
    if (archive.AppendMember(kind.id, upload) == BackupArchive::kAppended && fileExists(upload)) removeFile(upload);

    if (texts.okBeforeTrimming) {
        repaint();
    } else {
        if (kindIndex == kTexts) repaint();
        addLine(u8(texts.ok));
        repaint();
    }
    return true;
}
