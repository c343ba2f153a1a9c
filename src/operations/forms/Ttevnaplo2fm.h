#pragma once
// "Tevékenységi napló": the dispatcher's day sheet. The day, the filters, the
// marks, the sorting, the dictionaries and the actions are kept by one
// ActivityLogSession (its DaySheet); the form shows them, colours
// the lines by their status class and opens the orders workspace, the
// customer register, contract entry and the daily list.
#include "operations/ActivityLogSession.h"

#include <QStringList>
#include <QWidget>
#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTableView;
class QToolButton;

namespace Ui {
class Ttevnaplo2fm;
}

namespace vl::operations {

class DaySheetModel;
class TkepekDialog;

class Ttevnaplo2fm : public QWidget {
    Q_OBJECT
public:
    explicit Ttevnaplo2fm(QWidget* parent = nullptr);
    ~Ttevnaplo2fm() override;

    // What showing the form does: today's day, the combo boxes, the sheet.
    // False (with the error shown) when the database cannot be read.
    bool FormShow();
    // Builds the day in e_nap and applies the filter of the controls.
    void LoadDaySheet();
    // Applies the filter of the controls.
    void FilterDaySheet();
    // Switches the mark of the current line.
    void ToggleCurrentMark();
    // The day list's preview ("Napi tevékenységi lista").
    void b_nyomtatClick();
    // The handover documents of the marked lines, and the blank one.
    void b_atadasClick();
    void b_biancoClick();
    void b_ugyfelrendClick();
    void b_partnerekClick();
    void b_szerzfelClick();
    // "Képek": the current line's pictures in their viewer (shown, window
    // modal, deleted when closed); null when the line has none.
    TkepekDialog* b_kepekClick();
    // Clicking a column title: sorts by it when the title holds "*".
    void sortByColumn(int section);
    void cb_ugyfelfrissitClick();
    void cb_saktivClick();
    void dayStep(int days);

    // True while the day typed in e_nap is not the day the sheet holds (the
    // grid is then empty and says so; actions wait for the load).
    bool dayPending() const;
    static QString PendingDayText();

    // The session and its sheet (null before the first showing).
    ActivityLogSession* session() const { return session_.get(); }
    DaySheet* sheet() const { return session_ ? &session_->sheet() : nullptr; }
    // The line number of the grid's current row (0 when none) and moving to one.
    int currentLine() const;
    bool goToLine(int tsorszam);
    // The background colour name of a line by its status class.
    static QString ColorNameOf(const QString& statusClass, const QString& day, const QString& today);
    // The grid's column captions, by field.
    static const QList<QPair<QString, QString>>& GridColumns();
    // The field name of the "Kép" column (the line's pictures; not a column of the list).
    static QString PictureField();
    // The current line's pictures (0 when none or no line).
    int picturesOfCurrentLine() const;
    QStringList customerCodes, driverCodes, activityCodes, newDriverCodes, productCodes;

    QPushButton *b_nap, *b_keres, *b_ugyfelrend, *b_partnerek, *b_szerzfel, *b_vissza;
    QPushButton *b_elvegezve, *b_komment, *b_uj, *b_athelyez, *b_sofor, *b_torles, *b_atutemez;
    QPushButton *b_nyomtat, *b_atadas, *b_bianco, *b_ugyfel, *b_ujnap, *b_kepek;
    QToolButton *sb_tegnap, *sb_holnap, *cb_ugyfelfrissit;
    QLineEdit *e_nap, *e_ujnap, *e_mennyiseg, *e_nettoar, *e_komment;
    QLabel *l_nap, *l_ugyfelnev, *l_ugyfelcim, *l_db, *l_selected, *l_sumdb;
    QComboBox *cbx_ugyfel, *cbx_sofor, *cbx_tev, *cbx_soforuj, *cbx_termek;
    QCheckBox *cb_saktiv, *cb_nosofor, *cb_torolt;
    QProgressBar* pb1;
    QTableView* DBGrid1;

protected:
    bool eventFilter(QObject* o, QEvent* e) override;

private:
    // The session, made at the first use, on the program's current connection.
    ActivityLogSession& openSession();
    void fillCustomers();
    void fillDrivers();
    void showSheet(int keepLine);
    void showDayName();
    void showPendingDay();
    void updatePicturesButton();
    DaySheetFilter currentFilter() const;

    std::unique_ptr<Ui::Ttevnaplo2fm> ui_;
    std::unique_ptr<ActivityLogSession> session_;
    DaySheet* sheet_ = nullptr;   // the session's
    DaySheetModel* model_ = nullptr;
    QString loadedDay_;
    int boldColumn_ = -1;
};

// The one activity log of the program.
Ttevnaplo2fm& ActivityLogForm();

} // namespace vl::operations
