// The program's three windows, described once for every front end: each
// form's caption, client size and border, and each control's name, kind,
// place and size (pixels at 96 DPI, in its parent's client area), caption,
// anchors, picture, font size and group box. The table order is the tab
// order. The Qt and the Win32 front ends make their controls from these
// tables; the console front end and the tests' fake window take the list of
// a form's controls from them.
//
// The dialogs' logic names controls through Control, so a misspelt name does
// not compile; a port refuses a control its form does not have.
#pragma once

#include <span>

namespace zalohy {

// Every control name of the three forms, each once: a name two forms share
// (the address box, the log, the kinds' check boxes) is a control of each.
#define ZALOHY_CONTROLS(X)                                                                                  \
    X(BitBtn1) X(MakeBackupBtn) X(SendBackupToScaleBtn) X(Panel1) X(Label1) X(Label2) X(Label3)             \
    X(EditScaleNumber) X(EdFileName) X(GroupBox1) X(CheckBoxFormaty) X(CheckBoxTexty) X(CheckBoxShopName)   \
    X(CheckBoxPresety) X(CheckBoxPlu) X(CheckBoxImg) X(Memo1) X(StatusBar1) X(EndBtn) X(SaveToArchive)      \
    X(SendFormatBtn) X(SendByList) X(BackBtn) X(FileSelectBtn)

enum class Control : unsigned char {
    Window,  // the form itself: its caption is the window's title
#define ZALOHY_CONTROL_ENUMERATOR(name) name,
    ZALOHY_CONTROLS(ZALOHY_CONTROL_ENUMERATOR)
#undef ZALOHY_CONTROL_ENUMERATOR
};

// The control's name in its form ("EditScaleNumber"); "" for Window.
const char* controlName(Control control);

// Edges a control keeps its distance to when its form is resized.
enum Anchor : int { Left = 1, Top = 2, Right = 4, Bottom = 8 };
// A control the Tab key stops at.
inline constexpr int TabStop = 16;
// A button that closes its form, as the title bar's close button does.
inline constexpr int Closes = 32;

enum class ControlKind {
    Button,     // push button, with a picture when the design names one
    CheckBox,
    GroupBox,
    Edit,       // one-line edit box
    Memo,       // read-only multi-line text box, vertical scroll bar
    WideMemo,   // the same, lines not wrapped, both scroll bars
    Label,      // static text, at least as wide as its text
    Panel,      // raised panel with a centred caption; reports clicks
    StatusBar,  // one text for the whole bar
};

// The pictures of resources/ a button may show, 32 pixels square at 96 DPI.
enum class Picture { None, Backup, Send, Exit };

struct ControlDesign {
    Control name;
    ControlKind kind;
    int x, y, width, height;
    const char* caption;              // UTF-8
    int flags = Left | Top;           // Anchor values, TabStop and Closes
    Picture picture = Picture::None;
    int points = 8;                   // font size ("MS Sans Serif")
    Control parent = Control::Window; // the group box holding the control
};

struct FormDesign {
    const char* caption;            // UTF-8
    int clientWidth, clientHeight;  // at 96 DPI
    bool resizable;                 // a sizing border, never below the design size; else fixed, minimise only
    std::span<const ControlDesign> controls;  // in tab order

