// How the forms are laid out on screen: their design font mapped to one that
// exists here, controls anchored to the edges of a resizable form, and a
// window placed at the centre of its screen.
#pragma once

#include <QRect>
#include <QSize>

#include <vector>

class QAbstractScrollArea;
class QWidget;

namespace zalohy {

// The forms are designed in 8-point "MS Sans Serif", a bitmap font that is
// not here. Gives the form and every control with a font of its own a close
// font that exists here, at the pixel size the original draws.
void useFormFonts(QWidget* form);

// Draws the scroll bars of a run's log in the classic Windows look. They
// change with nearly every line a run writes and are drawn before each
// transfer; Fusion's gradients, which Qt fills through its thread pool, made
// them the costliest part of that drawing.
void useClassicScrollBars(QAbstractScrollArea* log);

// Places a top-level window at the centre of its screen.
void centreOnScreen(QWidget* window);

// Keeps controls at fixed distances from the edges of a resizable form, as at
// design time. Call apply() from the form's resize event.
class Anchors {
public:
    enum Edge { Left = 1, Top = 2, Right = 4, Bottom = 8 };
    Anchors(QWidget* form, QSize designClientSize);
    void add(QWidget* control, int edges);
    void apply();

private:
    struct Entry {
        QWidget* control;
        QRect design;
        int edges;
    };
    QWidget* form_;
    QSize design_;
    std::vector<Entry> entries_;
};

}  // namespace zalohy
