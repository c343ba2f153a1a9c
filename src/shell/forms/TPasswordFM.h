#pragma once
// The login dialog. The rules (user table, hashes, log, last-user file) are in
// shell/Login.h; this form only asks and shows the refusals. A user whose
// password is still a seeded default is asked, on the same form, for a new
// password twice before the login succeeds.
#include "shell/Login.h"
#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace vl::shell {

class TPasswordFM : public QDialog {
    Q_OBJECT
public:
    explicit TPasswordFM(QWidget* parent = nullptr);

    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* e_nev = nullptr;
    QLineEdit* e_jelszo = nullptr;
    QPushButton* OKBtn = nullptr;
    QPushButton* CancelBtn = nullptr;
    // Shown only while a seeded default password is being replaced.
    QLabel* l_ujjelszo = nullptr;     // why a new password is asked for
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLineEdit* e_ujjelszo = nullptr;  // " Új jelszó:"
    QLineEdit* e_ujjelszo2 = nullptr; // " Új jelszó újra:"

    // True while the form waits for the new password.
    bool changingPassword() const { return changing_; }

    // Prepares the form for showing: last user's name, empty password, default
    // users seeded into a table without an active user.
    void prepare();
    // The check behind OKBtn; true (and the dialog accepted) on success.
    bool OKBtnClick();

protected:
    void showEvent(QShowEvent* e) override;

private:
    void showPasswordChange(bool on);
    bool changing_ = false;
    LoginUser pendingUser_;   // checked, waiting for its new password
    QString pendingName_;
};

// Shows the login modally; true when the user logged in.
bool Login();

} // namespace vl::shell
