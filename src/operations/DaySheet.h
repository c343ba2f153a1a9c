#pragma once
// The day sheet of the activity log: every activity of one day on the active,
// not cancelled contracts, with the open billing items of the contracts
// visited that day, folded into lines (one per site, activity, product type,
// driver and status) in a work table of the user's own.
//
// A DaySheet belongs to one form (or one command run): it makes its work
// table from the template TEVNAPLO the first time it loads a day and empties
// it for every later load. Each line keeps the keys of the source rows behind
// it, so the actions on a line work on exactly those rows.
#include "db/Database.h"
#include "shell/Session.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace vl::operations {

// The key of one source row of a line: an activity (FORGTEV: contract,
// version, line, item, date, sequence) or a billing item (FORGFIZ: contract,
// version, date, sequence; tetelsor and sorszam 0).
struct SourceRow {
    bool payment = false;
    qint64 bizonylat = 0;
    qint64 verzio = 1;
    qint64 tetelsor = 0;
    qint64 sorszam = 0;
    QString datum;
    qint64 tevsorszam = 0;
    // The row as loaded: what a guarded update compares.
    QString tevkod;       // the stored code ("FIZ" for a billing item)
    QString tevallapot;
    QString soforkod;     // as stored, trimmed; "" for NULL, '' and blanks alike
    QString arukod;
    QString komment;      // the row's own remark
    qint64 mennyiseg = 0;
    qint64 nettoar = 0;
    QString kp;           // "I" when the contract pays in cash
    bool fromPhone = false;   // its last mark came from a driver's phone
};

// One line of the sheet: the columns of the work table and the rows behind it.
struct DaySheetLine {
    int tsorszam = 0;
    QString ugyfel, cim;
    qint64 db = 0;
    QString tipus, tevnev, sofor, status, termekkodok, netto, komment, bizonylat;
    QString tevallapot, ugyfelkod, ugyfelcim, modosithato, tevkod, soforkod, szin;
    qint64 nettofiz = 0;
    qint64 bruttofiz = 0;
    // A source row's last mark came from a driver's phone: the line's colour
    // (szin) is PhoneMarkColorName() and its remark starts with
    // "Telefonról jelölve (<driver code> <name>, ...), ".
    bool fromPhone = false;
    // The pictures (FORGKEP) of its activities, counted once per loaded day
    // (CountImagesOfDay); billing rows have none.
    int images = 0;
    QList<qint64> contracts;   // the distinct contract numbers, in order of first appearance
    QList<SourceRow> sources;  // in the order of the source query
};

// The filter of the visible list.
struct DaySheetFilter {
    QString customerKey;       // "" : every customer
    QString driverCode;        // "" : every driver
    bool noDriver = false;     // only the lines without a driver (the driver is then ignored)
    bool hideDeleted = true;   // leave out the deleted lines
    bool operator==(const DaySheetFilter& o) const {
        return customerKey == o.customerKey && driverCode == o.driverCode && noDriver == o.noDriver &&
               hideDeleted == o.hideDeleted;
    }
};

// One record of the activity summary.
struct TTevsum {
    QString code;
    QString name;
    qint64 total = 0;
};

// The message when the template of the work table is missing.
QString NoTemplateText();

// FORRAS of a row whose last mark came from a driver's phone ("telefon").
QString PhoneSourceText();
// The colour of a line marked from a phone ("FAKÓSÁRGA") and its remark's
// marker ("Telefonról jelölve").
QString PhoneMarkColorName();
QString PhoneMarkedText();

// Whether a line's state class counts as the day's work (planned, planned
// again or done: "I", "i", "N"; deleted and moved lines do not), and whether
// it is still planned ("I", "i").
bool CountsAsDayWork(const QString& modosithato);
bool IsPlannedClass(const QString& modosithato);

// The source rows of a day (activities and billing items), in folding order.
vl::db::RowSet DaySheetSourceRows(vl::db::Transaction& tx, const QString& day);
// The statements DaySheetSourceRows runs (the day bound as :datum), for the
// benchmark's plans.
QStringList DaySheetSourceStatements();
// Folds source rows into lines, numbered from 1. vatFactor prices the gross
// of rows that carry no gross of their own.
QList<DaySheetLine> FoldDaySheet(const vl::db::RowSet& rows, double vatFactor);

