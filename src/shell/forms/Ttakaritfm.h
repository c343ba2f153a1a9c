#pragma once
// "Rendszer karbantartó funkciók" (tree node 37, modeless): drops the
// abandoned work tables of the database (WorkTableCleanup.h says which ones
// stay) and starts the upload of the database ("Tftpkuldfm", opened by name).
//
// Controls (objectNames): CLB_table (the "TMP_" tables; a tick: dropped in
// this showing), l_rozsa (the result of the last run), b_indul "Indul",
// b_vissza "Vissza", cbx_tmpdel "Átmeneti táblák törlése",
// cbx_dataupload "Adatbázis feltöltése az internetre", cbx_backup "Adatbázis
// mentése (ellenőrzéssel)" (the backup with its progress, opened by name as "Backup").
#include "shell/WorkTableCleanup.h"

#include <QString>
#include <QVariantMap>
#include <QWidget>

class QCheckBox;
class QLabel;
class QListWidget;
class QPushButton;

namespace vl::shell {

class Ttakaritfm : public QWidget {
    Q_OBJECT
public:
    explicit Ttakaritfm(QWidget* parent = nullptr);

    QListWidget* CLB_table = nullptr;
    QLabel* l_rozsa = nullptr;
    QPushButton* b_indul = nullptr;
    QPushButton* b_vissza = nullptr;
    QCheckBox* cbx_tmpdel = nullptr;
    QCheckBox* cbx_dataupload = nullptr;
    QCheckBox* cbx_backup = nullptr;   // "Adatbázis mentése (ellenőrzéssel)": opens "Backup"

    // Showing the form: the connection is opened anew and the work tables
    // are listed afresh. False (with the error shown) when that fails.
    bool FormShow();
    // "Indul": drops (cbx_tmpdel), then opens the backup (cbx_backup), then the upload (cbx_dataupload).
    void b_indulClick();

    QStringList listedTables() const;
    QStringList tickedTables() const;
    const WorkTableCleanup& lastCleanup() const { return last_; }

    static QString NoStorageText() { return QStringLiteral("Nincsenek meghatározva tárhely adatok"); }

private:
    void fillList();
    WorkTableCleanup last_;
};

} // namespace vl::shell
