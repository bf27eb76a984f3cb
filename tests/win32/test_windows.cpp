// What is the Win32 windows' own: where every control sits, the tab order,
// modal showing, texts through the window port, anchoring, a change of DPI,
// input dropped during a run, and the boxes. The runs themselves are the run
// core's tests. Message boxes and file dialogs are answered through their
// seam; nothing here reaches a scale.
#include "AtomicWrite.h"
#include "Platform.h"
#include "WorkingFiles.h"
#include "ScaleCommand.h"
#include "ScratchFolder.h"
#include "WindowCases.h"
#include "win32/Boxes.h"
#include "win32/Mwbackupscale.h"
#include "win32/Saveformat90.h"
#include "win32/Sendformat90.h"
#include "win32/Startup.h"
#include "win32/Text.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <deque>
#include <functional>
#include <memory>

using namespace zalohy;
using namespace zalohy::test;
using namespace zalohy::win32;

namespace {

// Answers every box and file dialog and keeps what was asked.
struct BoxRecorder {
    std::vector<MessageBoxCall> shown;
    std::vector<FileDialogCall> asked;
    BoxRecorder() {
        Boxes::setMessageBoxHandler([this](const MessageBoxCall& call) {
            shown.push_back(call);
            return kIdOk;
        });
        Boxes::setFileDialogHandler([this](const FileDialogCall& call) -> std::optional<std::string> {
            asked.push_back(call);
            return std::nullopt;  // cancelled
        });
    }
    ~BoxRecorder() {
        Boxes::setMessageBoxHandler({});
        Boxes::setFileDialogHandler({});
    }
};

// Delivers this thread's queued messages, for ms milliseconds or until done().
void pump(int ms = 0, const std::function<bool()>& done = {}) {
    const DWORD end = GetTickCount() + static_cast<DWORD>(ms);
    do {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) continue;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (done && done()) return;
        if (ms) Sleep(10);
    } while (static_cast<int>(end - GetTickCount()) > 0);
}

// Runs action once from the message loop that is running then (a modal one).
std::function<void()> pendingAction;
void CALLBACK runPendingAction(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    auto action = std::move(pendingAction);
    pendingAction = nullptr;
    if (action) action();
}
void runSoon(std::function<void()> action) {
    pendingAction = std::move(action);
    SetTimer(nullptr, 0, 50, &runPendingAction);
}

std::string textOf(HWND window) {
    wchar_t text[512];
    const int n = GetWindowTextW(window, text, 512);
    return utf8(std::wstring_view(text, static_cast<std::size_t>(n)));
}

