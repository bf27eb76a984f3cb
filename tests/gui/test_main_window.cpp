// The main window, start-up pieces, and how the forms look.
#include "FakeScale.h"
#include "Application.h"
#include "FormLayout.h"
#include "QtText.h"
#include "GuiTestSupport.h"
#include "Mwbackupscale.h"
#include "Saveformat90.h"
#include "ScaleCommand.h"
#include "Sendformat90.h"
#include "WindowCases.h"
#include "Startup.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace zalohy;
using namespace zalohy::test;

namespace {

class MainWindow : public ::testing::Test {
protected:
    TempWorkDir dir;
    MessageBoxRecorder boxes;
    std::unique_ptr<TSaveFormatDialog> save;
    std::unique_ptr<TSendFormatFrm> send;
    std::unique_ptr<TMWBackup> window;

    void SetUp() override {
        window = std::make_unique<TMWBackup>();
        save = std::make_unique<TSaveFormatDialog>();
        send = std::make_unique<TSendFormatFrm>(save->logic());
        SaveFormatDialog = save.get();
        SendFormatFrm = send.get();
        window->show();
    }
    void TearDown() override {
        SaveFormatDialog = nullptr;
        SendFormatFrm = nullptr;
    }
    // Closes the modal dialog as soon as it is up, and records that it was.
    void closeWhenShown(QDialog* dialog, bool* wasModal) {
        QTimer::singleShot(0, dialog, [dialog, wasModal] {
            *wasModal = dialog->isVisible() && dialog->isModal();
            dialog->close();
        });
    }
};

TEST_F(MainWindow, clockShowsZerosUntilTheFirstTickThenTheTimeOfDay) {
    EXPECT_EQ(child<QLabel>(window.get(), "Panel1")->text(), "00:00:00");
    EXPECT_EQ(window->Timer1->interval(), 1000);
    EXPECT_TRUE(window->Timer1->isActive());

    // The timer itself ticks through the event loop.
    auto* panel = child<QLabel>(window.get(), "Panel1");
    ASSERT_TRUE(QTest::qWaitFor([panel] { return panel->text() != "00:00:00"; }, 3000));
    const QTime shown = QTime::fromString(panel->text(), "HH:mm:ss");
    ASSERT_TRUE(shown.isValid()) << panel->text().toStdString();
    EXPECT_LE(std::abs(shown.secsTo(QTime::currentTime())), 2);
}

TEST_F(MainWindow, longTimeText_dropsTheTimeZone) {
    const QString text = longTimeText(QTime(7, 5, 9));
    EXPECT_TRUE(text.contains("05")) << text.toStdString();
    EXPECT_TRUE(text.contains("09")) << text.toStdString();
    EXPECT_FALSE(text.contains("UTC")) << text.toStdString();
    EXPECT_EQ(text, text.trimmed());
}

TEST_F(MainWindow, backupButtonShowsTheOneDialogModallyEachTime) {
    child<QLineEdit>(save.get(), "EditScaleNumber")->setText("127.0.0.2");
    for (int i = 0; i < 2; ++i) {
        bool wasModal = false;
        closeWhenShown(save.get(), &wasModal);
        child<QPushButton>(window.get(), "MakeBackupBtn")->click();
        EXPECT_TRUE(wasModal);
        EXPECT_FALSE(save->isVisible());
    }
    // Creation ran once: the address typed is still there, the settings
    // written at the first closing were not read again.
    EXPECT_EQ(child<QLineEdit>(save.get(), "EditScaleNumber")->text(), "127.0.0.2");
}

TEST_F(MainWindow, sendButtonShowsTheSendDialogModally) {
    bool wasModal = false;
    closeWhenShown(send.get(), &wasModal);
    child<QPushButton>(window.get(), "SendBackupToScaleBtn")->click();
    EXPECT_TRUE(wasModal);
    EXPECT_EQ(send->windowTitle(), u8("Odeslání formátů a textů do váhy"));
}

TEST_F(MainWindow, exitButtonClosesTheWindow) {
    child<QPushButton>(window.get(), "BitBtn1")->click();
    EXPECT_FALSE(window->isVisible());
}

TEST_F(MainWindow, fixedSizeWithoutMaximise) {
    EXPECT_EQ(window->minimumSize(), window->maximumSize());
    EXPECT_FALSE(window->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(window->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_EQ(window->windowTitle(), u8(kMainWindowForm.caption));
}

// Every control of the three forms is made where its description puts it, in
// its group box, and Tab visits them in the description's order.
TEST_F(MainWindow, everyControlSitsInItsParentWhereTheDescriptionPutsIt) {
    const std::pair<QWidget*, const FormDesign*> forms[] = {
        {window.get(), &kMainWindowForm}, {save.get(), &kBackupDialogForm}, {send.get(), &kSendDialogForm}};
    for (auto [form, design] : forms) {
        EXPECT_EQ(form->size(), QSize(design->clientWidth, design->clientHeight));
        QStringList expected;
        QWidget* first = nullptr;
        for (const ControlDesign& c : design->controls) {
            SCOPED_TRACE(controlName(c.name));
            auto* w = child<QWidget>(form, c.name);
            EXPECT_EQ(w->parentWidget(), c.parent == Control::Window ? form : child<QWidget>(form, c.parent));
            EXPECT_EQ(w->geometry(), QRect(c.x, c.y, c.width, c.height));
            if (!(c.flags & TabStop)) continue;
            expected << controlName(c.name);
            if (!first) first = w;
        }
        QStringList order;
        for (QWidget* w = first; order.size() < expected.size(); w = w->nextInFocusChain())
            if (w->focusPolicy() & Qt::TabFocus) order << w->objectName();
        EXPECT_EQ(order, expected);
    }
}

TEST_F(MainWindow, backupDialogTextBoxGrowsWithTheDialogAndTheRestStays) {
    save->show();
    auto* memo = child<QPlainTextEdit>(save.get(), "Memo1");
    auto* button = child<QPushButton>(save.get(), "SaveToArchive");
    const QRect memoBefore = memo->geometry();
    const QRect buttonBefore = button->geometry();
    save->resize(save->width() + 100, save->height() + 60);
    EXPECT_EQ(memo->geometry(), memoBefore.adjusted(0, 0, 100, 60));
    EXPECT_EQ(button->geometry(), buttonBefore);
    save->hide();
}

// The text boxes end inside their dialogs' client areas (their scroll bars
// are whole), and no dialog can be made smaller than designed.
TEST_F(MainWindow, textBoxesFitTheirDialogsAndTheDesignedSizeIsTheMinimum) {
    for (QDialog* dialog : std::initializer_list<QDialog*>{save.get(), send.get()}) {
        dialog->show();
        const QRect memo = child<QWidget>(dialog, "Memo1")->geometry();
        EXPECT_TRUE(dialog->rect().contains(memo)) << dialog->objectName().toStdString();
        EXPECT_EQ(dialog->rect().right() - memo.right(), 8) << dialog->objectName().toStdString();
        const FormDesign& design = dialog == save.get() ? kBackupDialogForm : kSendDialogForm;
        EXPECT_EQ(dialog->minimumSize(), QSize(design.clientWidth, design.clientHeight));
        dialog->hide();
    }
}

// Every caption must be readable in full with the font the forms use here.
TEST_F(MainWindow, noCaptionIsClipped) {
    for (QWidget* form : std::initializer_list<QWidget*>{window.get(), save.get(), send.get()}) {
        for (auto* box : form->findChildren<QCheckBox*>())
            EXPECT_LE(box->sizeHint().width(), box->width())
                << form->objectName().toStdString() << "/" << box->objectName().toStdString();
        for (auto* button : form->findChildren<QPushButton*>()) {
            const int needed = button->fontMetrics().horizontalAdvance(button->text()) +
                               (button->icon().isNull() ? 0 : button->iconSize().width() + 4) + 8;
            EXPECT_LE(needed, button->width())
                << form->objectName().toStdString() << "/" << button->objectName().toStdString();
        }
        for (auto* label : form->findChildren<QLabel*>()) {
            EXPECT_LE(label->sizeHint().width(), label->width() + 2)
                << form->objectName().toStdString() << "/" << label->objectName().toStdString();
            EXPECT_LE(label->fontMetrics().height(), label->height() + 3)
                << form->objectName().toStdString() << "/" << label->objectName().toStdString();
        }
    }
}

// The boxes of the table both front ends walk. An error escaping a handler is
// shown by the application object, which delivers the next events as before;
// the dialog whose settings cannot be written closes all the same.
class BoxCases : public MainWindow, public ::testing::WithParamInterface<WindowCase> {};

TEST_P(BoxCases, shownAsTheTableSays) {
    const std::string name = GetParam().name;
    if (name == "panelClickedTwice") {
        for (int i = 0; i < 2; ++i) QTest::mouseClick(child<QLabel>(window.get(), "Panel1"), Qt::LeftButton);
        EXPECT_TRUE(window->isVisible());
        for (const auto& box : boxes.shown) EXPECT_EQ(box.owner, window.get());
    } else if (name == "errorEscapingAHandler") {
        struct Throwing : QObject {
            int handled = 0;
            bool event(QEvent* e) override {
                if (e->type() == QEvent::User && ++handled == 1) throw std::runtime_error("Unable to write to x.ini");
                return e->type() == QEvent::User || QObject::event(e);
            }
        } receiver;
        QEvent first(QEvent::User), second(QEvent::User);
        QApplication::sendEvent(&receiver, &first);
        QApplication::sendEvent(&receiver, &second);
        EXPECT_EQ(receiver.handled, 2);
    } else if (name == "settingsNotWritten") {
        writeFile(dir.path() / "Skladex.ini", "[SOUBOR_ZALOHY]\r\n");
        std::filesystem::permissions(dir.path() / "Skladex.ini", std::filesystem::perms::owner_read);
        save->show();
        child<QPushButton>(save.get(), "EndBtn")->click();
        EXPECT_FALSE(save->isVisible());
        EXPECT_EQ(readFile(dir.path() / "Skladex.ini"), "[SOUBOR_ZALOHY]\r\n");
    } else if (name == "libraryNotBound") {
        const LibraryBinding binding = ScaleLibrary::bindFile("/nonexistent-folder/libtwswtcp.so");
        EXPECT_FALSE(reportLibraryBinding(binding) || binding.reason.empty());
        for (const auto& box : boxes.shown)
            EXPECT_TRUE(box.text.contains(u8("/nonexistent-folder/libtwswtcp.so\n" + binding.reason)));
    }
    expectBoxes(boxes.shown, GetParam(), [](const QString& text) { return text.toStdString(); });
}

INSTANTIATE_TEST_SUITE_P(Table, BoxCases, ::testing::ValuesIn(kWindowCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