// The visits planned on a day from `fromDay` up to the day before `day` and
// still planned (state of class "I" or "i") on active, not cancelled
// contracts, one row per day, contract and activity: DATUM, BIZONYLAT,
// VERZIO, TEVKOD, TEVNEV, DB (the cabins), ARUKOD (the lowest code), SOFORKOD
// (the lowest), SOFOR, UGYFELKOD, UGYFEL, CIM, by day, customer, contract and activity.
vl::db::RowSet OverdueVisits(vl::db::Transaction& tx, const QString& fromDay, const QString& day);

// The visits (the activities) per day and driver from `from` to `to`, of
// every contract: DATUM, SOFORKOD ("" none), SOFOR, ELVEGEZVE (done) and
// TERVEZETT (still planned), by day, then the driver's code compared as
// plain text (the overview orders its drivers by name itself).
vl::db::RowSet VisitsPerDay(vl::db::Transaction& tx, const QString& from, const QString& to);

// The columns of the grid whose title sorts ("*").
const QStringList& SortableColumns();

class DaySheet {
public:
    DaySheet(vl::db::Connection& conn, const vl::shell::Session& session, double vatFactor);

    // The work table's name ("" before the first load).
    const QString& tableName() const { return table_; }
    // The connection to work on from now on: the program's connection after
    // a reconnect (the work table stays the same).
    void useConnection(vl::db::Connection& conn) { conn_ = &conn; }
    const QString& day() const { return day_; }
    // The kind of the loaded day from the working calendar ("Munkaszüneti
    // nap: Húsvéthétfő"), "" for an ordinary day.
    const QString& dayKind() const { return dayKind_; }

    // Builds the sheet of a day ('yyyy.mm.dd' or 'yyyymmdd'): makes or empties
    // the work table, folds the lines into it, clears the marks, then applies
    // the current filter. Raises RuleRefusal for an invalid day or a missing
    // template ("TMP minta (TEVNAPLO) nincs meg"); nothing is written then.
    // Lines whose insert fails are reported in failedInserts().
    void LoadDaySheet(const QString& day);
    // The same with a filter of its own, checked first (a refusal writes
    // nothing and keeps the last filter): the list is read once, filtered.
    void LoadDaySheet(const QString& day, const DaySheetFilter& filter);
    // Applies a filter and the current order; rebuilds the summary. A filter
    // other than the last one clears the marks, so no hidden line stays marked.
    // Raises RuleRefusal for a customer or driver that does not exist.
    void FilterDaySheet(const DaySheetFilter& filter);
    // Switches the mark of a line; false when the line is not on the sheet.
    bool ToggleLineMark(int tsorszam);
    // "Order By <column>" (with ",CIM" unless it is CIM) for one of the
    // sortable columns; reopens the list. False for any other column.
    bool SortBy(const QString& column);

    const DaySheetFilter& filter() const { return filter_; }
    const QString& orderColumn() const { return order_; }
    // The visible list as last opened.
    const vl::db::RowSet& visible() const { return visible_; }
    // The statement of the visible list and its parameters (also for the daily list).
    QString filterLine() const;      // "" or "WHERE ..."
    vl::db::Params filterParams() const;
    QString orderLine() const;

    const QList<int>& marks() const { return marks_; }
    const QList<TTevsum>& Atevsum() const { return sum_; }
    // name + ":" + total, joined by ", ".
    QString summaryText() const;
    const QList<DaySheetLine>& lines() const { return lines_; }
    const DaySheetLine* line(int tsorszam) const;
    // The texts of lines whose insert failed at the last load.
    const QStringList& failedInserts() const { return failed_; }

    // Checks a filter's customer and driver against the registers.
    static void CheckFilter(vl::db::Transaction& tx, const DaySheetFilter& filter);

private:
    void ensureTable();
    void reopen();

    vl::db::Connection* conn_;
    vl::shell::Session session_;
    double vat_;
    QString table_;
    QString day_;
    QString dayKind_;
    DaySheetFilter filter_;
    QString order_ = QStringLiteral("CIM");
    vl::db::RowSet visible_;
    QList<int> marks_;
    QList<TTevsum> sum_;
    QList<DaySheetLine> lines_;
    QStringList failed_;
};

// A handover document to print for a marked line: its contract (from the
// line's source rows) and the line's activity.
struct HandoverDoc {
    qint64 contract = 0;
    qint64 version = 1;
    QString activity;
};
// The handover documents of the marked lines in mark order: the lines of a
// delivery ("KIH") or take-back ("VSZ"), one per contract of each. Raises
// RuleRefusal "Nincs erre a napra szállítás" when the visible lines hold
// neither, "Nincs kijelölve tétel" when no line is marked.
QList<HandoverDoc> HandoverDocuments(const DaySheet& sheet);

} // namespace vl::operations
