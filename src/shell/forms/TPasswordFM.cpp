#include "TPasswordFM.h"
#include "FormConventions.h"
#include "shell/Dm.h"
#include "shell/Login.h"
#include "util/MessageSink.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace vl::shell {

TPasswordFM::TPasswordFM(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName(QStringLiteral("TPasswordFM"));
    setWindowTitle(QStringLiteral("Bejelentkezés a  programba"));
    setModal(true);

    Label1 = new QLabel(QStringLiteral(" Név:"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label2 = new QLabel(QStringLiteral(" Jelszó:"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    e_nev = new QLineEdit(this);
    e_nev->setObjectName(QStringLiteral("e_nev"));
    e_jelszo = new QLineEdit(this);
    e_jelszo->setObjectName(QStringLiteral("e_jelszo"));
    e_jelszo->setEchoMode(QLineEdit::Password);
    Label1->setBuddy(e_nev);
    Label2->setBuddy(e_jelszo);

    // Typing is forced to lower case in the name and to upper case in the password.
    connect(e_nev, &QLineEdit::textEdited, this, [this](const QString& t) {
        if (t != t.toLower()) { const int c = e_nev->cursorPosition(); e_nev->setText(t.toLower()); e_nev->setCursorPosition(c); }
    });
    connect(e_jelszo, &QLineEdit::textEdited, this, [this](const QString& t) {
        if (t != t.toUpper()) { const int c = e_jelszo->cursorPosition(); e_jelszo->setText(t.toUpper()); e_jelszo->setCursorPosition(c); }
    });

    OKBtn = new QPushButton(QStringLiteral("&OK"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setDefault(true);
    CancelBtn = new QPushButton(QStringLiteral("&Mégse"), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    CancelBtn->setAutoDefault(false);

    auto* grid = new QGridLayout;
    grid->addWidget(Label1, 0, 0);
    grid->addWidget(e_nev, 0, 1);
    grid->addWidget(Label2, 1, 0);
    grid->addWidget(e_jelszo, 1, 1);
    grid->setColumnStretch(1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(OKBtn);
    buttons->addWidget(CancelBtn);
    auto* all = new QVBoxLayout(this);
    all->setContentsMargins(16, 16, 16, 12);
    all->addLayout(grid);
    all->addSpacing(8);
    all->addLayout(buttons);

    setTabOrder(e_nev, e_jelszo);
    setTabOrder(e_jelszo, OKBtn);
    setTabOrder(OKBtn, CancelBtn);
    connect(OKBtn, &QPushButton::clicked, this, [this] { OKBtnClick(); });
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    FormConventions::install(this);
    setFixedSize(QSize(340, sizeHint().height()));
}

void TPasswordFM::prepare() {
    e_jelszo->clear();
    e_nev->setText(ReadLastUser());
    try {
        SeedDefaultUsersIfNone(dm().d_alap());
    } catch (const vl::db::DbError& e) {
        vl::notify(vl::MsgKind::Error, e.text());
    }
}

void TPasswordFM::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    if (QScreen* s = screen()) {
        QRect r = frameGeometry();
        r.moveCenter(s->availableGeometry().center());
        move(r.topLeft());
    }
    e_jelszo->setFocus(Qt::OtherFocusReason);
}

bool TPasswordFM::OKBtnClick() {
    const QString name = e_nev->text().toLower();
    const QString password = e_jelszo->text().toUpper();
    LoginUser user;
    LoginCheck check;
    try {
        auto& conn = dm().d_alap();
        check = CheckLogin(conn, name, password, &user);
        if (check == LoginCheck::Ok) CompleteLogin(conn, user, name);
    } catch (const vl::db::DbError& e) {
        vl::notify(vl::MsgKind::Error, e.text());
        return false;
    }
    if (check != LoginCheck::Ok) {
        vl::notify(vl::MsgKind::Warning, LoginRefusalText(check));
        QLineEdit* fix = check == LoginCheck::WrongPassword ? e_jelszo : e_nev;
        fix->setFocus(Qt::OtherFocusReason);
        fix->selectAll();
        return false;
    }
    accept();
    return true;
}

bool Login() {
    TPasswordFM f;
    f.prepare();
    return f.exec() == QDialog::Accepted;
}

} // namespace vl::shell
