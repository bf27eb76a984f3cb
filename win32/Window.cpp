#include "Window.h"

#include "Boxes.h"
#include "Text.h"
#include "resource.h"

#include <commctrl.h>

#include <algorithm>
#include <stdexcept>
#include <utility>

namespace zalohy::win32 {

namespace {

constexpr const wchar_t* kFormClass = L"ZalohyForm";
constexpr int kFirstControlId = 100;  // clear of IDOK and IDCANCEL
ATOM formAtom = 0;

// Per-monitor DPI functions exist from Windows 10 on; older systems have one
// DPI for every screen.
template <class Function>
Function user32Function(const char* name) {
    return reinterpret_cast<Function>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), name)));
}

int systemDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen) ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

int windowDpi(HWND hwnd) {
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow = user32Function<GetDpiForWindowFn>("GetDpiForWindow");
    if (getDpiForWindow) {
        const UINT dpi = getDpiForWindow(hwnd);
        if (dpi > 0) return static_cast<int>(dpi);
    }
    return systemDpi();
}

int iconOf(Picture picture) {
    switch (picture) {
    case Picture::Backup: return IDI_BACKUP;
    case Picture::Send: return IDI_SEND;
    case Picture::Exit: return IDI_EXIT;
    case Picture::None: break;
    }
    return 0;
}

bool isInput(UINT message) {
    return (message >= WM_KEYFIRST && message <= WM_KEYLAST) ||
           (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) ||
           (message >= WM_NCMOUSEMOVE && message <= WM_NCXBUTTONDBLCLK);
}

// The forms that are busy now, and the hook that drops their input.
std::vector<Form*>& busyForms() {
    static std::vector<Form*> forms;
    return forms;
}
HHOOK dropHook = nullptr;

bool belongsTo(HWND window, HWND form) { return window == form || IsChild(form, window); }

// Hands a message to its form's keyboard navigation, else dispatches it.
void dispatch(MSG& msg) {
    HWND top = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
    if (top && GetClassLongPtrW(top, GCW_ATOM) == formAtom && IsDialogMessageW(top, &msg)) return;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
}

}  // namespace

void initialiseWindows() {
    if (formAtom) return;
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &Form::windowProc;
    wc.hInstance = instance;
    wc.hIcon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_ZALOHY), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE));
    wc.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_ZALOHY), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kFormClass;
    formAtom = RegisterClassExW(&wc);
    if (!formAtom) throw std::runtime_error("RegisterClassExW failed");
}

int runMessageLoop() {
    MSG msg;
    BOOL got;
    while ((got = GetMessageW(&msg, nullptr, 0, 0)) != 0) {
        if (got == -1) return 1;
        dispatch(msg);
    }
    return static_cast<int>(msg.wParam);
}

Form::Form(const FormDesign& design, HWND owner) : design_(design) {
    initialiseWindows();
    for (const ControlDesign& c : design_.controls) controls_.push_back({c});
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU |
                        (design_.resizable ? WS_THICKFRAME : WS_MINIMIZEBOX);
    CreateWindowExW(0, kFormClass, wide(design_.caption).c_str(), style, CW_USEDEFAULT, CW_USEDEFAULT,
                    design_.clientWidth, design_.clientHeight, owner, nullptr, GetModuleHandleW(nullptr), this);
    if (!hwnd_) throw std::runtime_error("CreateWindowExW failed for a form");
    try {
        dpi_ = windowDpi(hwnd_);
        createControls();
        created_ = true;
        applyDpi(dpi_);
        const SIZE size = outerSize(design_.clientWidth, design_.clientHeight);
        SetWindowPos(hwnd_, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        layout();
    } catch (...) {
        // No destructor runs: the window must not outlive this object.
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);
        for (Item& c : controls_)
            if (c.icon) DestroyIcon(c.icon);
        for (HFONT font : fonts_) DeleteObject(font);
        throw;
    }
}

