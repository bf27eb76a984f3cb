// How the forms are laid out on screen: their design font mapped to one that
// exists here, controls anchored to the edges of a resizable form, and a
// window placed at the centre of its screen.
#pragma once

#include <QRect>
#include <QSize>

#include <vector>

class QWidget;

namespace zalohy {

// The forms are designed in 8-point "MS Sans Serif", a bitmap font that is
// not here. Gives the form and every control with a font of its own a close
// font that exists here, at the pixel size the original draws.
void useFormFonts(QWidget* form);

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
