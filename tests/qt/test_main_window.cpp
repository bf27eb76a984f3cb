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
#include <QStatusBar>
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

    // Qt's side of the cases both front ends share (WindowCases.h).
    std::vector<std::pair<QWidget*, const FormDesign*>> forms() const {
        return {{window.get(), &kMainWindowForm}, {save.get(), &kBackupDialogForm}, {send.get(), &kSendDialogForm}};
    }
    static QWidget* handle(QWidget* form, Control c) { return c == Control::Window ? form : child<QWidget>(form, c); }
    static QWidget* parentOf(QWidget* widget) { return widget->parentWidget(); }
    static PlaceRect placeOf(QWidget* widget) {
        const QRect r = widget->geometry();
        return {r.left(), r.top(), r.right() + 1, r.bottom() + 1};
    }
    static std::pair<int, int> clientSize(QWidget* form) { return {form->width(), form->height()}; }
    static bool textFits(QWidget* widget) {
        auto* label = qobject_cast<QLabel*>(widget);
        return label->sizeHint().width() <= label->width() + 2 && label->fontMetrics().height() <= label->height() + 3;
    }
    static std::vector<std::string> tabOrder(QWidget* form) {
        std::vector<std::string> order;
        for (QWidget* w = form->nextInFocusChain(); w != form; w = w->nextInFocusChain())
            if (w->focusPolicy() & Qt::TabFocus) order.push_back(w->objectName().toStdString());
        return order;
    }
    static std::string text(QWidget* form, Control c) {
        if (c == Control::Window) return form->windowTitle().toStdString();
        if (auto* bar = qobject_cast<QStatusBar*>(handle(form, c))) return bar->currentMessage().toStdString();
        return handle(form, c)->property("text").toString().toStdString();
    }
    static bool waitFor(int ms, const std::function<bool()>& done) { return QTest::qWaitFor(done, ms); }
    static std::string timeText(int secondsAgo) {
        return longTimeText(QTime::currentTime().addSecs(-secondsAgo)).toStdString();
    }
    template <class WhileShown>
    bool pressShowsModally(Control button, QDialog* dialog, WhileShown whileShown) {
        bool modal = false;
        QTimer::singleShot(0, dialog, [&] {
            modal = dialog->isVisible() && QApplication::activeModalWidget() == dialog;
            whileShown();
        });
        press(window.get(), button);
        return modal;
    }
    static void press(QWidget* form, Control button) { child<QAbstractButton>(form, button)->click(); }
    static void escape(QWidget* form) { QTest::keyClick(form, Qt::Key_Escape); }
    bool backToTheMainWindow(QWidget* dialog) const {
        return !dialog->isVisible() && window->isEnabled() && !QApplication::activeModalWidget();
    }
};

INSTANTIATE_TYPED_TEST_SUITE_P(Qt, BothFrontEnds, MainWindow);

TEST_F(MainWindow, longTimeText_dropsTheTimeZone) {
    const QString text = longTimeText(QTime(7, 5, 9));
    EXPECT_TRUE(text.contains("05")) << text.toStdString();
    EXPECT_TRUE(text.contains("09")) << text.toStdString();
    EXPECT_FALSE(text.contains("UTC")) << text.toStdString();
    EXPECT_EQ(text, text.trimmed());
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

// Every caption must be readable in full with the font the forms use here
// (the labels' and the panel's: the shared cases).
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
