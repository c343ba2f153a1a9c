#include "FormConventions.h"
#include "util/Texts.h"

#include <QAbstractSpinBox>
#include <algorithm>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QPalette>
#include <QPointer>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QHeaderView>
#include <QTableView>
#include <QTimer>
#include <QTranslator>

namespace vl::shell {

FormConventions* FormConventions::filter() {
    static FormConventions* f = new FormConventions();
    return f;
}

static bool isSingleLineEdit(QLineEdit* e) {
    QWidget* p = e->parentWidget();
    return !(qobject_cast<QComboBox*>(p) || qobject_cast<QAbstractSpinBox*>(p));
}

FormConventions* FormConventions::install(QWidget* form) {
    const auto edits = form->findChildren<QLineEdit*>();
    for (QLineEdit* e : edits) watch(e);
    return filter();
}

void FormConventions::watch(QLineEdit* edit) {
    if (!edit || !isSingleLineEdit(edit)) return;
    if (edit->property("vlConventions").toBool()) return;
    edit->setProperty("vlConventions", true);
    edit->installEventFilter(filter());
}

void FormConventions::moveFocus(QWidget* from, bool forward) {
    // A Tab key sent to the widget takes the window's own tab order.
    QKeyEvent tab(QEvent::KeyPress, forward ? Qt::Key_Tab : Qt::Key_Backtab,
                  forward ? Qt::NoModifier : Qt::ShiftModifier);
    QApplication::sendEvent(from, &tab);
}

bool FormConventions::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(event);
        auto* w = qobject_cast<QWidget*>(watched);
        const auto mods = k->modifiers() & ~Qt::KeypadModifier;
        if (w && mods == Qt::NoModifier) {
            switch (k->key()) {
            case Qt::Key_Return:
            case Qt::Key_Enter:
            case Qt::Key_Down:
                moveFocus(w, true);
                return true;
            case Qt::Key_Up:
                moveFocus(w, false);
                return true;
            default:
                break;
            }
        }
    }
    return QObject::eventFilter(watched, event);
}

void FormConventions::setNumeric(QLineEdit* edit) {
    static const QRegularExpression digits(QStringLiteral("[0-9]*"));
    edit->setValidator(new QRegularExpressionValidator(digits, edit));
    edit->setProperty("vlNumeric", true);
}

void FormConventions::setRequired(QWidget* field, bool required) {
    field->setProperty("vlRequired", required);
    QPalette p = field->palette();
    if (required) {
        p.setColor(QPalette::Base, QColor(Qt::yellow));
    } else {
        p.setColor(QPalette::Base, QApplication::palette(field).color(QPalette::Base));
    }
    field->setPalette(p);
}

bool FormConventions::isRequired(const QWidget* field) {
    return field->property("vlRequired").toBool();
}

void FormConventions::setModeCaption(QLabel* label, const QString& mode) {
    label->setText(vl::util::ModeCaption(mode));
    label->setProperty("vlMode", mode);
}

// ------------------------------------------------------------------ screen fit

static QMargins frameMarginsOf(const QWidget* w) {
    // A window that has been shown knows its frame; one that has not yet
    // gets the frame of any other window on the screen.
    auto margins = [](const QWidget* x) {
        const QRect outer = x->frameGeometry();
        const QRect inner = x->geometry();
        return QMargins(inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
                        outer.bottom() - inner.bottom());
    };
    if (w->isVisible() && w->testAttribute(Qt::WA_WState_Created)) {
        const QMargins m = margins(w);
        if (m.left() >= 0 && m.top() >= 0 && (m.top() > 0 || m.left() > 0)) return m;
    }
    for (QWidget* o : QApplication::topLevelWidgets()) {
        if (o == w || !o->isVisible() || o->windowType() == Qt::Popup || o->windowType() == Qt::ToolTip) continue;
        const QMargins m = margins(o);
        if (m.left() >= 0 && m.top() >= 0 && m.top() < 100 && m.left() < 50) return m;
    }
    return {};
}

QRect FormConventions::availableArea(const QWidget* window) {
    QScreen* s = nullptr;
    if (window) {
        // The screen under the window's centre, else the one it was made on.
        s = QGuiApplication::screenAt(window->frameGeometry().center());
        if (!s) s = window->screen();
    }
    if (!s) s = QGuiApplication::primaryScreen();
    return s ? s->availableGeometry() : QRect();
}

