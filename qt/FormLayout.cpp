#include "FormLayout.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QCheckBox>
#include <QFont>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStatusBar>
#include <QStyle>
#include <QStyleFactory>
#include <QWidget>

// The pictures are compiled into this library.
static void initPictures() { Q_INIT_RESOURCE(zalohy); }

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

namespace {

QFont designFont(int points) {
    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif")});
    font.setPointSize(points);
    return font;
}

QString picturePath(Picture picture) {
    switch (picture) {
    case Picture::Backup: return QStringLiteral(":/pictures/backup.xpm");
    case Picture::Send: return QStringLiteral(":/pictures/send.xpm");
    case Picture::Exit: return QStringLiteral(":/pictures/exit.xpm");
    case Picture::None: break;
    }
    return {};
}

QWidget* makeWidget(const ControlDesign& c, QWidget* parent) {
    const QString caption = QString::fromUtf8(c.caption);
    switch (c.kind) {
    case ControlKind::Button: {
        auto* button = new QPushButton(caption, parent);
        button->setAutoDefault(false);
        if (c.picture != Picture::None) {
            initPictures();
            button->setIcon(QIcon(picturePath(c.picture)));
            button->setIconSize(QSize(32, 32));
        }
        return button;
    }
    case ControlKind::CheckBox: return new QCheckBox(caption, parent);
    case ControlKind::GroupBox: return new QGroupBox(caption, parent);
    case ControlKind::Edit: return new QLineEdit(caption, parent);
    case ControlKind::Memo:
    case ControlKind::WideMemo: {
        auto* memo = new QPlainTextEdit(parent);
        memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        if (c.kind == ControlKind::WideMemo) {
            memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
            memo->setLineWrapMode(QPlainTextEdit::NoWrap);
        }
        memo->setReadOnly(true);
        useClassicScrollBars(memo);
        return memo;
    }
    case ControlKind::Label: return new QLabel(caption, parent);
    case ControlKind::Panel: {
        auto* panel = new QLabel(caption, parent);
        panel->setFrameShape(QFrame::Panel);
        panel->setFrameShadow(QFrame::Raised);
        panel->setLineWidth(1);
        panel->setAlignment(Qt::AlignCenter);
        return panel;
    }
    case ControlKind::StatusBar: {
        auto* bar = new QStatusBar(parent);
        bar->setSizeGripEnabled(false);
        return bar;
    }
    }
    throw std::logic_error("unknown control kind");
}

}  // namespace

FormWidgets::FormWidgets(QWidget* window, const FormDesign& design) : window_(window), design_(design) {
    window->resize(design.clientWidth, design.clientHeight);
    if (*design.caption) window->setWindowTitle(QString::fromUtf8(design.caption));
    window->setFont(designFont(8));
    // Made in tab order, which Qt's focus chain then follows.
    for (const ControlDesign& c : design.controls) {
        QWidget* w = makeWidget(c, c.parent == Control::Window ? window : widget(c.parent));
        w->setObjectName(QLatin1String(controlName(c.name)));
        w->setGeometry(c.x, c.y, c.width, c.height);
        if (c.points != 8) w->setFont(designFont(c.points));
        widgets_.push_back(w);
    }
    useFormFonts(window);
    // The first control of the tab order has the focus when the window opens.
    for (std::size_t i = 0; i < widgets_.size(); ++i)
        if (design.controls[i].flags & TabStop) {
            widgets_[i]->setFocus();
            break;
        }
    if (design.resizable) {
        window->setMinimumSize(window->size());
    } else {
        window->setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                               Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
        window->setFixedSize(window->size());
    }
}

QWidget* FormWidgets::widget(Control control) const {
    if (control == Control::Window) return window_;
    for (std::size_t i = 0; i < widgets_.size(); ++i)
        if (design_.controls[i].name == control) return widgets_[i];
    throw std::logic_error(std::string("the form has no control ") + controlName(control));
}

void FormWidgets::applyAnchors() {
    const int dx = window_->width() - design_.clientWidth;
    const int dy = window_->height() - design_.clientHeight;
    for (std::size_t i = 0; i < widgets_.size(); ++i) {
        const ControlDesign& c = design_.controls[i];
        if (c.parent != Control::Window) continue;
        const PlaceRect r = anchoredPlace({c.x, c.y, c.x + c.width, c.y + c.height}, c.flags, dx, dy);
        widgets_[i]->setGeometry(r.left, r.top, r.right - r.left, r.bottom - r.top);
    }
}

}  // namespace zalohy