void click(HWND button) {
    PostMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    PostMessageW(button, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
}

class Windows : public ::testing::Test {
protected:
    test::ScratchFolder dir{"zalohy-win32-", true};
    BoxRecorder boxes;
    std::unique_ptr<TMWBackup> window;
    std::unique_ptr<TSaveFormatDialog> save;
    std::unique_ptr<TSendFormatFrm> send;

    void SetUp() override {
        window = std::make_unique<TMWBackup>();
        save = std::make_unique<TSaveFormatDialog>(window->hwnd());
        send = std::make_unique<TSendFormatFrm>(window->hwnd(), save->logic());
        SaveFormatDialog = save.get();
        SendFormatFrm = send.get();
    }
    void TearDown() override {
        SaveFormatDialog = nullptr;
        SendFormatFrm = nullptr;
        send.reset();
        save.reset();
        window.reset();
        // The main window's end posts the quit that ends the program.
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {}
    }
    // Each window with the description it was made from.
    std::vector<std::pair<zalohy::win32::Form*, const FormDesign*>> forms() const {
        return {{window.get(), &kMainWindowForm}, {save.get(), &kBackupDialogForm}, {send.get(), &kSendDialogForm}};
    }

    // Win32's side of the cases both front ends share (WindowCases.h).
    static HWND handle(Form* form, Control c) { return c == Control::Window ? form->hwnd() : form->control(c); }
    static HWND parentOf(HWND control) { return GetParent(control); }
    // A control's rectangle in its parent's client area.
    static PlaceRect placeOf(HWND control) {
        RECT r;
        GetWindowRect(control, &r);
        MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&r), 2);
        return {r.left, r.top, r.right, r.bottom};
    }
    static std::pair<int, int> clientSize(Form* form) {
        RECT client;
        GetClientRect(form->hwnd(), &client);
        return {client.right, client.bottom};
    }
    static bool textFits(HWND control) {
        HDC dc = GetDC(control);
        SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0)));
        const std::wstring text = wide(textOf(control));
        SIZE needed{};
        GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &needed);
        ReleaseDC(control, dc);
        const PlaceRect r = placeOf(control);
        return needed.cx <= r.right - r.left && needed.cy <= r.bottom - r.top + 1;
    }
    static std::vector<std::string> tabOrder(Form* form) {
        std::vector<std::string> order;
        HWND first = GetNextDlgTabItem(form->hwnd(), nullptr, FALSE), w = first;
        do order.emplace_back(controlName(form->controlOf(w)));
        while ((w = GetNextDlgTabItem(form->hwnd(), w, FALSE)) != first && order.size() < 20);
        return order;
    }
    static std::string text(Form* form, Control c) { return form->controlText(c); }
    static bool waitFor(int ms, const std::function<bool()>& done) {
        pump(ms, done);
        return done();
    }
    static std::string timeText(int secondsAgo) {
        SYSTEMTIME now;
        GetLocalTime(&now);
        FILETIME t;
        SystemTimeToFileTime(&now, &t);
        ULARGE_INTEGER v{{t.dwLowDateTime, t.dwHighDateTime}};
        v.QuadPart -= static_cast<ULONGLONG>(secondsAgo) * 10000000ULL;
        t = {v.LowPart, v.HighPart};
        FileTimeToSystemTime(&t, &now);
        return longTimeText(now);
    }
    template <class WhileShown>
    bool pressShowsModally(Control button, Form* dialog, WhileShown whileShown) {
        bool modal = false;
        runSoon([&] {
            modal = IsWindowVisible(dialog->hwnd()) && !IsWindowEnabled(window->hwnd()) && dialog->isShownModally();
            whileShown();
        });
        press(window.get(), button);  // returns once closed
        return modal;
    }
    static void press(Form* form, Control button) { SendMessageW(form->control(button), BM_CLICK, 0, 0); }
    static void escape(Form* form) { SendMessageW(form->hwnd(), WM_COMMAND, IDCANCEL, 0); }  // what Escape sends
    bool backToTheMainWindow(Form* dialog) const {
        return !IsWindowVisible(dialog->hwnd()) && IsWindowEnabled(window->hwnd());
    }
};

INSTANTIATE_TYPED_TEST_SUITE_P(Win32, BothFrontEnds, Windows);

TEST_F(Windows, formsHaveTheDescribedClientSizeAndBorder) {
    EXPECT_EQ(textOf(window->hwnd()), kMainWindowForm.caption);
    const auto style = GetWindowLongPtrW(window->hwnd(), GWL_STYLE);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    for (auto [form, design] : forms()) {
        SCOPED_TRACE(design->caption);
        EXPECT_EQ((GetWindowLongPtrW(form->hwnd(), GWL_STYLE) & WS_THICKFRAME) != 0, design->resizable);
        if (form != window.get()) {
            EXPECT_EQ(GetWindow(form->hwnd(), GW_OWNER), window->hwnd());
        }
    }
}

TEST_F(Windows, captionsComeFromTheKindsTableAndTheCreationHandler) {
    EXPECT_EQ(send->controlText(Control::Window), "Odeslání formátů a textů do váhy");
    EXPECT_EQ(send->controlText(Control::GroupBox1), "Výběr souborů");
    EXPECT_EQ(send->controlText(Control::SendFormatBtn), "Odeslat");
    EXPECT_EQ(send->controlText(Control::BackBtn), "Zpět");
    EXPECT_EQ(send->controlText(Control::CheckBoxImg), "Image");
    EXPECT_EQ(save->controlText(Control::CheckBoxImg), "Image soubor");
    EXPECT_EQ(save->controlText(Control::CheckBoxPresety), "Rychloklávesy");
    EXPECT_EQ(save->controlText(Control::Window), "Zálohování  datových souborů vah SM80SX/90/300/500");
    // The address box holds what the settings say (none here: the default).
    EXPECT_EQ(save->editText(Control::EditScaleNumber), "192.168.5.8");
}

