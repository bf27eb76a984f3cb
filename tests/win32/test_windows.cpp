// What is the Win32 windows' own: where every control sits, the tab order,
// modal showing, texts through the window port, anchoring, a change of DPI,
// input dropped during a run, and the boxes. The runs themselves are the run
// core's tests. Message boxes and file dialogs are answered through their
// seam; nothing here reaches a scale.
#include "FileIo.h"
#include "ScaleCommand.h"
#include "ScratchFolder.h"
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

// A control's rectangle in its parent's client area.
RECT placeOf(HWND control) {
    RECT r;
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&r), 2);
    return r;
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
    zalohy::win32::Form& form(const std::string& name) {
        if (name == "main") return *window;
        if (name == "backup") return *save;
        return *send;
    }
};

TEST_F(Windows, mainWindow_hasItsTitleAFixedBorderAndA351x216ClientArea) {
    RECT client;
    GetClientRect(window->hwnd(), &client);
    EXPECT_EQ(client.right, 351);
    EXPECT_EQ(client.bottom, 216);
    EXPECT_EQ(textOf(window->hwnd()), "Zálohování dat SM90/300/500 ETH v.1.4.");
    const auto style = GetWindowLongPtrW(window->hwnd(), GWL_STYLE);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_FALSE(style & WS_THICKFRAME);
    // Both dialogs have a sizing border and open at their design client size.
    for (auto* dialog : std::initializer_list<zalohy::win32::Form*>{save.get(), send.get()}) {
        EXPECT_TRUE(GetWindowLongPtrW(dialog->hwnd(), GWL_STYLE) & WS_THICKFRAME);
        EXPECT_EQ(GetWindow(dialog->hwnd(), GW_OWNER), window->hwnd());
    }
    GetClientRect(save->hwnd(), &client);
    EXPECT_EQ(client.right, 461);
    EXPECT_EQ(client.bottom, 265);
    GetClientRect(send->hwnd(), &client);
    EXPECT_EQ(client.right, 435);
    EXPECT_EQ(client.bottom, 359);
}

TEST_F(Windows, everyControlSitsWhereTheFormPutsIt) {
    struct Place {
        const char* form;
        const char* control;
        int x, y, width, height;
    };
    // Check boxes are placed in their group box.
    const Place places[] = {
        {"main", "MakeBackupBtn", 19, 16, 130, 57},      {"main", "SendBackupToScaleBtn", 195, 16, 130, 57},
        {"main", "BitBtn1", 195, 120, 130, 57},          {"main", "Panel1", 19, 120, 129, 57},
        {"main", "Label1", 96, 192, 156, 13},            {"backup", "Label1", 8, 16, 74, 13},
        {"backup", "EditScaleNumber", 8, 32, 153, 21},   {"backup", "GroupBox1", 8, 64, 153, 129},
        {"backup", "CheckBoxFormaty", 16, 16, 97, 17},   {"backup", "CheckBoxTexty", 16, 32, 97, 17},
        {"backup", "CheckBoxShopName", 16, 48, 97, 17},  {"backup", "CheckBoxPresety", 16, 64, 97, 17},
        {"backup", "CheckBoxPlu", 16, 80, 97, 17},       {"backup", "CheckBoxImg", 16, 96, 97, 17},
        {"backup", "SaveToArchive", 48, 200, 75, 25},    {"backup", "EndBtn", 48, 232, 75, 25},
        {"backup", "Label2", 176, 16, 47, 13},           {"backup", "Memo1", 176, 32, 277, 233},
        {"send", "Label3", 16, 8, 70, 13},               {"send", "EdFileName", 16, 24, 281, 21},
        {"send", "FileSelectBtn", 304, 24, 75, 25},      {"send", "GroupBox1", 16, 48, 161, 169},
        {"send", "CheckBoxFormaty", 16, 16, 97, 17},     {"send", "CheckBoxTexty", 16, 40, 97, 17},
        {"send", "CheckBoxShopName", 16, 64, 97, 17},    {"send", "CheckBoxPresety", 16, 88, 97, 17},
        {"send", "CheckBoxPlu", 16, 112, 97, 17},        {"send", "CheckBoxImg", 16, 136, 97, 17},
        {"send", "Memo1", 184, 56, 243, 222},            {"send", "Label1", 16, 232, 90, 16},
        {"send", "EditScaleNumber", 16, 256, 153, 21},   {"send", "SendFormatBtn", 56, 304, 75, 25},
        {"send", "SendByList", 231, 301, 75, 25},        {"send", "BackBtn", 359, 301, 75, 25},
        {"send", "StatusBar1", 0, 340, 435, 19},
    };
    for (const Place& p : places) {
        SCOPED_TRACE(std::string(p.form) + "/" + p.control);
        HWND control = form(p.form).control(p.control);
        const RECT r = placeOf(control);
        EXPECT_EQ(r.left, p.x);
        EXPECT_EQ(r.top, p.y);
        EXPECT_EQ(r.bottom - r.top, p.height);
        if (std::string(p.control).rfind("Label", 0) != 0) {
            EXPECT_EQ(r.right - r.left, p.width);
            continue;
        }
        // A label grows to its text when the font here is wider than the design's.
        EXPECT_GE(r.right - r.left, p.width);
        HDC dc = GetDC(control);
        SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0)));
        const std::wstring text = wide(textOf(control));
        SIZE needed{};
        GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &needed);
        ReleaseDC(control, dc);
        EXPECT_LE(needed.cx, r.right - r.left);
        EXPECT_LE(needed.cy, r.bottom - r.top + 1);
    }
}

