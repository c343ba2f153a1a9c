#include "FormConventions.h"
#include "util/Texts.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <algorithm>
#include <QAction>
#include <QBoxLayout>
#include <QGridLayout>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QPalette>
#include <QPointer>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QAbstractItemDelegate>
#include <QHeaderView>
#include <QTableView>
#include <array>
#include <QFontMetrics>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTimer>
#include <QTranslator>

#include <functional>

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
    installStandardKeys(form);
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

void FormConventions::setSearchBox(QLineEdit* edit) {
    if (!edit) return;
    edit->setProperty("vlSearchBox", true);
    watch(edit);
}

static bool isSearchBox(const QLineEdit* e) {
    return e->property("vlSearchBox").toBool() || e->objectName() == QLatin1String("e_keres");
}

// ------------------------------------------------------------------ standard keys

namespace {

using Role = FormConventions::KeyRole;

// The object names that have always carried the roles.
Role roleByName(const QObject* o) {
    static const QHash<QString, Role> names = {
        {QStringLiteral("b_vissza"), Role::Back},       {QStringLiteral("B_vissza"), Role::Back},
        {QStringLiteral("Vissza"), Role::Back},         {QStringLiteral("m_vissza"), Role::Back},
        {QStringLiteral("mi_vissza"), Role::Back},
        {QStringLiteral("b_tarol"), Role::Store},       {QStringLiteral("b_tarolas"), Role::Store},
        {QStringLiteral("b_post"), Role::Store},        {QStringLiteral("b_ugyfeltar"), Role::Store},
        {QStringLiteral("b_cimtar"), Role::Store},      {QStringLiteral("b_cimtarol"), Role::Store},
        {QStringLiteral("b_tarolcsop"), Role::Store},   {QStringLiteral("b_tarolkabin"), Role::Store},
        {QStringLiteral("b_insert"), Role::New},        {QStringLiteral("b_uj"), Role::New},
        {QStringLiteral("b_ujugyfel"), Role::New},      {QStringLiteral("b_ujcim"), Role::New},
        {QStringLiteral("b_addcsop"), Role::New},
        {QStringLiteral("b_frissit"), Role::Reload},    {QStringLiteral("m_frissit"), Role::Reload},
        {QStringLiteral("frissit"), Role::Reload},
        {QStringLiteral("b_delete"), Role::Delete},     {QStringLiteral("b_torol"), Role::Delete},
        {QStringLiteral("b_torles"), Role::Delete},     {QStringLiteral("b_ugyfeltorles"), Role::Delete},
        {QStringLiteral("b_cimtorles"), Role::Delete},  {QStringLiteral("b_torolkab"), Role::Delete},
        {QStringLiteral("b_torolcsop"), Role::Delete},  {QStringLiteral("b_toroltev"), Role::Delete},
        {QStringLiteral("b_torfiz"), Role::Delete},
    };
    const auto it = names.constFind(o->objectName());
    if (it != names.constEnd()) return *it;
    // A search button that loads the list ("Betöltés") reloads it.
    if (o->objectName() == QLatin1String("b_keres"))
        if (auto* b = qobject_cast<const QAbstractButton*>(o))
            if (b->text().remove(QLatin1Char('&')).startsWith(QStringLiteral("Betölt"))) return Role::Reload;
    return Role::None;
}

QString plainText(QString t) {
    t.remove(QLatin1Char('&'));
    return t.section(QLatin1Char('\t'), 0, 0).trimmed();
}

bool usable(const QObject* c, const QWidget* window) {
    if (auto* b = qobject_cast<const QAbstractButton*>(c)) return b->window() == window && b->isEnabled() && b->isVisibleTo(window);
    if (auto* a = qobject_cast<const QAction*>(c)) return a->isEnabled() && a->isVisible();
    return false;
}

// How close two widgets are: the depth of their nearest common ancestor.
int closeness(const QWidget* a, const QWidget* b) {
    if (!a || !b) return 0;
    QList<const QWidget*> chain;
    for (const QWidget* x = a; x; x = x->isWindow() ? nullptr : x->parentWidget()) chain.prepend(x);
    QList<const QWidget*> other;
    for (const QWidget* x = b; x; x = x->isWindow() ? nullptr : x->parentWidget()) other.prepend(x);
    int n = 0;
    while (n < chain.size() && n < other.size() && chain[n] == other[n]) ++n;
    return n;
}

template <class W>
W* nearest(const QList<W*>& candidates, const QWidget* to) {
    W* best = nullptr;
    int bestScore = -1;
    for (W* c : candidates) {
        const int score = closeness(c, to);
        if (score > bestScore) {
            best = c;
            bestScore = score;
        }
    }
    return best;
}

// The focus after a store: the list of the part the store button was in,
// else its new-row button; never a delete button.
void focusAfterStore(QWidget* storeButton) {
    QWidget* window = storeButton->window();
    QWidget* fw = window->focusWidget();
    if (fw && FormConventions::keyRole(fw) != Role::Delete) return;
    QList<QAbstractItemView*> views;
    for (QAbstractItemView* v : window->findChildren<QAbstractItemView*>())
        if (v->isVisibleTo(window) && v->isEnabled() && (v->focusPolicy() & Qt::TabFocus)) views << v;
    if (QAbstractItemView* v = nearest(views, storeButton)) {
        v->setFocus(Qt::OtherFocusReason);
        return;
    }
    QList<QAbstractButton*> news;
    for (QAbstractButton* b : window->findChildren<QAbstractButton*>())
        if (FormConventions::keyRole(b) == Role::New && usable(b, window)) news << b;
    if (QAbstractButton* b = nearest(news, storeButton)) b->setFocus(Qt::OtherFocusReason);
    else if (fw) fw->clearFocus();
}

class StandardKeys : public QObject {
public:
    explicit StandardKeys(QWidget* window) : QObject(window), window_(window) {}

