#include "FormLayout.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QFont>
#include <QPointer>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QStyleFactory>
#include <QWidget>

namespace zalohy {

// The font a form's widget is drawn with: its own design font mapped to one
// that exists here, or else its parent's.
static void mapFormFont(QWidget* widget, const QFont& inherited) {
    QFont font = inherited;
    const QFont own = widget->font();
    if (widget->testAttribute(Qt::WA_SetFont) && own.family() == QLatin1String("MS Sans Serif") &&
        own.pointSize() > 0) {
        // 8 points of the original are 10 pixels high on screen, 10 points 12.
        font.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("Arial"), QStringLiteral("DejaVu Sans")});
        font.setPixelSize(own.pointSize() * 5 / 4);
    }
    // Set on every widget: the application's style sheet would otherwise
    // give controls without a font of their own the application's font.
    widget->setFont(font);
    for (QObject* child : widget->children())
        if (child->isWidgetType()) mapFormFont(static_cast<QWidget*>(child), font);
}

void useFormFonts(QWidget* form) { mapFormFont(form, form->font()); }

void useClassicScrollBars(QAbstractScrollArea* log) {
    // One style for every log, gone with the application.
    static QPointer<QStyle> classic;
    if (!classic) {
        classic = QStyleFactory::create(QStringLiteral("Windows"));
        if (!classic) return;
        classic->setParent(qApp);
    }
    log->verticalScrollBar()->setStyle(classic);
    log->horizontalScrollBar()->setStyle(classic);
}

void centreOnScreen(QWidget* window) {
    QScreen* screen = window->screen();
    if (!screen) return;
    const QRect area = screen->availableGeometry();
    const QSize frame = window->frameGeometry().size();
    window->move(area.x() + (area.width() - frame.width()) / 2, area.y() + (area.height() - frame.height()) / 2);
}

Anchors::Anchors(QWidget* form, QSize designClientSize) : form_(form), design_(designClientSize) {}

void Anchors::add(QWidget* control, int edges) { entries_.push_back({control, control->geometry(), edges}); }

void Anchors::apply() {
    const int dx = form_->width() - design_.width();
    const int dy = form_->height() - design_.height();
    for (const Entry& e : entries_) {
        QRect r = e.design;
        if (e.edges & Right) {
            if (e.edges & Left) r.setWidth(e.design.width() + dx);
            else r.moveLeft(e.design.left() + dx);
        }
        if (e.edges & Bottom) {
            if (e.edges & Top) r.setHeight(e.design.height() + dy);
            else r.moveTop(e.design.top() + dy);
        }
        e.control->setGeometry(r);
    }
}

}  // namespace zalohy