TEST_F(Windows, tabOrderFollowsTheForms) {
    auto order = [](zalohy::win32::Form& f) {
        std::vector<std::string> names;
        HWND first = GetNextDlgTabItem(f.hwnd(), nullptr, FALSE);
        for (HWND w = first; w && names.size() < 20; w = GetNextDlgTabItem(f.hwnd(), w, FALSE)) {
            names.emplace_back(f.controlName(w));
            if (GetNextDlgTabItem(f.hwnd(), w, FALSE) == first) break;
        }
        return names;
    };
    using Names = std::vector<std::string>;
    EXPECT_EQ(order(*window), (Names{"BitBtn1", "MakeBackupBtn", "SendBackupToScaleBtn"}));
    EXPECT_EQ(order(*save), (Names{"EndBtn", "SaveToArchive", "Memo1", "EditScaleNumber", "CheckBoxFormaty",
                                   "CheckBoxTexty", "CheckBoxShopName", "CheckBoxPresety", "CheckBoxPlu",
                                   "CheckBoxImg"}));
    EXPECT_EQ(order(*send), (Names{"EditScaleNumber", "SendFormatBtn", "BackBtn", "CheckBoxFormaty",
                                   "CheckBoxPresety", "CheckBoxTexty", "CheckBoxShopName", "CheckBoxPlu",
                                   "CheckBoxImg", "EdFileName", "FileSelectBtn", "Memo1", "SendByList"}));
}

TEST_F(Windows, captionsComeFromTheKindsTableAndTheCreationHandler) {
    EXPECT_EQ(send->controlText(""), "Odeslání formátů a textů do váhy");
    EXPECT_EQ(send->controlText("GroupBox1"), "Výběr souborů");
    EXPECT_EQ(send->controlText("SendFormatBtn"), "Odeslat");
    EXPECT_EQ(send->controlText("BackBtn"), "Zpět");
    EXPECT_EQ(send->controlText("CheckBoxImg"), "Image");
    EXPECT_EQ(save->controlText("CheckBoxImg"), "Image soubor");
    EXPECT_EQ(save->controlText("CheckBoxPresety"), "Rychloklávesy");
    EXPECT_EQ(save->controlText(""), "Zálohování  datových souborů vah SM80SX/90/300/500");
    // The address box holds what the settings say (none here: the default).
    EXPECT_EQ(save->editText("EditScaleNumber"), "192.168.5.8");
}