TEST_F(Windows, textsKeepCzechLettersAndLineBreaks) {
    send->setEditText(Control::EdFileName, "C:\\Users\\Jiří\\zálohy.zal");
    EXPECT_EQ(send->editText(Control::EdFileName), "C:\\Users\\Jiří\\zálohy.zal");
    send->clearLog();
    send->addLine("");
    send->addLine("Nepodařilo se\nvše");
    send->addLine("máte zazálohované!");
    EXPECT_EQ(send->controlText(Control::Memo1), "\r\nNepodařilo se\r\nvše\r\nmáte zazálohované!");
    send->clearLog();
    send->addLine("první");
    EXPECT_EQ(send->controlText(Control::Memo1), "první");
    // After a long line the next one is shown from its start.
    send->addLine("Z:\\" + std::string(300, 'x') + "\\scale.zal");
    send->addLine("SM127.0.0.2F34.dat");
    EXPECT_EQ(GetScrollPos(send->control(Control::Memo1), SB_HORZ), 0);
    send->setStatus("Komuniační klídek");
    EXPECT_EQ(send->controlText(Control::StatusBar1), "Komuniační klídek");
    EXPECT_THROW(send->editText(Control::Memo1), std::logic_error);
    EXPECT_THROW(send->setChecked(Control::EndBtn, true), std::logic_error);
}

TEST_F(Windows, anchoredControlsFollowTheEdgesWhenResized) {
    const PlaceRect memoBefore = placeOf(save->control(Control::Memo1));
    const PlaceRect buttonBefore = placeOf(save->control(Control::SaveToArchive));
    RECT outer;
    GetWindowRect(save->hwnd(), &outer);
    SetWindowPos(save->hwnd(), nullptr, 0, 0, outer.right - outer.left + 100, outer.bottom - outer.top + 60,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    const PlaceRect memo = placeOf(save->control(Control::Memo1));
    EXPECT_EQ(memo.left, memoBefore.left);
    EXPECT_EQ(memo.right, memoBefore.right + 100);
    EXPECT_EQ(memo.bottom, memoBefore.bottom + 60);
    EXPECT_EQ(placeOf(save->control(Control::SaveToArchive)).top, buttonBefore.top);

    const PlaceRect backBefore = placeOf(send->control(Control::BackBtn));
    const PlaceRect barBefore = placeOf(send->control(Control::StatusBar1));
    const PlaceRect sendBefore = placeOf(send->control(Control::SendFormatBtn));
    GetWindowRect(send->hwnd(), &outer);
    SetWindowPos(send->hwnd(), nullptr, 0, 0, outer.right - outer.left + 40, outer.bottom - outer.top + 30,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    const PlaceRect back = placeOf(send->control(Control::BackBtn));
    EXPECT_EQ(back.left, backBefore.left + 40);
    EXPECT_EQ(back.top, backBefore.top + 30);
    const PlaceRect bar = placeOf(send->control(Control::StatusBar1));
    EXPECT_EQ(bar.top, barBefore.top + 30);
    EXPECT_EQ(bar.right - bar.left, kSendDialogForm.clientWidth + 40);
    EXPECT_EQ(placeOf(send->control(Control::SendFormatBtn)).top, sendBefore.top);

    // Never smaller than designed when the user drags the border.
    MINMAXINFO limits{};
    SendMessageW(send->hwnd(), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
    RECT design{0, 0, kSendDialogForm.clientWidth, kSendDialogForm.clientHeight};
    AdjustWindowRectEx(&design, static_cast<DWORD>(GetWindowLongPtrW(send->hwnd(), GWL_STYLE)), FALSE, 0);
    EXPECT_EQ(limits.ptMinTrackSize.x, design.right - design.left);
    EXPECT_EQ(limits.ptMinTrackSize.y, design.bottom - design.top);
}

TEST_F(Windows, aScreenOfAnotherDpi_scalesTheLayoutTheFontAndThePictures) {
    RECT outer{0, 0, 527, 324};  // 351 x 216 at 150 %
    AdjustWindowRectEx(&outer, static_cast<DWORD>(GetWindowLongPtrW(window->hwnd(), GWL_STYLE)), FALSE, 0);
    SendMessageW(window->hwnd(), WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&outer));
    RECT client;
    GetClientRect(window->hwnd(), &client);
    EXPECT_EQ(client.right, 527);
    EXPECT_EQ(client.bottom, 324);
    const PlaceRect button = placeOf(window->control(Control::MakeBackupBtn));
    EXPECT_EQ(button.left, 29);
    EXPECT_EQ(button.top, 24);
    EXPECT_EQ(button.right, 224);
    EXPECT_EQ(button.bottom, 110);
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(window->control(Control::Label1), WM_GETFONT, 0, 0)), sizeof font, &font);
    EXPECT_EQ(font.lfHeight, -16);  // 8 points at 144 DPI
    EXPECT_EQ(std::wstring(font.lfFaceName), L"MS Sans Serif");
    ICONINFO icon{};
    ASSERT_TRUE(GetIconInfo(reinterpret_cast<HICON>(SendMessageW(window->control(Control::BitBtn1), BM_GETIMAGE, IMAGE_ICON, 0)),
                            &icon));
    BITMAP mask{};
    GetObjectW(icon.hbmMask, sizeof mask, &mask);
    EXPECT_EQ(mask.bmWidth, 48);
    DeleteObject(icon.hbmMask);
    if (icon.hbmColor) DeleteObject(icon.hbmColor);
}

