#include "FormConventions.h"
#include "util/Texts.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QRegularExpressionValidator>

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

} // namespace vl::shell