    bool eventFilter(QObject* o, QEvent* e) override {
        if (o == window_ && e->type() == QEvent::KeyPress) return keyPress(static_cast<QKeyEvent*>(e));
        // A store button that goes away hands the focus on: while the form
        // sets its buttons after the store, a delete button that gets the
        // focus passes it to the list.
        if (o == window_) return false;
        auto* b = qobject_cast<QAbstractButton*>(o);
        if (!b) return false;
        const Role role = FormConventions::keyRole(b);
        if (role == Role::Store && (e->type() == QEvent::EnabledChange || e->type() == QEvent::Hide)
            && (!b->isEnabled() || !b->isVisible()) && b->window() == window_ && window_->isVisible()) {
            leavingStore_ = b;
            focusAfterStore(b);
            QTimer::singleShot(0, this, [this] {
                if (leavingStore_) focusAfterStore(leavingStore_);
                leavingStore_ = nullptr;
            });
        } else if (role == Role::Delete && e->type() == QEvent::FocusIn && leavingStore_) {
            focusAfterStore(leavingStore_);
        }
        return false;
    }

    void watchButton(QAbstractButton* b) {
        if (b->property("vlKeysWatched").toBool()) return;
        b->setProperty("vlKeysWatched", true);
        b->installEventFilter(this);
    }

private:
    bool keyPress(QKeyEvent* k) {
        const auto mods = k->modifiers() & ~Qt::KeypadModifier;
        Role role = Role::None;
        if (mods == Qt::NoModifier && k->key() == Qt::Key_Escape) role = Role::Back;
        else if (mods == Qt::ControlModifier && k->key() == Qt::Key_S) role = Role::Store;
        else if (mods == Qt::ControlModifier && k->key() == Qt::Key_N) role = Role::New;
        else if (mods == Qt::NoModifier && k->key() == Qt::Key_F5) role = Role::Reload;
        if (role == Role::None) return false;
        // Without a button of its role the key goes on (a dialog's Esc rejects it).
        QObject* c = FormConventions::controlFor(window_, role);
        if (!c) return false;
        if (auto* b = qobject_cast<QAbstractButton*>(c)) {
            if (role == Role::Store || role == Role::New) b->setFocus(Qt::ShortcutFocusReason);
            b->click();
        } else if (auto* a = qobject_cast<QAction*>(c)) {
            a->trigger();
        }
        k->accept();
        return true;
    }

    QPointer<QWidget> window_;
    QPointer<QAbstractButton> leavingStore_;
};

} // namespace

FormConventions::KeyRole FormConventions::keyRole(const QObject* control) {
    if (!control) return KeyRole::None;
    const QVariant v = control->property("vlKeyRole");
    if (v.isValid()) return static_cast<KeyRole>(v.toInt());
    return roleByName(control);
}

void FormConventions::setKeyRole(QObject* control, KeyRole role) {
    if (control) control->setProperty("vlKeyRole", static_cast<int>(role));
}

QString FormConventions::keyText(KeyRole role) {
    switch (role) {
    case KeyRole::Back: return QStringLiteral("Esc");
    case KeyRole::Store: return QStringLiteral("Ctrl+S");
    case KeyRole::New: return QStringLiteral("Ctrl+N");
    case KeyRole::Reload: return QStringLiteral("F5");
    default: return {};
    }
}