TEST_F(Windows, textsKeepCzechLettersAndLineBreaks) {
    send->setEditText("EdFileName", "C:\\Users\\Jiří\\zálohy.zal");
    EXPECT_EQ(send->editText("EdFileName"), "C:\\Users\\Jiří\\zálohy.zal");
    send->clearLog();
    send->addLine("");
    send->addLine("Nepodařilo se\nvše");
    send->addLine("máte zazálohované!");
    EXPECT_EQ(send->controlText("Memo1"), "\r\nNepodařilo se\r\nvše\r\nmáte zazálohované!");
    send->clearLog();
    send->addLine("první");
    EXPECT_EQ(send->controlText("Memo1"), "první");
    // After a long line the next one is shown from its start.
    send->addLine("Z:\\" + std::string(300, 'x') + "\\scale.zal");
    send->addLine("SM127.0.0.2F34.dat");
    EXPECT_EQ(GetScrollPos(send->control("Memo1"), SB_HORZ), 0);
    send->setStatus("Komuniační klídek");
    EXPECT_EQ(send->controlText("StatusBar1"), "Komuniační klídek");
    EXPECT_THROW(send->editText("Memo1"), std::logic_error);
    EXPECT_THROW(send->setChecked("NoSuchBox", true), std::logic_error);
}