TEST_F(Windows, clicksDuringARun_areDroppedAndLaterOnesArrive) {
    save->show();
    HWND button = save->control(Control::SaveToArchive);
    // Busy: a loop that takes messages meanwhile (a message box's) drops them.
    save->setBusy(true);
    click(button);
    pump();
    save->setBusy(false);
    pump();
    EXPECT_TRUE(boxes.asked.empty());
    // Clicks still queued when the run ends are dropped too.
    save->setBusy(true);
    click(button);
    save->setBusy(false);
    pump();
    EXPECT_TRUE(boxes.asked.empty());
    // Afterwards the button works: the run asks for the archive (cancelled).
    click(button);
    pump(200, [&] { return !boxes.asked.empty(); });
    ASSERT_EQ(boxes.asked.size(), 1u);
    EXPECT_EQ(boxes.asked[0].request.mode, FileDialogRequest::Save);
    EXPECT_EQ(boxes.asked[0].owner, save->hwnd());
}

TEST_F(Windows, archiveChoice_offersBothFiltersFromTheWorkingFolder) {
    SendMessageW(send->control(Control::FileSelectBtn), BM_CLICK, 0, 0);
    ASSERT_EQ(boxes.asked.size(), 1u);
    const FileDialogCall& call = boxes.asked[0];
    EXPECT_EQ(call.owner, send->hwnd());
    EXPECT_EQ(call.request.mode, FileDialogRequest::Open);
    EXPECT_EQ(call.request.filterIndex, 0);
    EXPECT_EQ(files::toPath(call.request.directory), std::filesystem::current_path());
    // Label and pattern of each, NUL after each, one more NUL at the end.
    const wchar_t expected[] = L"Soubory zaloh (*.zal)\0*.zal\0V\x0161" L"echny soubory (*.*)\0*.*\0";
    EXPECT_EQ(fileDialogFilter(call.request.filters), std::wstring(expected, std::size(expected)));
}

// The boxes of the table both front ends walk. After an error escaping a
// handler the window handles the next event as before; the dialog whose
// settings cannot be written closes all the same; no insert is left in the
// system's text of a library that cannot be bound.
class BoxCases : public Windows, public ::testing::WithParamInterface<test::WindowCase> {};

