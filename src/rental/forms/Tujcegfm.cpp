#include "Tujcegfm.h"

#include "FormConventions.h"
#include "util/Error.h"
#include "util/MessageSink.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace vl::rental {

namespace {

QLineEdit* edit(QWidget* parent, const char* name, int maxLength)
{
    auto* e = new QLineEdit(parent);
    e->setObjectName(QString::fromLatin1(name));
    if (maxLength > 0) e->setMaxLength(maxLength);
    return e;
}

} // namespace

Tujcegfm::Tujcegfm(const QString& databaseFile, QWidget* parent) : QDialog(parent), databaseFile_(databaseFile)
{
    setObjectName(QStringLiteral("Tujcegfm"));
    setWindowTitle(QStringLiteral("Első indítás"));
    setMinimumWidth(520);
    auto* main = new QVBoxLayout(this);

    l_fajl = new QLabel(QStringLiteral("Még nincs adatbázis: %1").arg(databaseFile), this);
    l_fajl->setObjectName(QStringLiteral("l_fajl"));
    l_fajl->setWordWrap(true);
    main->addWidget(l_fajl);

    rb_ujceg = new QRadioButton(QStringLiteral("Új cég létrehozása"), this);
    rb_ujceg->setObjectName(QStringLiteral("rb_ujceg"));
    rb_ujceg->setChecked(true);
    main->addWidget(rb_ujceg);

    p_ceg = new QWidget(this);
    p_ceg->setObjectName(QStringLiteral("p_ceg"));
    auto* form = new QFormLayout(p_ceg);
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    e_nev = edit(p_ceg, "e_nev", 80);
    e_irszam = edit(p_ceg, "e_irszam", 4);
    e_varos = edit(p_ceg, "e_varos", 40);
    e_utca = edit(p_ceg, "e_utca", 60);
    e_adoszam = edit(p_ceg, "e_adoszam", 13);
    e_telefon = edit(p_ceg, "e_telefon", 30);
    e_afa = edit(p_ceg, "e_afa", 6);
    e_afa->setText(QStringLiteral("27"));
    e_juzer = edit(p_ceg, "e_juzer", 30);
    e_jelszo = edit(p_ceg, "e_jelszo", 0);
    e_jelszo->setEchoMode(QLineEdit::Password);
    e_jelszo2 = edit(p_ceg, "e_jelszo2", 0);
    e_jelszo2->setEchoMode(QLineEdit::Password);
    vl::shell::FormConventions::setNumeric(e_irszam);
    form->addRow(QStringLiteral("Cégnév:"), e_nev);
    form->addRow(QStringLiteral("Irányítószám:"), e_irszam);
    form->addRow(QStringLiteral("Város:"), e_varos);
    form->addRow(QStringLiteral("Utca, házszám:"), e_utca);
    form->addRow(QStringLiteral("Adószám:"), e_adoszam);
    form->addRow(QStringLiteral("Telefonszám:"), e_telefon);
    form->addRow(QStringLiteral("ÁFA kulcs (%):"), e_afa);
    form->addRow(QStringLiteral("Első felhasználó:"), e_juzer);
    form->addRow(QStringLiteral("Jelszó:"), e_jelszo);
    form->addRow(QStringLiteral("Jelszó még egyszer:"), e_jelszo2);
    main->addWidget(p_ceg);

    rb_bemutato = new QRadioButton(QStringLiteral("Bemutató adatbázis"), this);
    rb_bemutato->setObjectName(QStringLiteral("rb_bemutato"));
    main->addWidget(rb_bemutato);

    l_hiba = new QLabel(this);
    l_hiba->setObjectName(QStringLiteral("l_hiba"));
    l_hiba->setWordWrap(true);
    l_hiba->setStyleSheet(QStringLiteral("color: #c00000"));
    main->addWidget(l_hiba);

    auto* buttons = new QDialogButtonBox(this);
    b_ok = buttons->addButton(QStringLiteral("Létrehozás"), QDialogButtonBox::AcceptRole);
    b_ok->setObjectName(QStringLiteral("b_ok"));
    b_megse = buttons->addButton(QStringLiteral("Mégse"), QDialogButtonBox::RejectRole);
    b_megse->setObjectName(QStringLiteral("b_megse"));
    main->addWidget(buttons);

    connect(b_ok, &QPushButton::clicked, this, &Tujcegfm::b_okClick);
    connect(b_megse, &QPushButton::clicked, this, &QDialog::reject);
    connect(rb_ujceg, &QRadioButton::toggled, this, &Tujcegfm::modeChanged);
    vl::shell::FormConventions::install(this);
    e_nev->setFocus(Qt::OtherFocusReason);
}

void Tujcegfm::modeChanged() { p_ceg->setEnabled(rb_ujceg->isChecked()); }

bool Tujcegfm::collect(NewCompany* c, QString* problem) const
{
    c->nev = e_nev->text().trimmed();
    c->irszam = e_irszam->text().trimmed();
    c->varos = e_varos->text().trimmed();
    c->utca = e_utca->text().trimmed();
    c->adoszam = e_adoszam->text().trimmed();
    c->telefon = e_telefon->text().trimmed();
    c->user = e_juzer->text().trimmed();
    c->password = e_jelszo->text();
    // A decimal comma or point, whatever the locale.
    const QString afa = e_afa->text().trimmed();
    bool ok = false;
    c->afa = QString(afa).replace(u',', u'.').toDouble(&ok);
    if (!ok) {
        *problem = QStringLiteral("Az ÁFA kulcs szám legyen (százalék, például 27): %1").arg(afa);
        return false;
    }
    if (e_jelszo->text() != e_jelszo2->text()) {
        *problem = QStringLiteral("A két jelszó nem egyezik.");
        return false;
    }
    const QString check = CheckNewCompany(*c);
    if (!check.isEmpty()) {
        *problem = check;
        return false;
    }
    return true;
}

void Tujcegfm::b_okClick()
{
    l_hiba->clear();
    vl::db::ConnectParams p;
    p.driver = QStringLiteral("FIREBIRD");
    p.database = databaseFile_;
    NewCompany company;
    const bool own = rb_ujceg->isChecked();
    if (own) {
        QString problem;
        if (!collect(&company, &problem)) {
            l_hiba->setText(problem);
            return;
        }
    }
    try {
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        CreateNewDatabase(p, own ? &company : nullptr, !own);
        QGuiApplication::restoreOverrideCursor();
    } catch (const vl::Error& e) {
        QGuiApplication::restoreOverrideCursor();
        l_hiba->setText(e.text());
        vl::notifyError(e, QStringLiteral("az adatbázis létrehozása"));
        return;
    } catch (const std::exception& e) {
        QGuiApplication::restoreOverrideCursor();
        l_hiba->setText(QString::fromLocal8Bit(e.what()));
        vl::notifyUnexpected(QStringLiteral("az adatbázis létrehozása"), QString::fromLocal8Bit(e.what()));
        return;
    }
    accept();
}

bool OfferNewDatabase(QWidget* parent, const QString& databaseFile)
{
    Tujcegfm f(databaseFile, parent);
    return f.exec() == QDialog::Accepted;
}

} // namespace vl::rental
