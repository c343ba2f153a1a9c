#include "CabinScanInput.h"

#include "FormConventions.h"
#include "util/CabinScan.h"
#include "util/MessageSink.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPointer>

namespace vl::shell {

namespace {

// Holds back what follows a "V" typed into its widget until Enter, then reads it.
class CabinScanFilter : public QObject {
public:
    explicit CabinScanFilter(QWidget* field) : QObject(field), field_(field) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != field_) return false;
        if (event->type() == QEvent::FocusOut) {
            held_.clear();
            return false;
        }
        if (event->type() != QEvent::KeyPress) return false;
        auto* k = static_cast<QKeyEvent*>(event);
        if (k->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return false;
        const QString t = k->text();
        if (held_.isEmpty()) {
            if (t.compare(QLatin1String("v"), Qt::CaseInsensitive) != 0) return false;
            if (auto* e = qobject_cast<QLineEdit*>(field_); e && e->isReadOnly()) return false;
            held_ = t;
            return true;
        }
        switch (k->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return finish();
        case Qt::Key_Escape:
            held_.clear();
            return true;
        case Qt::Key_Backspace:
            held_.chop(1);
            return true;
        case Qt::Key_Shift:
        case Qt::Key_Control:
        case Qt::Key_Alt:
        case Qt::Key_AltGr:
        case Qt::Key_Meta:
        case Qt::Key_CapsLock:
        case Qt::Key_NumLock:
            return false;   // a scanner's Shift for "V", "L" and ":" between the characters
        default:
            break;
        }
        if (!t.isEmpty() && t.at(0).isPrint()) {
            held_ += t;
            return true;
        }
        held_.clear();   // Tab, arrows: the code is given up
        return false;
    }

private:
    // true: the Enter is used up; false: it goes on to the field.
    bool finish() {
        const QString typed = held_;
        held_.clear();
        const vl::util::CabinScan s = vl::util::ReadCabinScan(typed);
        if (!s.ok()) {
            vl::notify(vl::MsgKind::Warning, s.scanned ? s.refusal : vl::util::CabinScanRefusal(typed));
            return true;
        }
        if (auto* e = qobject_cast<QLineEdit*>(field_)) return typeInto(e, s.number);
        if (auto* b = qobject_cast<QComboBox*>(field_)) return choose(b, s.number);
        return true;
    }

    static bool typeInto(QLineEdit* e, const QString& number) {
        const QString before = e->text();
        e->selectAll();
        QPointer<QLineEdit> alive(e);
        for (const QChar c : number) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_0 + (c.unicode() - '0'), Qt::NoModifier, QString(c));
            QKeyEvent release(QEvent::KeyRelease, Qt::Key_0 + (c.unicode() - '0'), Qt::NoModifier, QString(c));
            QCoreApplication::sendEvent(e, &press);
            if (!alive) return true;
            QCoreApplication::sendEvent(e, &release);
        }
        if (e->text() != number) {
            e->setText(before);
            vl::notify(vl::MsgKind::Warning,
                       QStringLiteral("A beolvasott kabinszám (%1) nem fér el ebben a mezőben.").arg(number));
            return true;
        }
        return false;
    }

    static bool choose(QComboBox* b, const QString& number) {
        for (int i = 0; i < b->count(); ++i) {
            const QString item = b->itemText(i).trimmed();
            if (item != number && !item.startsWith(number + QLatin1Char(' '))) continue;
            b->setCurrentIndex(i);
            emit b->activated(i);
            emit b->textActivated(b->itemText(i));
            return false;
        }
        vl::notify(vl::MsgKind::Warning, CabinNotListedText(number));
        return true;
    }

    QWidget* field_;
    QString held_;
};

} // namespace

QString CabinNotListedText(const QString& number) {
    return QStringLiteral("A(z) %1 számú kabin nem szerepel a listában.").arg(number);
}

void InstallCabinScan(QLineEdit* edit) {
    if (!edit || edit->property("vlCabinScan").toBool()) return;
    edit->setProperty("vlCabinScan", true);
    // Installed after the conventions' filter, so it sees the keys first.
    FormConventions::watch(edit);
    edit->installEventFilter(new CabinScanFilter(edit));
}

void InstallCabinScan(QComboBox* box) {
    if (!box || box->property("vlCabinScan").toBool()) return;
    box->setProperty("vlCabinScan", true);
    box->installEventFilter(new CabinScanFilter(box));
}

} // namespace vl::shell