TEST_P(BoxCases, shownAsTheTableSays) {
    static constexpr ControlDesign kButton[] = {{Control::BitBtn1, ControlKind::Button, 0, 0, 60, 25, "Boom", TabStop}};
    struct Throwing : zalohy::win32::Form {
        Throwing() : Form({"Test", 100, 40, false, kButton}, nullptr) {}
        int handled = 0;
        void onCommand(Control, int) override {
            if (++handled == 1) throw std::runtime_error("Unable to write to x.ini");
        }
    };
    const std::string name = GetParam().name;
    if (name == "panelClickedTwice") {
        window->show();
        for (int i = 0; i < 2; ++i) click(window->control(Control::Panel1));
        pump(200, [&] { return boxes.shown.size() >= 2; });
        EXPECT_TRUE(IsWindowVisible(window->hwnd()));
        for (const MessageBoxCall& box : boxes.shown) EXPECT_EQ(box.owner, window->hwnd());
    } else if (name == "errorEscapingAHandler") {
        Throwing form;
        for (int i = 0; i < 2; ++i) SendMessageW(form.control(Control::BitBtn1), BM_CLICK, 0, 0);
        EXPECT_EQ(form.handled, 2);
    } else if (name == "settingsNotWritten") {
        test::writeFile(dir / "Skladex.ini", "[SOUBOR_ZALOHY]\r\n");
        SetFileAttributesW((dir / "Skladex.ini").wstring().c_str(), FILE_ATTRIBUTE_READONLY);
        runSoon([&] { SendMessageW(save->hwnd(), WM_CLOSE, 0, 0); });
        SendMessageW(window->control(Control::MakeBackupBtn), BM_CLICK, 0, 0);
        SetFileAttributesW((dir / "Skladex.ini").wstring().c_str(), FILE_ATTRIBUTE_NORMAL);
        EXPECT_TRUE(backToTheMainWindow(save.get()));
    } else if (name == "libraryNotBound") {
        const LibraryBinding binding = ScaleLibrary::bindFile("C:\\nonexistent-folder\\TWSWTCP.DLL");
        EXPECT_FALSE(reportLibraryBinding(binding) || binding.reason.empty());
        for (const MessageBoxCall& box : boxes.shown) {
            EXPECT_NE(box.text.find("C:\\nonexistent-folder\\TWSWTCP.DLL\n" + binding.reason), std::string::npos);
            EXPECT_EQ(box.text.find("%1"), std::string::npos) << box.text;
        }
    }
    test::expectBoxes(boxes.shown, GetParam(), [](const std::string& text) { return text; });
}

INSTANTIATE_TEST_SUITE_P(Table, BoxCases, ::testing::ValuesIn(test::kWindowCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(WindowBoxes, aBoxWithOnlyOk_countsAsOkHoweverItIsClosed) {
    Boxes::setMessageBoxHandler([](const MessageBoxCall&) { return IDCANCEL; });
    EXPECT_EQ(Boxes::messageBox(nullptr, "a", "b", MB_OK | MB_ICONWARNING), kIdOk);
    EXPECT_EQ(Boxes::messageBox(nullptr, "a", "b", MB_OKCANCEL | MB_ICONWARNING), kIdCancel);
    Boxes::setMessageBoxHandler({});
}

TEST(Startup, theApplicationWindowCarriesTheTitleAndOwnsTheMainWindow) {
    ApplicationWindow application;
    EXPECT_EQ(textOf(application.hwnd()), "Zalohovani dat vah DIGI ");
    TMWBackup window(application.hwnd());
    EXPECT_EQ(GetWindow(window.hwnd(), GW_OWNER), application.hwnd());
    EXPECT_FALSE(GetWindowLongPtrW(window.hwnd(), GWL_EXSTYLE) & WS_EX_APPWINDOW);
    window.show();
    DestroyWindow(window.hwnd());
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {}
}

}  // namespace
