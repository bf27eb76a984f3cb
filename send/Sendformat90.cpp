#include "Sendformat90.h"

#include "GuiSupport.h"
#include "ui_Sendformat90.h"

using namespace zalohy;

TSendFormatFrm* SendFormatFrm = nullptr;

TSendFormatFrm::TSendFormatFrm(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::TSendFormatFrm>()) {
    ui->setupUi(this);
    useFormFonts(this);
    FormCreate();
}

TSendFormatFrm::~TSendFormatFrm() = default;

void TSendFormatFrm::FormCreate() {
    setWindowTitle(u8("Odeslání formátů a textů do váhy"));
    ui->GroupBox1->setTitle(u8("Výběr souborů"));
    ui->CheckBoxShopName->setText(u8("Název obchodu"));
    ui->CheckBoxPresety->setText(u8("Rychloklávesy"));
    ui->BackBtn->setText(u8("Zpět"));
    ui->SendFormatBtn->setText(u8("Odeslat"));
}
