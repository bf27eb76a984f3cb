#include "Sendformat90.h"

#include "BackupArchive.h"
#include "DataKind.h"
#include "FileDialogs.h"
#include "GuiSupport.h"
#include "MessageBoxes.h"
#include "Saveformat90.h"
#include "ScaleAddress.h"
#include "ScaleList.h"
#include "ui_Sendformat90.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <array>
#include <stdexcept>

using namespace zalohy;

TSendFormatFrm* SendFormatFrm = nullptr;

namespace {

const char* const kBadNews = "Ne zrovna dobrá zpráva";
const char* const kAllSent = "Navolené datové soubory jsou odeslány";
constexpr const char* kCheckConnection = "Chyba komunikace s váhou \nZkontrolujte připojení a opakujte odeslání";

// What the send runs show for each kind, in the order of kDataKinds. The run
// to a list never sends the image kind.
struct KindTexts {
    const char* progress;      // status line while the kind is sent to one scale
    const char* listProgress;  // the same in the run to a list
    const char* extractionFailure;
    const char* transferFailure;
    const char* notSent;       // status line after a failed transfer to one scale
    const char* listFailure;   // log line after a failed transfer in the run to a list
};

constexpr KindTexts kKindTexts[] = {
    {"Odesílají se formáty", "Odesílají se formáty", "Nepodařilo se extrahovat soubor fromátů z archivu",
     kCheckConnection, "Data formátů nebyla odeslána", "Chyba komunikace s váhou Data formátů nebyla odeslána"},
    {"Odesílají se Texty", "Odesílají se Texty", "Nepodařilo se extrahovat soubor textů z archivu",
     kCheckConnection, "Data textů nebyla odeslána", "Chyba komunikace s váhou Data textu nebyla odeslána"},
    {"Odesílá se název obchodu", "Odesílá se název obchodu",
     "Nepodařilo se extrahovat soubor názvu obchodu z archivu", "Chyba komunikace s váhou \nZkontrolujte zadání",
     "Data názvu obchodu nebyla odeslána", "Chyba komunikace s váhou Data nazvu obchodu nebyla odeslána"},
    {"Odesílá se rozložení kláves", "Odesílá se rozložení kláves", "Nepodařilo se extrahovat soubor kláves z archivu",
     kCheckConnection, "Data rozložení kláves nebyla odeslána",
     "Chyba komunikace s váhou Data přířazení kláves nebyla odeslána"},
    {"Odesílá se PLU data", "Odesílá se PLU soubor", "Nepodařilo se extrahovat soubor PLU z archivu",
     kCheckConnection, "Data PLU nebyla odeslána", "Chyba komunikace s váhou Data PLU nebyla odeslána"},
    {"Odesílá se Image data", nullptr, "Nepodařilo se extrahovat soubor Image z archivu", kCheckConnection,
     "Data Image nebyla odeslána", nullptr},
};
static_assert(std::size(kKindTexts) == kDataKinds.size());

void removeIfExists(const std::string& name) {
    const QString file = fromFileName(name);
    if (QFileInfo::exists(file)) QFile::remove(file);
}

// The log line for a line of the list that names no usable scale.
QString skippedLine(const ScaleListEntry& entry) {
    return u8("Řádek ") + QString::number(entry.line) + u8(" souboru ") + u8(kScaleListFile) +
           u8(" přeskočen: ") + u8(addressProblemText(entry.problem));
}

}  // namespace

TSendFormatFrm::TSendFormatFrm(QWidget* parent) : FormDialog(parent), ui(std::make_unique<Ui::TSendFormatFrm>()) {
    ui->setupUi(this);
    useFormFonts(this);
    anchor(ui->SendByList, Anchors::Right | Anchors::Bottom);
    anchor(ui->BackBtn, Anchors::Right | Anchors::Bottom);
    anchor(ui->Memo1, Anchors::Left | Anchors::Top | Anchors::Right | Anchors::Bottom);
    anchor(ui->StatusBar1, Anchors::Left | Anchors::Right | Anchors::Bottom);
    // The first control of the tab order has the focus when the dialog opens.
    ui->EditScaleNumber->setFocus();
    connect(ui->FileSelectBtn, &QPushButton::clicked, this, &TSendFormatFrm::FileSelectBtnClick);
    connect(ui->SendFormatBtn, &QPushButton::clicked, this, &TSendFormatFrm::SendFormatBtnClick);
    connect(ui->SendByList, &QPushButton::clicked, this, &TSendFormatFrm::SendByListClick);
    connect(ui->BackBtn, &QPushButton::clicked, this, &TSendFormatFrm::BackBtnClick);
    FormCreate();
}

TSendFormatFrm::~TSendFormatFrm() = default;

QCheckBox* TSendFormatFrm::checkBoxFor(const DataKind& kind) const {
    return findChild<QCheckBox*>(QString::fromLatin1(kind.checkBox));
}

void TSendFormatFrm::FormCreate() {
    setWindowTitle(u8("Odeslání formátů a textů do váhy"));
    ui->GroupBox1->setTitle(u8("Výběr souborů"));
    ui->CheckBoxShopName->setText(u8("Název obchodu"));
    ui->CheckBoxPresety->setText(u8("Rychloklávesy"));
    ui->BackBtn->setText(u8("Zpět"));
    ui->SendFormatBtn->setText(u8("Odeslat"));
}

