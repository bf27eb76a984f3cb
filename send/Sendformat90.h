// The send dialog: the user chooses a backup archive, sees which kinds it
// holds, ticks the kinds to send and sends them to one scale, or to every
// scale named in the list file "seznam.lst".
#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class TSendFormatFrm;
}

class TSendFormatFrm : public QDialog {
    Q_OBJECT

public:
    explicit TSendFormatFrm(QWidget* parent = nullptr);
    ~TSendFormatFrm() override;

protected:
    void FormCreate();

private:
    std::unique_ptr<Ui::TSendFormatFrm> ui;
};

// The dialog's single instance, alive from start-up to the end of the program.
extern TSendFormatFrm* SendFormatFrm;