Form::~Form() {
    if (busy_) {
        auto& forms = busyForms();
        forms.erase(std::remove(forms.begin(), forms.end(), this), forms.end());
        if (forms.empty() && dropHook) {
            UnhookWindowsHookEx(dropHook);
            dropHook = nullptr;
        }
    }
    if (hwnd_) {
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);
    }
    for (Item& c : controls_)
        if (c.icon) DestroyIcon(c.icon);
    for (HFONT font : fonts_) DeleteObject(font);
}

void Form::createControls() {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    int id = kFirstControlId;
    for (Item& c : controls_) {
        DWORD style = WS_CHILD | WS_VISIBLE;
        DWORD exStyle = 0;
        const wchar_t* windowClass = L"BUTTON";
        switch (c.design.kind) {
        case ControlKind::Button: style |= BS_PUSHBUTTON; break;
        case ControlKind::CheckBox: style |= BS_AUTOCHECKBOX; break;
        case ControlKind::GroupBox:
            // Its check boxes are its children: Tab must find them inside.
            style |= BS_GROUPBOX;
            exStyle |= WS_EX_CONTROLPARENT;
            break;
        case ControlKind::Edit:
            windowClass = L"EDIT";
            style |= ES_AUTOHSCROLL;
            exStyle |= WS_EX_CLIENTEDGE;
            break;
        case ControlKind::Memo:
        case ControlKind::WideMemo:
            windowClass = L"EDIT";
            style |= ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_VSCROLL;
            if (c.design.kind == ControlKind::WideMemo) style |= ES_AUTOHSCROLL | WS_HSCROLL;
            exStyle |= WS_EX_CLIENTEDGE;
            break;
        case ControlKind::Label:
            windowClass = L"STATIC";
            style |= SS_LEFTNOWORDWRAP | SS_NOPREFIX;
            break;
        case ControlKind::Panel:
            windowClass = L"STATIC";
            style |= SS_OWNERDRAW | SS_NOTIFY;
            break;
        case ControlKind::StatusBar:
            // Placed by the layout like every other control.
            windowClass = STATUSCLASSNAMEW;
            style |= CCS_NORESIZE | CCS_NOPARENTALIGN | CCS_NODIVIDER;
            break;
        }
        if (c.design.flags & TabStop) style |= WS_TABSTOP;
        c.parent = c.design.parent != Control::Window ? find(c.design.parent).hwnd : hwnd_;
        c.hwnd = CreateWindowExW(exStyle, windowClass, wide(c.design.caption).c_str(), style, 0, 0, 0, 0, c.parent,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id++)), instance, nullptr);
        if (!c.hwnd) throw std::runtime_error(std::string("CreateWindowExW failed for ") + controlName(c.design.name));
        if (c.design.kind == ControlKind::Memo || c.design.kind == ControlKind::WideMemo)
            SendMessageW(c.hwnd, EM_SETLIMITTEXT, 0, 0);  // as long as the system allows
    }
}

int Form::scaled(int designPixels) const { return MulDiv(designPixels, dpi_, 96); }

void Form::applyDpi(int dpi) {
    dpi_ = dpi;
    std::vector<HFONT> old;
    old.swap(fonts_);
    fontPoints_.clear();
    auto fontOf = [this](int points) {
        for (std::size_t i = 0; i < fontPoints_.size(); ++i)
            if (fontPoints_[i] == points) return fonts_[i];
        LOGFONTW lf{};
        lf.lfHeight = -MulDiv(points, dpi_, 72);
        lf.lfWeight = FW_NORMAL;
        // The texts are Czech: the Central European letters of the font.
        lf.lfCharSet = EASTEUROPE_CHARSET;
        lf.lfQuality = DEFAULT_QUALITY;
        lstrcpynW(lf.lfFaceName, L"MS Sans Serif", LF_FACESIZE);
        HFONT font = CreateFontIndirectW(&lf);
        fonts_.push_back(font);
        fontPoints_.push_back(points);
        return font;
    };
    for (Item& c : controls_) {
        SendMessageW(c.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(fontOf(c.design.points)), FALSE);
        if (c.design.picture != Picture::None) {
            HICON icon = static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(iconOf(c.design.picture)),
                                                       IMAGE_ICON, scaled(32), scaled(32), 0));
            SendMessageW(c.hwnd, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(icon));
            if (c.icon) DestroyIcon(c.icon);
            c.icon = icon;
        }
    }
    for (HFONT font : old) DeleteObject(font);
}

