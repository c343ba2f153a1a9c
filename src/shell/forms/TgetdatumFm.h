#pragma once
// The date picker: a month calendar with year buttons. Created once, reused.
#include <QDialog>
#include <QDate>
#include <QHash>
#include <functional>

class QCalendarWidget;
class QPushButton;
class QAbstractButton;
class QLabel;

namespace vl::shell {

class TgetdatumFm : public QDialog {
    Q_OBJECT
public:
    explicit TgetdatumFm(QWidget* parent = nullptr);

    // Opens modally on the given date text and returns the resulting text
    // (see PickDate).
    QString pick(const QString& text);
    bool DateChosen = false;

    QCalendarWidget* MC_1 = nullptr;
    QPushButton* B_vissza = nullptr;
    QPushButton* b_oke = nullptr;
    QPushButton* b_yearmin = nullptr;
    QPushButton* b_yearplus = nullptr;
    QLabel* l_napfajta = nullptr;   // the kind of the selected day ("Munkaszüneti nap: Húsvéthétfő")

    void stepYear(int years);
    // Marks the days off of a year (red, bold), as the marker gives them.
    void markYear(int year);

private:
    QHash<QDate, QString> marked_;
    QList<int> markedYears_;
};

// The days of a year that the picker marks, with what the label says of
// each (the working calendar installs it; without one nothing is marked).
using DayMarker = std::function<QHash<QDate, QString>(int year)>;
void SetDatePickerMarker(DayMarker marker);

// The one picker of the program.
TgetdatumFm& DatePicker();

// Opens the picker on a date text ('yyyy.mm.dd' or 'yyyymmdd'; empty or the
// blank mask "    .  .  " open on today). With a choice the chosen date comes
// back (undotted when the input was undotted); without one the input comes back,
// today when it was not a valid date. A month text ('yyyymm', 'yyyy.mm') opens
// on the month's first day and comes back unchanged unless a day is chosen.
QString PickDate(const QString& text);
// Whether the last PickDate ended with a choice.
bool DateChosen();

// For a date button named like "b_kiszall": the edit "e_kiszall" of the same
// form gets the chosen date. False when there is no such edit or nothing was chosen.
bool PickDateForButton(QAbstractButton* button);

} // namespace vl::shell
