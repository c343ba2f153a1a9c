#pragma once
// The login dialog. The rules (user table, hashes, log, last-user file) are in
// shell/Login.h; this form only asks and shows the refusals.
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

    // Prepares the form for showing: last user's name, empty password, default
    // users seeded into a table without an active user.
    void prepare();
    // The check behind OKBtn; true (and the dialog accepted) on success.
    bool OKBtnClick();

protected:
    void showEvent(QShowEvent* e) override;
};

// Shows the login modally; true when the user logged in.
bool Login();

} // namespace vl::shell
