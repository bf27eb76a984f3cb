// How the forms are made and laid out on screen: the widgets of a form made
// from its description (Forms.h), their design font mapped to one that
// exists here, controls anchored to the edges of a resizable form, and a
// window placed at the centre of its screen.
#pragma once

#include "Forms.h"

#include <QAbstractButton>
#include <QRect>

#include <stdexcept>
#include <string>
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

// The widgets of one form, made on window from the form's description in its
// tab order, each named as its control. A form that cannot be resized gets a
// fixed border with minimise only; one that can is never smaller than
// designed.
class FormWidgets {
public:
    FormWidgets(QWidget* window, const FormDesign& design);

    // The widget of a control; throws std::logic_error when the form has none
    // or it is of another kind.
    QWidget* widget(Control control) const;
    template <class T>
    T* get(Control control) const {
        auto* found = qobject_cast<T*>(widget(control));
        if (!found) throw std::logic_error(std::string("the control ") + controlName(control) + " is of another kind");
        return found;
    }

    // Connects a button's clicks to a handler that lives as long as context.
    template <class Context, class Handler>
    void onClick(Control button, Context* context, Handler handler) const {
        QObject::connect(get<QAbstractButton>(button), &QAbstractButton::clicked, context, handler);
    }

    // Keeps anchored controls at their design distances from the window's
    // edges; call from the window's resize event.
    void applyAnchors();

private:
    QWidget* window_;
    FormDesign design_;
    std::vector<QWidget*> widgets_;  // in the description's order
};

}  // namespace zalohy
