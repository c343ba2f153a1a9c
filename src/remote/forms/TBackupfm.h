#pragma once
// "Adatbázis mentése" (opened by name as "Backup", from "Rendszer
// karbantartás"): an online backup of the program's database through the one
// backup routine, with its progress, then a verification restore into a
// temporary database whose row counts must equal the live ones. A backup that
// passes is recorded as the last successful one (CEG.UTOLSOMENTES), which the
// main window shows.
//
// Controls (objectNames): e_fajl (the backup file), b_tallozas "...",
// pb_mentes (progress), l_allapot (the step under way, then the result),
// b_indul "Mentés", b_vissza "Bezárás".
#include <QDialog>
#include <QString>

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace vl::remote {

class TBackupfm : public QDialog {
    Q_OBJECT
public:
    explicit TBackupfm(QWidget* parent = nullptr, const QString& file = QString());

    QLineEdit* e_fajl = nullptr;
    QPushButton* b_tallozas = nullptr;
    QProgressBar* pb_mentes = nullptr;
    QLabel* l_allapot = nullptr;
    QPushButton* b_indul = nullptr;
    QPushButton* b_vissza = nullptr;

    // "Mentés": true when the backup was made and passed its check.
    bool b_indulClick();

    // The file offered first: the database's backup name in the working folder.
    static QString DefaultFile();
};

// Registers "Backup" in the form registry (params: File, optional; result
// accepted when a checked backup was made, values {File}).
void registerBackupForm();

} // namespace vl::remote
