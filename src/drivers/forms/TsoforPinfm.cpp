#include "TsoforPinfm.h"

#include "drivers/Pins.h"
#include "shell/Dm.h"
#include "util/Error.h"
#include "util/MessageSink.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

namespace vl::drivers {

TsoforPinfm::TsoforPinfm(const QString& driverCode, const QString& driverName, QWidget* parent)
    : QDialog(parent), code_(driverCode.trimmed()) {
    setObjectName(QStringLiteral("TsoforPinfm"));
    setWindowTitle(QStringLiteral("PIN beállítása"));
    auto* root = new QVBoxLayout(this);
    l_sofor = new QLabel(QStringLiteral("Gépkocsivezető: ") + code_ + QStringLiteral("  ") + driverName.trimmed(), this);
    l_sofor->setObjectName(QStringLiteral("l_sofor"));
    root->addWidget(l_sofor);
    l_allapot = new QLabel(this);
    l_allapot->setObjectName(QStringLiteral("l_allapot"));
    root->addWidget(l_allapot);
    auto* form = new QFormLayout();
    auto pinField = [this](const char* name) {
        auto* e = new QLineEdit(this);
        e->setObjectName(QString::fromLatin1(name));
        e->setEchoMode(QLineEdit::Password);
        e->setMaxLength(8);
        e->setInputMethodHints(Qt::ImhDigitsOnly | Qt::ImhSensitiveData | Qt::ImhNoPredictiveText);
        e->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,8}")), e));
        return e;
    };
    e_pin = pinField("e_pin");
    e_pin2 = pinField("e_pin2");
    form->addRow(QStringLiteral("Új PIN (4–8 számjegy):"), e_pin);
    form->addRow(QStringLiteral("Új PIN még egyszer:"), e_pin2);
    root->addLayout(form);
    auto* bl = new QHBoxLayout();
    b_beallit = new QPushButton(QStringLiteral("Beállítás"), this);
    b_beallit->setObjectName(QStringLiteral("b_beallit"));
    b_beallit->setDefault(true);
    b_torol = new QPushButton(QStringLiteral("PIN törlése"), this);
    b_torol->setObjectName(QStringLiteral("b_torol"));
    b_megsem = new QPushButton(QStringLiteral("Mégsem"), this);
    b_megsem->setObjectName(QStringLiteral("b_megsem"));
    bl->addWidget(b_beallit);
    bl->addWidget(b_torol);
    bl->addStretch(1);
    bl->addWidget(b_megsem);
    root->addLayout(bl);
    connect(b_beallit, &QPushButton::clicked, this, [this] { b_beallitClick(); });
    connect(b_torol, &QPushButton::clicked, this, [this] { b_torolClick(); });
    connect(b_megsem, &QPushButton::clicked, this, &QDialog::reject);
    showState();
}

void TsoforPinfm::showState() {
    bool has = false;
    try {
        has = HasDriverPin(vl::shell::dm().d_alap(), code_);
    } catch (const vl::Error& e) {
        vl::notifyError(e, QStringLiteral("a PIN olvasása"));
    }
    l_allapot->setText(has ? QStringLiteral("A gépkocsivezetőnek van PIN-je; az új felülírja.")
                           : QStringLiteral("A gépkocsivezetőnek még nincs PIN-je."));
    b_torol->setEnabled(has);
}

void TsoforPinfm::b_beallitClick() {
    const QString pin = e_pin->text();
    QString problem;
    if (pin != e_pin2->text()) problem = QStringLiteral("A két PIN nem egyezik.");
    else problem = PinRefusal(pin);
    if (!problem.isEmpty()) {
        vl::notify(vl::MsgKind::Warning, problem);
        e_pin->clear();
        e_pin2->clear();
        e_pin->setFocus();
        return;
    }
    try {
        SetDriverPin(vl::shell::dm().d_alap(), nullptr, vl::shell::dm().session(), code_, pin);
    } catch (const vl::Error& e) {
        vl::notifyError(e, QStringLiteral("a PIN beállítása"));
        return;
    }
    e_pin->clear();
    e_pin2->clear();
    vl::notify(vl::MsgKind::Info, QStringLiteral("A(z) %1 gépkocsivezető PIN-je beállítva.").arg(code_));
    accept();
}

void TsoforPinfm::b_torolClick() {
    if (vl::askDefaultNo(QStringLiteral("Törli a(z) %1 gépkocsivezető PIN-jét? Utána nem léphet be a telefonján.").arg(code_)) != 0)
        return;
    try {
        SetDriverPin(vl::shell::dm().d_alap(), nullptr, vl::shell::dm().session(), code_, QString());
    } catch (const vl::Error& e) {
        vl::notifyError(e, QStringLiteral("a PIN törlése"));
        return;
    }
    vl::notify(vl::MsgKind::Info, QStringLiteral("A(z) %1 gépkocsivezető PIN-je törölve.").arg(code_));
    accept();
}

} // namespace vl::drivers