QObject* FormConventions::controlFor(QWidget* window, KeyRole role) {
    if (!window || role == KeyRole::None) return nullptr;
    window = window->window();
    QList<QAbstractButton*> buttons;
    for (QAbstractButton* b : window->findChildren<QAbstractButton*>())
        if (keyRole(b) == role && usable(b, window)) buttons << b;
    QWidget* fw = window->focusWidget();
    if (QAbstractButton* b = nearest(buttons, fw ? fw : window)) return b;
    for (QAction* a : window->findChildren<QAction*>())
        if (keyRole(a) == role && usable(a, window)) return a;
    return nullptr;
}

void FormConventions::installStandardKeys(QWidget* form) {
    if (!form) return;
    QWidget* window = form->window();
    auto* keys = static_cast<StandardKeys*>(window->property("vlStandardKeys").value<QObject*>());
    if (!keys) {
        keys = new StandardKeys(window);
        window->setProperty("vlStandardKeys", QVariant::fromValue<QObject*>(keys));
        window->installEventFilter(keys);
    }
    // The buttons tell their key.
    const auto hint = [](QObject* c, const QString& text, const QString& tip) -> QString {
        const KeyRole role = keyRole(c);
        if (role == KeyRole::None || role == KeyRole::Delete || c->property("vlKeyHint").toBool()) return {};
        c->setProperty("vlKeyHint", true);
        const QString base = tip.isEmpty() ? plainText(text) : tip;
        return base.isEmpty() ? keyText(role) : base + QStringLiteral(" (") + keyText(role) + QLatin1Char(')');
    };
    for (QAbstractButton* b : window->findChildren<QAbstractButton*>()) {
        const QString tip = hint(b, b->text(), b->toolTip());
        if (!tip.isEmpty()) b->setToolTip(tip);
        if (keyRole(b) == KeyRole::Store || keyRole(b) == KeyRole::Delete) keys->watchButton(b);
    }
    for (QAction* a : window->findChildren<QAction*>()) {
        const QString tip = hint(a, a->text(), QString());
        if (!tip.isEmpty()) a->setToolTip(tip);
    }
}

void FormConventions::setLookupButton(QAbstractButton* button) {
    if (button) button->setFocusPolicy(Qt::ClickFocus);
}

