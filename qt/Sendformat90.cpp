#include "Sendformat90.h"

#include "Application.h"
#include "ui_Sendformat90.h"

using namespace zalohy;

TSendFormatFrm::TSendFormatFrm(ScaleRunner& runner, QWidget* parent)
    : FormDialog(parent), ui(std::make_unique<Ui::TSendFormatFrm>()) {
    ui->setupUi(this);
    useFormFonts(this);
    setMinimumSize(size());
    anchor(ui->SendByList, Anchors::Right | Anchors::Bottom);
    anchor(ui->BackBtn, Anchors::Right | Anchors::Bottom);
    anchor(ui->Memo1, Anchors::Left | Anchors::Top | Anchors::Right | Anchors::Bottom);
    useClassicScrollBars(ui->Memo1);
    anchor(ui->StatusBar1, Anchors::Left | Anchors::Right | Anchors::Bottom);
    // The first control of the tab order has the focus when the dialog opens.
    ui->EditScaleNumber->setFocus();
    connect(ui->FileSelectBtn, &QPushButton::clicked, this, &TSendFormatFrm::FileSelectBtnClick);
    connect(ui->SendFormatBtn, &QPushButton::clicked, this, &TSendFormatFrm::SendFormatBtnClick);
    connect(ui->SendByList, &QPushButton::clicked, this, &TSendFormatFrm::SendByListClick);
    connect(ui->BackBtn, &QPushButton::clicked, this, &TSendFormatFrm::BackBtnClick);
    // Runs the creation handler.
    core_ = std::make_unique<SendDialog>(*this, runner);
}

TSendFormatFrm::~TSendFormatFrm() = default;

void TSendFormatFrm::FormActivate() { core_->FormActivate(); }

void TSendFormatFrm::BackBtnClick() { close(); }

void TSendFormatFrm::FileSelectBtnClick() {
    guarded([this] { core_->FileSelectBtnClick(); });
}

void TSendFormatFrm::SendFormatBtnClick() {
    guarded([this] { core_->SendFormatBtnClick(); });
}

void TSendFormatFrm::SendByListClick() {
    guarded([this] { core_->SendByListClick(); });
}