QRect FormConventions::fittedGeometry(const QRect& geometry, const QSize& minimum, const QMargins& m,
                                      const QRect& area) {
    if (!area.isValid()) return geometry;
    // The largest client area whose frame still fits.
    const QSize room(area.width() - m.left() - m.right(), area.height() - m.top() - m.bottom());
    QRect g = geometry;
    g.setSize(g.size().boundedTo(room).expandedTo(minimum.boundedTo(room)));
    // Shrunk at the right and bottom where the placement allows it.
    const int maxRight = area.right() - m.right();
    const int maxBottom = area.bottom() - m.bottom();
    if (g.right() > maxRight) g.setWidth(std::max(std::min(minimum.width(), room.width()), maxRight - g.left() + 1));
    if (g.bottom() > maxBottom)
        g.setHeight(std::max(std::min(minimum.height(), room.height()), maxBottom - g.top() + 1));
    // Then moved inside.
    if (g.right() > maxRight) g.moveRight(maxRight);
    if (g.bottom() > maxBottom) g.moveBottom(maxBottom);
    if (g.left() < area.left() + m.left()) g.moveLeft(area.left() + m.left());
    if (g.top() < area.top() + m.top()) g.moveTop(area.top() + m.top());
    return g;
}

namespace {

// Keeps a fitted window on the screen when its content grows later (a
// button shown for a caller, a long total, a filled list): after each layout
// change the fit is checked once more, from the event loop.
class ScreenFitKeeper : public QObject {
public:
    explicit ScreenFitKeeper(QWidget* w) : QObject(w), window_(w) {}
    bool eventFilter(QObject* o, QEvent* e) override
    {
        if (o == window_ && !pending_ && (e->type() == QEvent::Show || e->type() == QEvent::LayoutRequest || e->type() == QEvent::Resize)) {
            pending_ = true;
            QTimer::singleShot(0, this, [this] {
                pending_ = false;
                if (window_ && window_->isVisible()) FormConventions::fitToScreen(window_);
            });
        }
        return false;
    }

private:
    QPointer<QWidget> window_;
    bool pending_ = false;
};

} // namespace

void FormConventions::fitColumns(QTableView* grid, int maxWidth) {
    if (!grid || !grid->model()) return;
    QHeaderView* h = grid->horizontalHeader();
    for (int c = 0; c < grid->model()->columnCount(); ++c) {
        // The view's own measure of the cells (public on the base class).
        const int content = std::min(static_cast<const QAbstractItemView*>(grid)->sizeHintForColumn(c), maxWidth);
        const int title = h->isHidden() ? 0 : h->sectionSizeHint(c);
        h->resizeSection(c, std::max(content, title));
    }
}

void FormConventions::fitToScreen(QWidget* window) {
    if (!window) return;
    QWidget* w = window->window();
    if (!w->property("vlScreenFitKeeper").toBool()) {
        w->setProperty("vlScreenFitKeeper", true);
        w->installEventFilter(new ScreenFitKeeper(w));
    }
    if (w->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen | Qt::WindowMinimized)) return;
    const QRect area = availableArea(w);
    if (!area.isValid()) return;
    QSize minimum = w->minimumSize();
    if (w->layout() || minimum.isEmpty()) minimum = minimum.expandedTo(w->minimumSizeHint());
    const QRect now = w->geometry();
    const QRect fitted = fittedGeometry(now, minimum, frameMarginsOf(w), area);
    if (fitted == now) return;
    // A window whose content cannot become that small is allowed to: its
    // scroll areas take what is missing.
    if (fitted.width() < minimum.width() || fitted.height() < minimum.height())
        w->setMinimumSize(std::min(w->minimumWidth(), fitted.width()), std::min(w->minimumHeight(), fitted.height()));
    w->setGeometry(fitted);
}

QWidget* FormConventions::dialogParent() {
    if (QWidget* m = QApplication::activeModalWidget()) return m;
    if (QWidget* a = QApplication::activeWindow()) return a;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QStringLiteral("Tmain_pkrfm") && w->isVisible()) return w;
    return nullptr;
}

bool FormConventions::installQtTranslations(QCoreApplication* app) {
    if (!app) return false;
    static QPointer<QTranslator> qt;
    if (qt) return true;
    auto* t = new QTranslator(app);
    const QString dir = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!t->load(QStringLiteral("qtbase_hu"), dir)) {
        delete t;
        return false;
    }
    QCoreApplication::installTranslator(t);
    qt = t;
    return true;
}

} // namespace vl::shell