SIZE Form::outerSize(int clientWidth, int clientHeight) const {
    RECT r{0, 0, scaled(clientWidth), scaled(clientHeight)};
    const auto style = static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_STYLE));
    const auto exStyle = static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_EXSTYLE));
    using AdjustForDpiFn = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
    static const auto adjustForDpi = user32Function<AdjustForDpiFn>("AdjustWindowRectExForDpi");
    if (!(adjustForDpi && adjustForDpi(&r, style, FALSE, exStyle, static_cast<UINT>(dpi_))))
        AdjustWindowRectEx(&r, style, FALSE, exStyle);
    return {r.right - r.left, r.bottom - r.top};
}

// The width a control's text takes in the control's font.
static int textWidth(HWND control) {
    const int length = GetWindowTextLengthW(control);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(control, text.data(), length + 1)));
    HDC dc = GetDC(control);
    if (!dc) return 0;
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0)));
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    return size.cx;
}

void Form::layout() {
    RECT client;
    if (!created_ || !GetClientRect(hwnd_, &client)) return;
    // How far the form is from its design size; anchored controls follow.
    const int dx = client.right - scaled(design_.clientWidth);
    const int dy = client.bottom - scaled(design_.clientHeight);
    HDWP batch = BeginDeferWindowPos(static_cast<int>(controls_.size()));
    for (const Item& c : controls_) {
        const ControlDesign& s = c.design;
        // Edges are scaled, not sizes, so that neighbours stay neighbours.
        PlaceRect r{scaled(s.x), scaled(s.y), scaled(s.x + s.width), scaled(s.y + s.height)};
        // A label is as wide as its text needs at least, so that a font a
        // little wider than the design's never cuts it off.
        if (s.kind == ControlKind::Label) r.right = std::max(r.right, r.left + textWidth(c.hwnd));
        // A group box's controls keep their place in it.
        if (s.parent == Control::Window) r = anchoredPlace(r, s.flags, dx, dy);
        if (batch)
            batch = DeferWindowPos(batch, c.hwnd, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                                   SWP_NOZORDER | SWP_NOACTIVATE);
        else
            SetWindowPos(c.hwnd, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                         SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (batch) EndDeferWindowPos(batch);
}

void Form::centreOnScreen() {
    HWND owner = GetWindow(hwnd_, GW_OWNER);
    HMONITOR monitor = MonitorFromWindow(owner && IsWindowVisible(owner) ? owner : hwnd_, MONITOR_DEFAULTTOPRIMARY);
    MONITORINFO info{};
    info.cbSize = sizeof info;
    RECT window;
    if (!GetMonitorInfoW(monitor, &info) || !GetWindowRect(hwnd_, &window)) return;
    const RECT& work = info.rcWork;
    const int width = window.right - window.left, height = window.bottom - window.top;
    SetWindowPos(hwnd_, nullptr, work.left + (work.right - work.left - width) / 2,
                 work.top + (work.bottom - work.top - height) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Form::focusFirstControl() {
    HWND first = GetNextDlgTabItem(hwnd_, nullptr, FALSE);
    if (first) SetFocus(first);
}

void Form::show() {
    centreOnScreen();
    ShowWindow(hwnd_, SW_SHOW);
    UpdateWindow(hwnd_);
}

void Form::showModal() {
    if (modal_) return;
    HWND owner = GetWindow(hwnd_, GW_OWNER);
    if (handlers_) guarded([this] { handlers_->FormActivate(); });
    centreOnScreen();
    modal_ = true;
    focused_ = nullptr;
    const bool ownerWasEnabled = owner && IsWindowEnabled(owner);
    if (ownerWasEnabled) EnableWindow(owner, FALSE);
    ShowWindow(hwnd_, SW_SHOW);
    MSG msg;
    while (modal_) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            // The program is ending: leave the quit for the outer loop.
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (got == -1) break;
        dispatch(msg);
    }
    modal_ = false;
    // The owner is enabled before this window hides, so that it, and not
    // another program, becomes the active window.
    if (ownerWasEnabled) EnableWindow(owner, TRUE);
    if (hwnd_) ShowWindow(hwnd_, SW_HIDE);
    if (owner) SetActiveWindow(owner);
}

void Form::close() {
    if (busy_ || closing_) return;
    if (!modal_) {
        ShowWindow(hwnd_, SW_HIDE);
        return;
    }
    // Every way of closing (the button, the title bar, Escape) passes here.
    // An error while closing (a settings file that cannot be written) is
    // shown, and the window closes all the same, so the user is never
    // trapped in it.
    closing_ = true;
    if (handlers_) guarded([this] { handlers_->FormClose(); });
    closing_ = false;
    modal_ = false;
}

// --- Window port ---------------------------------------------------------

const Form::Item& Form::find(Control name) const {
    for (const Item& c : controls_)
        if (name == c.design.name) return c;
    throw std::logic_error(std::string("the form has no control ") + controlName(name));
}

HWND Form::control(Control name) const { return find(name).hwnd; }

Control Form::controlOf(HWND control) const {
    for (const Item& c : controls_)
        if (c.hwnd == control) return c.design.name;
    return Control::Window;
}

static std::string windowText(HWND hwnd) {
    const int length = GetWindowTextLengthW(hwnd);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int got = GetWindowTextW(hwnd, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(got > 0 ? got : 0));
    return utf8(text);
}

std::string Form::controlText(Control name) const {
    if (name == Control::Window) return windowText(hwnd_);
    const Item& c = find(name);
    if (c.design.kind == ControlKind::StatusBar) {
        const auto length = LOWORD(SendMessageW(c.hwnd, SB_GETTEXTLENGTHW, 0, 0));
        std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
        SendMessageW(c.hwnd, SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(text.data()));
        text.resize(length);
        return utf8(text);
    }
    return windowText(c.hwnd);
}

static void requireKind(Control name, ControlKind kind, std::initializer_list<ControlKind> allowed) {
    for (ControlKind k : allowed)
        if (k == kind) return;
    throw std::logic_error(std::string("the control ") + controlName(name) + " is of another kind");
}

std::string Form::editText(Control edit) const {
    const Item& c = find(edit);
    requireKind(c.design.name, c.design.kind, {ControlKind::Edit});
    return windowText(c.hwnd);
}

void Form::setEditText(Control edit, const std::string& text) {
    const Item& c = find(edit);
    requireKind(c.design.name, c.design.kind, {ControlKind::Edit});
    SetWindowTextW(c.hwnd, wide(text).c_str());
}

bool Form::isChecked(Control box) const {
    const Item& c = find(box);
    requireKind(c.design.name, c.design.kind, {ControlKind::CheckBox});
    return SendMessageW(c.hwnd, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void Form::setChecked(Control box, bool ticked) {
    const Item& c = find(box);
    requireKind(c.design.name, c.design.kind, {ControlKind::CheckBox});
    SendMessageW(c.hwnd, BM_SETCHECK, ticked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void Form::setEnabled(Control box, bool enabled) { EnableWindow(find(box).hwnd, enabled ? TRUE : FALSE); }

void Form::setCaption(Control name, const std::string& text) {
    if (name == Control::Window) {
        SetWindowTextW(hwnd_, wide(text).c_str());
        return;
    }
    const Item& c = find(name);
    requireKind(c.design.name, c.design.kind,
                {ControlKind::Button, ControlKind::CheckBox, ControlKind::GroupBox, ControlKind::Label,
                 ControlKind::Panel});
    SetWindowTextW(c.hwnd, wide(text).c_str());
    if (c.design.kind == ControlKind::Panel) InvalidateRect(c.hwnd, nullptr, TRUE);
    if (c.design.kind == ControlKind::Label) layout();
}

void Form::clearLog() {
    SetWindowTextW(find(Control::Memo1).hwnd, L"");
    logLines_ = 0;
}

void Form::addLine(const std::string& line) {
    HWND memo = find(Control::Memo1).hwnd;
    std::wstring text = logLines_++ ? L"\r\n" : L"";
    text += wideWithCrLf(line);
    const int end = GetWindowTextLengthW(memo);
    SendMessageW(memo, EM_SETSEL, static_cast<WPARAM>(end), static_cast<LPARAM>(end));
    SendMessageW(memo, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
    // The caret to the start of the last line: the new line is in view and
    // a long line before it leaves the box scrolled back to the left.
    const LRESULT last = SendMessageW(memo, EM_GETLINECOUNT, 0, 0) - 1;
    const LRESULT start = SendMessageW(memo, EM_LINEINDEX, static_cast<WPARAM>(last), 0);
    SendMessageW(memo, EM_SETSEL, static_cast<WPARAM>(start), start);
    SendMessageW(memo, EM_SCROLLCARET, 0, 0);
}

void Form::setStatus(const std::string& text) {
    const Item& c = find(Control::StatusBar1);
    requireKind(c.design.name, c.design.kind, {ControlKind::StatusBar});
    SendMessageW(c.hwnd, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(wide(text).c_str()));
}

void Form::repaint() { RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN); }

int Form::messageBox(const std::string& text, const std::string& caption, unsigned flags) {
    return Boxes::messageBox(hwnd_, text, caption, flags);
}

std::optional<std::string> Form::chooseFile(const FileDialogRequest& request) {
    return Boxes::chooseFile(hwnd_, request);
}

// --- Busy ------------------------------------------------------------------

void Form::setBusy(bool busy) {
    if (busy == busy_) return;
    busy_ = busy;
    auto& forms = busyForms();
    if (busy) {
        forms.push_back(this);
        if (!dropHook) dropHook = SetWindowsHookExW(WH_GETMESSAGE, &Form::dropInputHook, nullptr, GetCurrentThreadId());
        SetCursor(LoadCursorW(nullptr, IDC_WAIT));
        return;
    }
    // Clicks and keys that reached the window during the run are dropped
    // now, not delivered afterwards.
    dropQueuedInput();
    forms.erase(std::remove(forms.begin(), forms.end(), this), forms.end());
    if (forms.empty() && dropHook) {
        UnhookWindowsHookEx(dropHook);
        dropHook = nullptr;
    }
    POINT at;
    if (GetCursorPos(&at) && belongsTo(WindowFromPoint(at), hwnd_)) SetCursor(LoadCursorW(nullptr, IDC_ARROW));
}

void Form::dropQueuedInput() {
    std::vector<HWND> windows{hwnd_};
    for (const Item& c : controls_) windows.push_back(c.hwnd);
    MSG msg;
    for (HWND w : windows) {
        while (PeekMessageW(&msg, w, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE | PM_NOYIELD)) {}
        while (PeekMessageW(&msg, w, WM_MOUSEFIRST, WM_MOUSELAST, PM_REMOVE | PM_NOYIELD)) {}
        while (PeekMessageW(&msg, w, WM_NCMOUSEMOVE, WM_NCXBUTTONDBLCLK, PM_REMOVE | PM_NOYIELD)) {}
    }
}

// Input for a busy form that a message box's own loop takes from the queue
// is turned into nothing before it is dispatched.
LRESULT CALLBACK Form::dropInputHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION && wParam == PM_REMOVE) {
        auto* msg = reinterpret_cast<MSG*>(lParam);
        if (msg->hwnd && isInput(msg->message))
            for (Form* form : busyForms())
                if (belongsTo(msg->hwnd, form->hwnd_)) {
                    msg->message = WM_NULL;
                    break;
                }
    }
    return CallNextHookEx(dropHook, code, wParam, lParam);
}

// --- Messages --------------------------------------------------------------

void Form::drawPanel(const DRAWITEMSTRUCT& item) {
    RECT r = item.rcItem;
    FillRect(item.hDC, &r, GetSysColorBrush(COLOR_BTNFACE));
    DrawEdge(item.hDC, &r, BDR_RAISEDINNER, BF_RECT);
    const std::wstring text = wide(windowText(item.hwndItem));
    HGDIOBJ oldFont = SelectObject(item.hDC, reinterpret_cast<HGDIOBJ>(SendMessageW(item.hwndItem, WM_GETFONT, 0, 0)));
    SetBkMode(item.hDC, TRANSPARENT);
    SetTextColor(item.hDC, GetSysColor(COLOR_BTNTEXT));
    DrawTextW(item.hDC, text.c_str(), static_cast<int>(text.size()), &r,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(item.hDC, oldFont);
}

bool Form::onMessage(UINT, WPARAM, LPARAM, LRESULT&) { return false; }

void Form::onCommand(Control control, int code) {
    if (code != BN_CLICKED) return;
    if (find(control).design.flags & Closes) close();
    else if (handlers_) guarded([&] { handlers_->clicked(control); });
}

LRESULT CALLBACK Form::windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* form = static_cast<Form*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        form->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    auto* form = reinterpret_cast<Form*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!form) return DefWindowProcW(hwnd, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        form->hwnd_ = nullptr;
        form->modal_ = false;
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    // No error may cross the system's code: it is shown here and the
    // program goes on.
    try {
        return form->handle(message, wParam, lParam);
    } catch (const std::exception& e) {
        showApplicationError(e.what());
    } catch (...) {
        showApplicationError(std::string());
    }
    return 0;
}

LRESULT Form::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (onMessage(message, wParam, lParam, result)) return result;
    switch (message) {
    case WM_COMMAND:
        if (lParam) {
            const Control name = controlOf(reinterpret_cast<HWND>(lParam));
            if (name != Control::Window) onCommand(name, HIWORD(wParam));
        } else if (LOWORD(wParam) == IDCANCEL && modal_) {
            close();  // Escape
        }
        return 0;
    case WM_CLOSE:
        close();
        return 0;
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE) {
            HWND focus = GetFocus();
            if (focus && IsChild(hwnd_, focus)) focused_ = focus;
        } else if (!HIWORD(wParam)) {
            if (focused_ && IsWindow(focused_) && IsWindowEnabled(focused_) && IsChild(hwnd_, focused_))
                SetFocus(focused_);
            else
                focusFirstControl();
        }
        return 0;
    case WM_SETCURSOR:
        if (busy_) {
            SetCursor(LoadCursorW(nullptr, IDC_WAIT));
            return TRUE;
        }
        break;
    case WM_SIZE:
        layout();
        return 0;
    case WM_GETMINMAXINFO:
        if (design_.resizable && created_) {
            // Never smaller than designed.
            const SIZE least = outerSize(design_.clientWidth, design_.clientHeight);
            auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
            info->ptMinTrackSize = {least.cx, least.cy};
            return 0;
        }
        break;
    case WM_DPICHANGED: {
        applyDpi(LOWORD(wParam));
        const auto* suggested = reinterpret_cast<const RECT*>(lParam);
        SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                     suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
        layout();
        return 0;
    }
    case WM_DRAWITEM: {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (item->CtlType == ODT_STATIC) {
            drawPanel(*item);
            return TRUE;
        }
        break;
    }
    case WM_CTLCOLORSTATIC: {
        // The read-only text boxes stay white like an edit box.
        const Control name = controlOf(reinterpret_cast<HWND>(lParam));
        const ControlKind kind = name == Control::Window ? ControlKind::Label : find(name).design.kind;
        if (kind == ControlKind::Memo || kind == ControlKind::WideMemo) {
            auto dc = reinterpret_cast<HDC>(wParam);
            SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
            SetBkColor(dc, GetSysColor(COLOR_WINDOW));
            return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
        }
        break;
    }
    default:
        break;
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

}  // namespace zalohy::win32
