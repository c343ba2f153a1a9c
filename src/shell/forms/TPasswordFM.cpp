#include "TPasswordFM.h"
#include "FormConventions.h"
#include "db/TestHook.h"
#include "shell/Dm.h"
#include "shell/Login.h"
#include "util/MessageSink.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
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
    Label1->setBuddy(e_nev);
    Label2->setBuddy(e_jelszo);

    // Typing is forced to lower case in the name.
    connect(e_nev, &QLineEdit::textEdited, this, [this](const QString& t) {
        if (t != t.toLower()) { const int c = e_nev->cursorPosition(); e_nev->setText(t.toLower()); e_nev->setCursorPosition(c); }
    });
    l_ujjelszo = new QLabel(QStringLiteral("Az alapértelmezett jelszót le kell cserélni. "
                                           "Adja meg kétszer az új jelszót!"), this);
    l_ujjelszo->setObjectName(QStringLiteral("l_ujjelszo"));
    l_ujjelszo->setWordWrap(true);
    Label3 = new QLabel(QStringLiteral(" Új jelszó:"), this);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label4 = new QLabel(QStringLiteral(" Új jelszó újra:"), this);
    Label4->setObjectName(QStringLiteral("Label4"));
    e_ujjelszo = new QLineEdit(this);
    e_ujjelszo->setObjectName(QStringLiteral("e_ujjelszo"));
    e_ujjelszo2 = new QLineEdit(this);
    e_ujjelszo2->setObjectName(QStringLiteral("e_ujjelszo2"));
    Label3->setBuddy(e_ujjelszo);
    Label4->setBuddy(e_ujjelszo2);
    // Passwords are typed in upper case and shown as '*'.
    for (QLineEdit* pw : {e_jelszo, e_ujjelszo, e_ujjelszo2}) {
        pw->setEchoMode(QLineEdit::Password);
        connect(pw, &QLineEdit::textEdited, this, [pw](const QString& t) {
            if (t != t.toUpper()) { const int c = pw->cursorPosition(); pw->setText(t.toUpper()); pw->setCursorPosition(c); }
        });
    }

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
    grid->addWidget(l_ujjelszo, 2, 0, 1, 2);
    grid->addWidget(Label3, 3, 0);
    grid->addWidget(e_ujjelszo, 3, 1);
    grid->addWidget(Label4, 4, 0);
    grid->addWidget(e_ujjelszo2, 4, 1);
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
    setTabOrder(e_jelszo, e_ujjelszo);
    setTabOrder(e_ujjelszo, e_ujjelszo2);
    setTabOrder(e_ujjelszo2, OKBtn);
    setTabOrder(OKBtn, CancelBtn);
    connect(OKBtn, &QPushButton::clicked, this, [this] { OKBtnClick(); });
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    FormConventions::install(this);
    showPasswordChange(false);
}

void TPasswordFM::showPasswordChange(bool on) {
    changing_ = on;
    for (QWidget* w : {static_cast<QWidget*>(l_ujjelszo), static_cast<QWidget*>(Label3), static_cast<QWidget*>(Label4),
                       static_cast<QWidget*>(e_ujjelszo), static_cast<QWidget*>(e_ujjelszo2)})
        w->setVisible(on);
    e_ujjelszo->clear();
    e_ujjelszo2->clear();
    // The checked name and password stay as they are while the new one is asked.
    e_nev->setEnabled(!on);
    e_jelszo->setEnabled(!on);
    if (!on) {
        pendingUser_ = LoginUser();
        pendingName_.clear();
    }
    if (QLayout* l = layout()) l->activate();
    setFixedSize(QSize(on ? 380 : 340, sizeHint().height()));
    if (on) e_ujjelszo->setFocus(Qt::OtherFocusReason);
}

void TPasswordFM::prepare() {
    showPasswordChange(false);
    e_jelszo->clear();
    e_nev->setText(ReadLastUser());
    try {
        SeedDefaultUsersIfNone(dm().d_alap());
    } catch (const vl::db::DbError& e) {
        vl::notifyDbError(QStringLiteral("a felhasználók olvasása"), e.text());
    }
}

void TPasswordFM::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    if (QScreen* s = screen()) {
        QRect r = frameGeometry();
        r.moveCenter(s->availableGeometry().center());
        move(r.topLeft());
    }
    (changing_ ? e_ujjelszo : e_jelszo)->setFocus(Qt::OtherFocusReason);
}

bool TPasswordFM::OKBtnClick() {
    if (changing_) {
        // The seeded password is replaced; only then is the user let in.
        const QString first = e_ujjelszo->text().toUpper();
        const QString second = e_ujjelszo2->text().toUpper();
        QString problem = NewPasswordProblem(first, second);
        bool done = false;
        if (problem.isEmpty()) {
            try {
                done = CompleteLogin(dm().d_alap(), pendingUser_, pendingName_, first, &problem);
            } catch (const vl::db::DbError& e) {
                vl::notify(vl::MsgKind::Error, e.text());
                return false;
            }
        }
        if (!done && NewPasswordProblem(first, second).isEmpty()) {
            // Changed elsewhere meanwhile: the login starts again.
            vl::notify(vl::MsgKind::Warning, problem);
            showPasswordChange(false);
            e_jelszo->clear();
            e_jelszo->setFocus(Qt::OtherFocusReason);
            return false;
        }
        if (!done) {
            vl::notify(vl::MsgKind::Warning, problem);
            const bool mismatch = !first.trimmed().isEmpty() && first != second;
            QLineEdit* fix = mismatch ? e_ujjelszo2 : e_ujjelszo;
            fix->setFocus(Qt::OtherFocusReason);
            fix->selectAll();
            return false;
        }
        accept();
        return true;
    }

    const QString name = e_nev->text().toLower();
    const QString password = e_jelszo->text().toUpper();
    LoginUser user;
    LoginCheck check;
    try {
        auto& conn = dm().d_alap();
        check = CheckLogin(conn, name, password, &user);
        if (check == LoginCheck::Ok && user.mustChangePassword) {
            pendingUser_ = user;
            pendingName_ = name;
            showPasswordChange(true);
            return false;
        }
        if (check == LoginCheck::Ok) CompleteLogin(conn, user, name);
    } catch (const vl::db::DbError& e) {
        vl::notifyDbError(QStringLiteral("a belépés ellenőrzése"), e.text());
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
    // The start's measuring point: the dialog is up and waits for the user.
    QTimer::singleShot(0, &f, [] { vl::db::testHook("login:shown"); });
    return f.exec() == QDialog::Accepted;
}

} // namespace vl::shell
