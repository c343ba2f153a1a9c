#include "Tmsgfm.h"
#include "FormConventions.h"

#include <QApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScreen>

namespace vl::shell {

QString MessageFormCaption(int kind) {
    switch (kind) {
    case 0: return QStringLiteral("   Kérem, döntsön!");
    case 1: return QStringLiteral("   Figyelmeztetés");
    case 2: return QStringLiteral("   Hiba történt");
    default: return QStringLiteral("   Párbeszéd ablak");
    }
}

Tmsgfm::Tmsgfm(const QString& text, int kind, const TmsgButtons& buttons, QWidget* parent, int defaultButton)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName(QStringLiteral("Tmsgfm"));
    setWindowTitle(MessageFormCaption(kind));
    setModal(true);
    buttons_ = buttons.isEmpty() ? TmsgButtons{QStringLiteral("Igen"), QStringLiteral("Nem")} : buttons;
    default_ = defaultButton >= 0 && defaultButton < buttons_.size() ? defaultButton : 0;

    QFont bold = font();
    bold.setBold(true);

    p_buttons = new QWidget(this);
    p_buttons->setObjectName(QStringLiteral("p_buttons"));

    l_msg = new QLabel(p_buttons);
    l_msg->setObjectName(QStringLiteral("l_msg"));
    l_msg->setFont(bold);
    l_msg->setTextFormat(Qt::PlainText);
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    l_msg->setText(shown);
    l_msg->move(16, 16);
    l_msg->adjustSize();

    l_minta = new QLabel(p_buttons);
    l_minta->setObjectName(QStringLiteral("l_minta"));
    l_minta->setFont(bold);
    l_minta->hide();

    const int x = l_msg->width() + 2 * 16;
    const QFontMetrics fm(l_minta->font());
    int widest = 0;
    for (const QString& c : buttons_) widest = std::max(widest, fm.horizontalAdvance(c));
    const int w = widest + 40;

    for (int i = 0; i < buttons_.size(); ++i) {
        auto* b = new QPushButton(QStringLiteral("&") + buttons_[i], p_buttons);
        b->setObjectName(QStringLiteral("b_msg%1").arg(i));
        b->setProperty("tag", i);
        b->setFont(bold);
        b->setGeometry(x, 16 + 28 * i, w, 24);
        b->setAutoDefault(true);
        connect(b, &QPushButton::clicked, this, [this, i] {
            result_ = i;
            accept();
        });
    }
    const int columnEnd = 28 * int(buttons_.size()) + 16;
    const int width = x + w + 24;
    const int height = std::max(l_msg->height(), columnEnd) + 50;
    p_buttons->setGeometry(0, 0, width, height);
    setFixedSize(width, height);
}

void Tmsgfm::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    if (auto* b = p_buttons->findChild<QPushButton*>(QStringLiteral("b_msg%1").arg(default_))) {
        b->setDefault(true);
        b->setFocus(Qt::OtherFocusReason);
    }
}

namespace {

// Centres a dialog on the window it belongs to (on the screen without one)
// and keeps it on the screen.
void centreOver(QDialog* d, QWidget* over) {
    QRect area = over ? over->window()->frameGeometry() : FormConventions::availableArea(d);
    if (!area.isValid()) return;
    QRect r(QPoint(0, 0), d->frameGeometry().size().expandedTo(d->size()));
    r.moveCenter(area.center());
    d->move(r.topLeft());
    FormConventions::fitToScreen(d);
}

// Runs a dialog modally over its window and gives the focus back to the
// control that had it before.
int execOver(QDialog* d, QWidget* over) {
    QPointer<QWidget> focus = QApplication::focusWidget();
    if (over && focus && focus->window() != over->window()) focus = over->window()->focusWidget();
    QPointer<QWidget> window = over ? over->window() : nullptr;
    const int r = d->exec();
    if (window && window->isVisible()) {
        window->activateWindow();
        if (focus && focus->window() == window && focus->isVisible() && focus->isEnabled())
            focus->setFocus(Qt::ActiveWindowFocusReason);
    }
    return r;
}

// Shown centred on its window each time it is shown (QDialog would centre it
// on its parent only the first time, before its size is known).
class CentredBox : public QMessageBox {
public:
    QPointer<QWidget> over;
    using QMessageBox::QMessageBox;

protected:
    void showEvent(QShowEvent* e) override {
        QMessageBox::showEvent(e);
        centreOver(this, over);
    }
};

} // namespace

int ShowMessageForm(const QString& text, int kind, const TmsgButtons& buttons, int defaultButton, QWidget* parent) {
    QWidget* over = parent ? parent->window() : FormConventions::dialogParent();
    Tmsgfm f(text, kind, buttons, over, defaultButton);
    centreOver(&f, over);
    execOver(&f, over);
    return f.resultIndex();
}

void ShowNotice(vl::MsgKind kind, const QString& text, const QString& details, QWidget* parent) {
    QWidget* over = parent ? parent->window() : FormConventions::dialogParent();
    CentredBox box(over);
    box.over = over;
    box.setObjectName(QStringLiteral("vl_notice"));
    box.setWindowTitle(QApplication::applicationName().isEmpty() ? QStringLiteral("Vorlanda")
                                                                  : QApplication::applicationName());
    box.setTextFormat(Qt::PlainText);
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    box.setText(shown);
    if (!details.trimmed().isEmpty()) box.setDetailedText(details);
    box.setIcon(kind == vl::MsgKind::Error ? QMessageBox::Critical
                : kind == vl::MsgKind::Warning ? QMessageBox::Warning
                                                : QMessageBox::Information);
    box.setStandardButtons(QMessageBox::Ok);
    box.setDefaultButton(QMessageBox::Ok);
    execOver(&box, over);
}

int GuiMessageSink::kindNumber(vl::MsgKind kind) {
    switch (kind) {
    case vl::MsgKind::Question: return 0;
    case vl::MsgKind::Warning: return 1;
    case vl::MsgKind::Error: return 2;
    case vl::MsgKind::Info: return 3;
    }
    return 3;
}

void GuiMessageSink::notify(vl::MsgKind kind, const QString& text) { ShowNotice(kind, text); }

void GuiMessageSink::notifyWithDetails(vl::MsgKind kind, const QString& text, const QString& details) {
    ShowNotice(kind, text, details);
}

int GuiMessageSink::ask(const QString& text, vl::MsgKind kind, const QStringList& buttons) {
    return ShowMessageForm(text, kindNumber(kind), buttons);
}

int GuiMessageSink::askWithDefault(const QString& text, vl::MsgKind kind, const QStringList& buttons,
                                   int defaultButton) {
    return ShowMessageForm(text, kindNumber(kind), buttons, defaultButton);
}

} // namespace vl::shell