// The image box keeps its tick, and every box keeps its enabled state: both
// stay as the last archive choice left them.
void TSendFormatFrm::FormActivate() {
    setStatus("Komuniační klídek");
    ui->Memo1->clear();
    for (QCheckBox* box :
         {ui->CheckBoxFormaty, ui->CheckBoxShopName, ui->CheckBoxTexty, ui->CheckBoxPresety, ui->CheckBoxPlu})
        box->setChecked(false);
    ui->EdFileName->clear();
}

void TSendFormatFrm::BackBtnClick() { close(); }

void TSendFormatFrm::addLine(const QString& line) { ui->Memo1->appendPlainText(line); }
void TSendFormatFrm::setStatus(const char* text) { ui->StatusBar1->showMessage(u8(text)); }
void TSendFormatFrm::warn(const char* text) { MessageBoxes::show(this, u8(text), u8(kBadNews), kMbOk | kMbIconWarning); }

BackupArchive TSendFormatFrm::archiveNamedInTheBox() {
    return BackupArchive(toFileName(ui->EdFileName->text()), [this](const std::string& text, const std::string& caption) {
        MessageBoxes::show(this, u8(text), u8(caption), kMbOk);
    });
}

void TSendFormatFrm::warnIfNoArchiveName() {
    if (ui->EdFileName->text().size() < 5)
        MessageBoxes::show(this, u8("Zadejte název zálohy tlačítkem ... "), u8("Upozornění na zapomenutou věc"),
                           kMbOk | kMbIconWarning);
}

void TSendFormatFrm::FileSelectBtnClick() {
    guarded([this] {
        const QString path = FileDialogs::getOpenFileName(this, QDir::currentPath(), archiveFileFilters(), 0);
        if (path.isEmpty()) return;
        ui->EdFileName->setText(QDir::toNativeSeparators(path));
        addLine(ui->EdFileName->text());

        // An archive whose directory cannot be read offers nothing to send.
        std::array<std::int32_t, kArchiveSlots> ids{};
        archiveNamedInTheBox().ReadDirectory(ids);
        for (const DataKind& kind : kDataKinds) {
            const bool present = ids[kind.slot] == kind.id;
            checkBoxFor(kind)->setChecked(present);
            checkBoxFor(kind)->setEnabled(present);
        }
    });
}

TSendFormatFrm::Transfer TSendFormatFrm::sendKind(std::size_t kindIndex, const std::string& address,
                                                  BackupArchive& archive, const char* progress) {
    const DataKind& kind = kDataKinds[kindIndex];
    const std::string upload = scaleFileName(address, kind.uploadSuffix);
    setStatus(progress);
    addLine(fromFileName(upload));
    if (archive.ExtractMember(kind.id, upload) < 0) {
        warn(kKindTexts[kindIndex].extractionFailure);
        return Transfer::NotExtracted;
    }
    // The status line and the new log line must be on screen while the
    // transfer blocks the window.
    repaint();
    if (!SaveFormatDialog) throw std::logic_error("the backup dialog does not exist");
    return SaveFormatDialog->RunScaleCommand(scaleCommandLine(kind.uploadWord, address)) == 0 ? Transfer::Sent
                                                                                               : Transfer::Failed;
}

void TSendFormatFrm::SendFormatBtnClick() {
    guarded([this] {
        // Checked before anything is extracted: an address that cannot name a
        // scale would build file names outside the working folder.
        const QString addressText = ui->EditScaleNumber->text();
        if (!acceptScaleAddress(this, addressText)) return;

        BackupArchive archive = archiveNamedInTheBox();
        warnIfNoArchiveName();

        const std::string address = toFileName(addressText);
        for (std::size_t i = 0; i < kDataKinds.size(); ++i) {
            if (!checkBoxFor(kDataKinds[i])->isChecked()) continue;
            const KindTexts& texts = kKindTexts[i];
            switch (sendKind(i, address, archive, texts.progress)) {
            case Transfer::NotExtracted:
                return;
            case Transfer::Failed:
                // The upload file stays for the user to look at.
                warn(texts.transferFailure);
                setStatus(texts.notSent);
                return;
            case Transfer::Sent:
                removeIfExists(scaleFileName(address, kDataKinds[i].uploadSuffix));
                break;
            }
        }
        setStatus(kAllSent);
    });
}

// Every scale of the list gets every ticked kind but the image before the next
// scale is started. A failed transfer is only logged and the run goes on; a
// failed extraction would fail for every scale alike and ends the run.
void TSendFormatFrm::SendByListClick() {
    guarded([this] {
        BackupArchive archive = archiveNamedInTheBox();
        warnIfNoArchiveName();

        const std::optional<ScaleList> list = readScaleList(kScaleListFile);
        if (!list) {
            MessageBoxes::show(this, u8("Nepodarilo se otevrit soubor seznam.lst"), u8("No je do divný!!!"), kMbOk);
            return;
        }

        for (const ScaleListEntry& entry : list->entries) {
            if (entry.problem != AddressProblem::None) {
                addLine(skippedLine(entry));
                continue;
            }
            for (std::size_t i = 0; i < kImage; ++i) {
                if (!checkBoxFor(kDataKinds[i])->isChecked()) continue;
                if (i == kPlu) MessageBoxes::show(this, QString(), QString(), kMbOk);
                const KindTexts& texts = kKindTexts[i];
                const Transfer result = sendKind(i, entry.address, archive, texts.listProgress);
                if (result == Transfer::NotExtracted) return;
                if (result == Transfer::Failed) addLine(u8(texts.listFailure));
                removeIfExists(scaleFileName(entry.address, kDataKinds[i].uploadSuffix));
            }
        }

        if (list->reachedEndOfFile) setStatus(kAllSent);
        addLine(u8(kAllSent));
    });
}
