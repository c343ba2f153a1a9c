#include "Tmemoeditfm.h"

#include <QPlainTextEdit>
#include <QPointer>
#include <QVBoxLayout>

namespace vl::shell {

Tmemoeditfm::Tmemoeditfm(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Tmemoeditfm"));
    setWindowTitle(QStringLiteral("Több soros megjegyzés szerkesztése"));
    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    auto* l = new QVBoxLayout(this);
    l->setContentsMargins(0, 0, 0, 0);
    l->addWidget(Memo1);
    resize(520, 300);
}

QStringList Tmemoeditfm::lines() const {
    const QString t = Memo1->toPlainText();
    return t.isEmpty() ? QStringList{} : t.split(QLatin1Char('\n'));
}

void Tmemoeditfm::setLines(const QStringList& lines) { Memo1->setPlainText(lines.join(QLatin1Char('\n'))); }
QString Tmemoeditfm::text() const { return Memo1->toPlainText(); }
void Tmemoeditfm::setText(const QString& text) {
    QString t = text;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    Memo1->setPlainText(t);
}
void Tmemoeditfm::clear() { Memo1->clear(); }
void Tmemoeditfm::edit() { exec(); }

Tmemoeditfm& MemoEditor() {
    static QPointer<Tmemoeditfm> f;
    if (!f) f = new Tmemoeditfm();
    return *f;
}

} // namespace vl::shell