    // The control of this name, or nullptr when the form has none.
    const ControlDesign* find(Control control) const;
};

// A control's edges in its parent's client area.
struct PlaceRect {
    int left, top, right, bottom;
};
// Where a control whose design place is design (already scaled to the
// screen) sits in a form dx wider and dy higher than designed: an edge it is
// anchored to keeps its distance; anchored to neither side, it keeps its size.
PlaceRect anchoredPlace(PlaceRect design, int flags, int dx, int dy);

namespace forms {

// In tab order; the panel and the label take no focus.
inline constexpr ControlDesign kMainWindowControls[] = {
    {Control::BitBtn1, ControlKind::Button, 195, 120, 130, 57, "Konec", Left | Top | TabStop, Picture::Exit},
    {Control::MakeBackupBtn, ControlKind::Button, 19, 16, 130, 57, "Zálohy", Left | Top | TabStop, Picture::Backup},
    {Control::SendBackupToScaleBtn, ControlKind::Button, 195, 16, 130, 57, "Odeslat ", Left | Top | TabStop,
     Picture::Send},
    {Control::Panel1, ControlKind::Panel, 19, 120, 129, 57, "00:00:00"},
    {Control::Label1, ControlKind::Label, 96, 192, 156, 13, "© Servis vah, Praha 2026"},
};

inline constexpr int kTab = Left | Top | TabStop;

// In tab order; the check boxes' captions come from the kinds' table.
inline constexpr ControlDesign kBackupDialogControls[] = {
    {Control::EndBtn, ControlKind::Button, 48, 232, 75, 25, "Zpět", kTab | Closes},
    {Control::SaveToArchive, ControlKind::Button, 48, 200, 75, 25, "Ulož", kTab},
    {Control::Memo1, ControlKind::Memo, 176, 32, 277, 233, "", Left | Top | Right | Bottom | TabStop},
    {Control::EditScaleNumber, ControlKind::Edit, 8, 32, 153, 21, "192.168.5.2", kTab},
    {Control::GroupBox1, ControlKind::GroupBox, 8, 64, 153, 129, "Soubory pro zálohy"},
    {Control::CheckBoxFormaty, ControlKind::CheckBox, 16, 16, 97, 17, "", kTab, {}, 8, Control::GroupBox1},
    {Control::CheckBoxTexty, ControlKind::CheckBox, 16, 32, 97, 17, "", kTab, {}, 8, Control::GroupBox1},
    {Control::CheckBoxShopName, ControlKind::CheckBox, 16, 48, 97, 17, "", kTab, {}, 8, Control::GroupBox1},
    {Control::CheckBoxPresety, ControlKind::CheckBox, 16, 64, 97, 17, "", kTab, {}, 8, Control::GroupBox1},
    {Control::CheckBoxPlu, ControlKind::CheckBox, 16, 80, 97, 17, "", kTab, {}, 8, Control::GroupBox1},
    {Control::CheckBoxImg, ControlKind::CheckBox, 16, 96, 97, 17, "", kTab, {}, 8, Control::GroupBox1},
    {Control::Label1, ControlKind::Label, 8, 16, 74, 13, "IP adresa  váhy"},
    {Control::Label2, ControlKind::Label, 176, 16, 47, 13, "Informace"},
};

// In tab order. The window's caption and some controls' captions are set by
// the dialog's creation handler; these are the design's.
inline constexpr ControlDesign kSendDialogControls[] = {
    {Control::EditScaleNumber, ControlKind::Edit, 16, 256, 153, 21, "192.168.5.2", kTab},
    {Control::SendFormatBtn, ControlKind::Button, 56, 304, 75, 25, "SendFormatBtn", kTab},
    {Control::BackBtn, ControlKind::Button, 359, 301, 75, 25, "BackBtn", Right | Bottom | TabStop | Closes},
    {Control::GroupBox1, ControlKind::GroupBox, 16, 48, 161, 169, "GroupBox1"},
    {Control::CheckBoxFormaty, ControlKind::CheckBox, 16, 16, 97, 17, "", kTab, {}, 8, Control::GroupBox1},
    {Control::CheckBoxPresety, ControlKind::CheckBox, 16, 88, 97, 17, "", kTab, {}, 8, Control::GroupBox1},
    {Control::CheckBoxTexty, ControlKind::CheckBox, 16, 40, 97, 17, "", kTab, {}, 8, Control::GroupBox1},
    {Control::CheckBoxShopName, ControlKind::CheckBox, 16, 64, 97, 17, "", kTab, {}, 8, Control::GroupBox1},
    {Control::CheckBoxPlu, ControlKind::CheckBox, 16, 112, 97, 17, "", kTab, {}, 8, Control::GroupBox1},
    {Control::CheckBoxImg, ControlKind::CheckBox, 16, 136, 97, 17, "", kTab, {}, 8, Control::GroupBox1},
    {Control::EdFileName, ControlKind::Edit, 16, 24, 281, 21, "", kTab},
    {Control::FileSelectBtn, ControlKind::Button, 304, 24, 75, 25, "...", kTab},
    {Control::Memo1, ControlKind::WideMemo, 184, 56, 243, 222, "", Left | Top | Right | Bottom | TabStop},
    {Control::SendByList, ControlKind::Button, 231, 301, 75, 25, "Na seznam", Right | Bottom | TabStop},
    {Control::Label3, ControlKind::Label, 16, 8, 70, 13, "Záložní soubor"},
    {Control::Label1, ControlKind::Label, 16, 232, 90, 16, "IP adresa váhy", Left | Top, {}, 10},
    {Control::StatusBar1, ControlKind::StatusBar, 0, 340, 435, 19, "", Left | Right | Bottom},
};

}  // namespace forms

inline constexpr FormDesign kMainWindowForm{"Zálohování dat SM90/300/500 ETH v.1.4.", 351, 216, false,
                                            forms::kMainWindowControls};
inline constexpr FormDesign kBackupDialogForm{"Zálohování  datových souborů vah SM80SX/90/300/500", 461, 265, true,
                                              forms::kBackupDialogControls};
inline constexpr FormDesign kSendDialogForm{"", 435, 359, true, forms::kSendDialogControls};

}  // namespace zalohy