void FormConventions::setTabOrderAsShown(QLayout* layout) {
    if (!layout) return;
    QList<QWidget*> order;
    std::function<void(QLayout*)> walk = [&](QLayout* l) {
        QList<std::pair<QPair<int, int>, QLayoutItem*>> items;
        auto* grid = qobject_cast<QGridLayout*>(l);
        for (int i = 0; i < l->count(); ++i) {
            QPair<int, int> pos(0, i);
            if (grid) {
                int r, c, rs, cs;
                grid->getItemPosition(i, &r, &c, &rs, &cs);
                pos = {r, c};
            }
            items.append({pos, l->itemAt(i)});
        }
        std::stable_sort(items.begin(), items.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
        for (const auto& it : items) {
            if (QWidget* w = it.second->widget()) {
                if (w->focusPolicy() & Qt::TabFocus) order << w;
                else if (w->layout()) walk(w->layout());
            } else if (QLayout* sub = it.second->layout()) {
                walk(sub);
            }
        }
    };
    walk(layout);
    for (int i = 1; i < order.size(); ++i) QWidget::setTabOrder(order[i - 1], order[i]);
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
                if (auto* e = qobject_cast<QLineEdit*>(w); e && isSearchBox(e)) {
                    // A search box hands on to its list, never to a button.
                    QWidget* window = e->window();
                    QList<QAbstractItemView*> views;
                    for (QAbstractItemView* v : window->findChildren<QAbstractItemView*>())
                        if (v->isVisibleTo(window) && v->isEnabled() && (v->focusPolicy() & Qt::TabFocus)) views << v;
                    if (QAbstractItemView* v = nearest(views, e)) v->setFocus(Qt::OtherFocusReason);
                    emit e->returnPressed();
                    return true;
                }
                moveFocus(w, true);
                return true;
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
    if (event->type() == QEvent::FocusIn) {
        // Tab passes over an edit that cannot be typed in.
        auto* f = static_cast<QFocusEvent*>(event);
        auto* e = qobject_cast<QLineEdit*>(watched);
        static int passing = 0;
        if (e && e->isReadOnly() && passing < 64
            && (f->reason() == Qt::TabFocusReason || f->reason() == Qt::BacktabFocusReason)) {
            ++passing;
            moveFocus(e, f->reason() == Qt::TabFocusReason);
            --passing;
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

static QMargins marginsOf(const QWidget* x) {
    const QRect outer = x->frameGeometry();
    const QRect inner = x->geometry();
    return QMargins(inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
                    outer.bottom() - inner.bottom());
}

static bool plausibleFrame(const QMargins& m) {
    return m.left() >= 0 && m.top() >= 0 && m.right() >= 0 && m.bottom() >= 0 && (m.top() > 0 || m.left() > 0)
        && m.top() < 100 && m.left() < 50;
}

static QMargins largerOf(const QMargins& a, const QMargins& b) {
    return QMargins(std::max(a.left(), b.left()), std::max(a.top(), b.top()), std::max(a.right(), b.right()),
                    std::max(a.bottom(), b.bottom()));
}

QMargins FormConventions::frameAllowance() {
    // A title bar and thin borders, with a handle at the bottom, as common
    // window managers draw them.
    return QMargins(6, 32, 6, 10);
}

QMargins FormConventions::assumedFrame(const QWidget* w) {
    // A window that has been shown knows its frame.
    if (w && w->isVisible() && w->testAttribute(Qt::WA_WState_Created)) {
        const QMargins m = marginsOf(w);
        if (plausibleFrame(m)) return m;
    }
    // Before that (and without a window manager) the frame is not known: the
    // largest frame of the other normal windows, at least the allowance.
    QMargins m = frameAllowance();
    for (QWidget* o : QApplication::topLevelWidgets()) {
        if (o == w || !o->isVisible() || o->windowType() == Qt::Popup || o->windowType() == Qt::ToolTip) continue;
        if (o->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)) continue;
        const QMargins om = marginsOf(o);
        if (plausibleFrame(om)) m = largerOf(m, om);
    }
    return m;
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
        if (o == window_ && e->type() == QEvent::Show) shown_.start();
        // A window manager places a window (and tells its frame) only after
        // it is shown: its first moves are checked too.
        const bool placing = e->type() == QEvent::Move && shown_.isValid() && shown_.elapsed() < 3000;
        if (o == window_ && !pending_
            && (placing || e->type() == QEvent::Show || e->type() == QEvent::LayoutRequest || e->type() == QEvent::Resize)) {
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
    QElapsedTimer shown_;
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

void FormConventions::fitColumnsToText(QTableView* grid, int maxRows) {
    if (!grid || !grid->model()) return;
    QAbstractItemModel* m = grid->model();
    QHeaderView* h = grid->horizontalHeader();
    if (maxRows < 0) maxRows = h->resizeContentsPrecision();
    QStyleOptionViewItem option;
    option.initFrom(grid);
    option.font = grid->font();
    option.fontMetrics = QFontMetrics(option.font);
    const int gridLine = grid->showGrid() ? 1 : 0;
    const int rows = std::min(m->rowCount(), std::max(1, maxRows));
    constexpr int kMeasured = 4; // the longest texts of a column, measured as the view measures a cell
    for (int c = 0; c < m->columnCount(); ++c) {
        if (grid->isColumnHidden(c)) continue;
        std::array<std::pair<qsizetype, int>, kMeasured> longest{}; // (length, row), longest first
        for (int r = 0; r < rows; ++r) {
            const qsizetype n = m->index(r, c).data(Qt::DisplayRole).toString().size();
            if (n <= longest.back().first) continue;
            longest.back() = {n, r};
            std::sort(longest.begin(), longest.end(), [](const auto& x, const auto& y) { return x.first > y.first; });
        }
        int widest = 0;
        for (const auto& [n, r] : longest) {
            if (n == 0) break;
            const QModelIndex i = m->index(r, c);
            if (QAbstractItemDelegate* d = grid->itemDelegateForIndex(i))
                widest = std::max(widest, d->sizeHint(option, i).width() + gridLine);
        }
        const int title = h->isHidden() ? 0 : h->sectionSizeHint(c);
        h->resizeSection(c, std::max(widest, title));
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
    const QMargins own = assumedFrame(w);
    QMargins frame = own;
    if (!plausibleFrame(marginsOf(w))) {
        // Not yet framed: a window manager may put the frame, rather than
        // the window, where the window was asked to be; its title bar and
        // border then push the window down and right. Room is kept for that.
        frame.setRight(frame.right() + frame.left());
        frame.setBottom(frame.bottom() + frame.top());
    }
    QRect now = w->geometry();
    if (!w->isVisible() && !w->testAttribute(Qt::WA_Moved)) {
        // Not placed: centred on the window it belongs to (else on the
        // screen), as a dialog opens; the frame counted.
        if (!w->testAttribute(Qt::WA_Resized)) now.setSize(w->sizeHint().expandedTo(minimum));
        QWidget* owner = w->parentWidget() ? w->parentWidget()->window() : nullptr;
        const QRect over = owner && owner->isVisible() ? owner->frameGeometry() : area;
        QRect outer = now.marginsAdded(own);
        outer.moveCenter(over.center());
        now.moveTopLeft(outer.topLeft() + QPoint(own.left(), own.top()));
    }
    const QRect fitted = fittedGeometry(now, minimum, frame, area);
    if (fitted == w->geometry()) return;
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
