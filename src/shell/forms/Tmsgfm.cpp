#include "Tmsgfm.h"

#include <QApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QMessageBox>
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

Tmsgfm::Tmsgfm(const QString& text, int kind, const TmsgButtons& buttons, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName(QStringLiteral("Tmsgfm"));
    setWindowTitle(MessageFormCaption(kind));
    setModal(true);
    buttons_ = buttons.isEmpty() ? TmsgButtons{QStringLiteral("Igen"), QStringLiteral("Nem")} : buttons;

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
    if (auto* first = p_buttons->findChild<QPushButton*>(QStringLiteral("b_msg0"))) {
        first->setDefault(true);
        first->setFocus(Qt::OtherFocusReason);
    }
}

static QWidget* mainWindowOrActive() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QStringLiteral("Tmain_pkrfm") && w->isVisible()) return w;
    return QApplication::activeWindow();
}

int ShowMessageForm(const QString& text, int kind, const TmsgButtons& buttons) {
    QWidget* over = mainWindowOrActive();
    Tmsgfm f(text, kind, buttons, nullptr);
    QRect area;
    if (over) area = over->frameGeometry();
    else if (QScreen* s = QGuiApplication::primaryScreen()) area = s->availableGeometry();
    if (area.isValid()) {
        QRect r(QPoint(0, 0), f.size());
        r.moveCenter(area.center());
        f.move(r.topLeft());
    }
    f.exec();
    return f.resultIndex();
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

void GuiMessageSink::notify(vl::MsgKind kind, const QString& text) {
    QMessageBox box(mainWindowOrActive());
    box.setObjectName(QStringLiteral("vl_notice"));
    box.setWindowTitle(QApplication::applicationName().isEmpty() ? QStringLiteral("Vorlanda")
                                                                  : QApplication::applicationName());
    box.setTextFormat(Qt::PlainText);
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    box.setText(shown);
    box.setIcon(kind == vl::MsgKind::Error ? QMessageBox::Critical
                : kind == vl::MsgKind::Warning ? QMessageBox::Warning
                                                : QMessageBox::Information);
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
}

int GuiMessageSink::ask(const QString& text, vl::MsgKind kind, const QStringList& buttons) {
    return ShowMessageForm(text, kindNumber(kind), buttons);
}

} // namespace vl::shell