TEST_F(Windows, anchoredControlsFollowTheEdgesWhenResized) {
    const RECT memoBefore = placeOf(save->control("Memo1"));
    const RECT buttonBefore = placeOf(save->control("SaveToArchive"));
    RECT outer;
    GetWindowRect(save->hwnd(), &outer);
    SetWindowPos(save->hwnd(), nullptr, 0, 0, outer.right - outer.left + 100, outer.bottom - outer.top + 60,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    const RECT memo = placeOf(save->control("Memo1"));
    EXPECT_EQ(memo.left, memoBefore.left);
    EXPECT_EQ(memo.right, memoBefore.right + 100);
    EXPECT_EQ(memo.bottom, memoBefore.bottom + 60);
    EXPECT_EQ(placeOf(save->control("SaveToArchive")).top, buttonBefore.top);

    GetWindowRect(send->hwnd(), &outer);
    SetWindowPos(send->hwnd(), nullptr, 0, 0, outer.right - outer.left + 40, outer.bottom - outer.top + 30,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    const RECT back = placeOf(send->control("BackBtn"));
    EXPECT_EQ(back.left, 359 + 40);
    EXPECT_EQ(back.top, 301 + 30);
    const RECT bar = placeOf(send->control("StatusBar1"));
    EXPECT_EQ(bar.top, 340 + 30);
    EXPECT_EQ(bar.right - bar.left, 435 + 40);
    EXPECT_EQ(placeOf(send->control("SendFormatBtn")).top, 304);

    // Never smaller than designed when the user drags the border.
    MINMAXINFO limits{};
    SendMessageW(send->hwnd(), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
    RECT design{0, 0, 435, 359};
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
    const RECT button = placeOf(window->control("MakeBackupBtn"));
    EXPECT_EQ(button.left, 29);
    EXPECT_EQ(button.top, 24);
    EXPECT_EQ(button.right, 224);
    EXPECT_EQ(button.bottom, 110);
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(window->control("Label1"), WM_GETFONT, 0, 0)), sizeof font, &font);
    EXPECT_EQ(font.lfHeight, -16);  // 8 points at 144 DPI
    EXPECT_EQ(std::wstring(font.lfFaceName), L"MS Sans Serif");
    ICONINFO icon{};
    ASSERT_TRUE(GetIconInfo(reinterpret_cast<HICON>(SendMessageW(window->control("BitBtn1"), BM_GETIMAGE, IMAGE_ICON, 0)),
                            &icon));
    BITMAP mask{};
    GetObjectW(icon.hbmMask, sizeof mask, &mask);
    EXPECT_EQ(mask.bmWidth, 48);
    DeleteObject(icon.hbmMask);
    if (icon.hbmColor) DeleteObject(icon.hbmColor);
}

TEST_F(Windows, panelClick_onlyWarnsEveryTime) {
    window->show();
    for (int i = 0; i < 2; ++i) click(window->control("Panel1"));
    pump(200, [&] { return boxes.shown.size() >= 2; });
    ASSERT_EQ(boxes.shown.size(), 2u);
    for (const MessageBoxCall& box : boxes.shown) {
        EXPECT_EQ(box.text, "Tady si nic nevyklikáš!");
        EXPECT_EQ(box.caption, "895té Vážné varování");
        EXPECT_EQ(box.flags, unsigned(MB_OK | MB_ICONWARNING));
        EXPECT_EQ(box.owner, window->hwnd());
    }
    EXPECT_TRUE(IsWindowVisible(window->hwnd()));
}

TEST_F(Windows, clockShowsZerosUntilTheFirstTickThenTheTimeOfDay) {
    EXPECT_EQ(window->controlText("Panel1"), "00:00:00");
    pump(3000, [&] { return window->controlText("Panel1") != "00:00:00"; });
    SYSTEMTIME now;
    GetLocalTime(&now);
    const std::string shown = window->controlText("Panel1");
    EXPECT_NE(shown, "00:00:00");
    // The same format as the user's long time; within two seconds of now.
    bool matches = false;
    for (int back = 0; back <= 2 && !matches; ++back) {
        FILETIME t;
        SystemTimeToFileTime(&now, &t);
        ULARGE_INTEGER v{{t.dwLowDateTime, t.dwHighDateTime}};
        v.QuadPart -= static_cast<ULONGLONG>(back) * 10000000ULL;
        t = {v.LowPart, v.HighPart};
        SYSTEMTIME earlier;
        FileTimeToSystemTime(&t, &earlier);
        matches = longTimeText(earlier) == shown;
    }
    EXPECT_TRUE(matches) << shown;
}

TEST_F(Windows, backupButtonShowsTheOneDialogModally_andClosingWritesTheSettings) {
    for (int i = 0; i < 2; ++i) {
        bool wasModal = false;
        runSoon([&] {
            wasModal = IsWindowVisible(save->hwnd()) && !IsWindowEnabled(window->hwnd()) && save->isShownModally();
            if (i == 0) save->setEditText("EditScaleNumber", "127.0.0.2");
            SendMessageW(save->control("EndBtn"), BM_CLICK, 0, 0);
        });
        SendMessageW(window->control("MakeBackupBtn"), BM_CLICK, 0, 0);  // returns once closed
        EXPECT_TRUE(wasModal);
        EXPECT_FALSE(IsWindowVisible(save->hwnd()));
        EXPECT_TRUE(IsWindowEnabled(window->hwnd()));
    }
    // Creation ran once: the address typed is still there; closing wrote it.
    EXPECT_EQ(save->editText("EditScaleNumber"), "127.0.0.2");
    EXPECT_NE(test::readFile(dir / "Skladex.ini").find("IP_ADDRESS=127.0.0.2"), std::string::npos);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(Windows, sendButtonShowsTheSendDialogModally_andEscapeClosesIt) {
    bool wasModal = false;
    runSoon([&] {
        wasModal = IsWindowVisible(send->hwnd()) && send->isShownModally();
        SendMessageW(send->hwnd(), WM_COMMAND, IDCANCEL, 0);  // what Escape sends
    });
    SendMessageW(window->control("SendBackupToScaleBtn"), BM_CLICK, 0, 0);
    EXPECT_TRUE(wasModal);
    EXPECT_FALSE(IsWindowVisible(send->hwnd()));
    // The activation reset ran: the status line says the line is idle.
    EXPECT_EQ(send->controlText("StatusBar1"), "Komuniační klídek");
}

TEST_F(Windows, settingsThatCannotBeWritten_areReportedAndTheDialogClosesAnyway) {
    test::writeFile(dir / "Skladex.ini", "[SOUBOR_ZALOHY]\r\n");
    SetFileAttributesW((dir / "Skladex.ini").wstring().c_str(), FILE_ATTRIBUTE_READONLY);
    runSoon([&] { SendMessageW(save->hwnd(), WM_CLOSE, 0, 0); });
    SendMessageW(window->control("MakeBackupBtn"), BM_CLICK, 0, 0);
    SetFileAttributesW((dir / "Skladex.ini").wstring().c_str(), FILE_ATTRIBUTE_NORMAL);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_NE(boxes.shown[0].text.find("Skladex.ini"), std::string::npos) << boxes.shown[0].text;
    EXPECT_EQ(boxes.shown[0].caption, "Zalohovani dat vah DIGI ");
    EXPECT_EQ(boxes.shown[0].flags, unsigned(MB_OK | MB_ICONERROR));
    EXPECT_FALSE(IsWindowVisible(save->hwnd()));
    EXPECT_TRUE(IsWindowEnabled(window->hwnd()));
}

TEST_F(Windows, clicksDuringARun_areDroppedAndLaterOnesArrive) {
    save->show();
    HWND button = save->control("SaveToArchive");
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
    SendMessageW(send->control("FileSelectBtn"), BM_CLICK, 0, 0);
    ASSERT_EQ(boxes.asked.size(), 1u);
    const FileDialogCall& call = boxes.asked[0];
    EXPECT_EQ(call.owner, send->hwnd());
    EXPECT_EQ(call.request.mode, FileDialogRequest::Open);
    EXPECT_EQ(call.request.filterIndex, 0);
    EXPECT_EQ(fileio::toPath(call.request.directory), std::filesystem::current_path());
    // Label and pattern of each, NUL after each, one more NUL at the end.
    const wchar_t expected[] = L"Soubory zaloh (*.zal)\0*.zal\0V\x0161" L"echny soubory (*.*)\0*.*\0";
    EXPECT_EQ(fileDialogFilter(call.request.filters), std::wstring(expected, std::size(expected)));
}

// An error thrown by a handler is shown in the standard error box, and the
// window handles the next event as before.
TEST(WindowErrors, anErrorEscapingAHandler_isShownAndTheWindowGoesOn) {
    class Throwing : public zalohy::win32::Form {
    public:
        Throwing()
            : Form({"Test", 100, 40, false, {{"Boom", ControlKind::Button, 0, 0, 60, 25, "Boom", TabStop}}}, nullptr) {}
        int handled = 0;

    protected:
        void onCommand(const std::string&, int) override {
            if (++handled == 1) throw std::runtime_error("Unable to write to .\\x.ini");
        }
    } form;
    BoxRecorder boxes;
    SendMessageW(form.control("Boom"), BM_CLICK, 0, 0);
    SendMessageW(form.control("Boom"), BM_CLICK, 0, 0);
    EXPECT_EQ(form.handled, 2);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "Unable to write to .\\x.ini");
    EXPECT_EQ(boxes.shown[0].caption, "Zalohovani dat vah DIGI ");
    EXPECT_EQ(boxes.shown[0].flags, unsigned(MB_OK | MB_ICONERROR));
}

TEST(WindowBoxes, aBoxWithOnlyOk_countsAsOkHoweverItIsClosed) {
    Boxes::setMessageBoxHandler([](const MessageBoxCall&) { return IDCANCEL; });
    EXPECT_EQ(Boxes::messageBox(nullptr, "a", "b", MB_OK | MB_ICONWARNING), kIdOk);
    EXPECT_EQ(Boxes::messageBox(nullptr, "a", "b", MB_OKCANCEL | MB_ICONWARNING), kIdCancel);
    Boxes::setMessageBoxHandler({});
}

TEST(Startup, aLibraryThatCannotBeBound_isNamedWithTheReason) {
    BoxRecorder boxes;
    const LibraryBinding binding = ScaleLibrary::bindFile("C:\\nonexistent-folder\\TWSWTCP.DLL");
    ASSERT_FALSE(binding.ok);
    EXPECT_FALSE(reportLibraryBinding(binding));
    ASSERT_EQ(boxes.shown.size(), 1u);
    const std::string& text = boxes.shown[0].text;
    EXPECT_NE(text.find("C:\\nonexistent-folder\\TWSWTCP.DLL"), std::string::npos) << text;
    EXPECT_NE(text.find(binding.reason), std::string::npos) << text;
    EXPECT_EQ(text.find("%1"), std::string::npos) << text;
    EXPECT_EQ(boxes.shown[0].caption, "Zalohovani dat vah DIGI ");
    EXPECT_EQ(boxes.shown[0].flags, unsigned(MB_OK | MB_ICONERROR));
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
