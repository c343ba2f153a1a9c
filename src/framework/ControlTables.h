#pragma once
// Reading the control tables VEZERLO, PVEZERLO and DIFOLC, evaluating default
// values, and turning a dictionary condition into SQL text with bound values.
#include "db/Database.h"
#include "shell/Session.h"
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

namespace vl::framework {

// One VEZERLO row (one label, edit or button of a generated panel).
struct VezerloRow {
    QString modul;
    int sorrend = 0;
    QString nezhetiJog, irhatjaJog;
    QString mezo;          // upper-case column name, "" for a label/button row
    QString oszlopnev;     // grid column title
    QString megnevezes;    // label caption
    int valid = 0;
    QString valtMezo;
    QString button;
    QString szot, valt;
    int funkcio = 0;
    QString pvezerlo;
    QString szotwhere;
    QString szotmezo;
    QString plusfield[3];
    int plusfieldH[3] = {0, 0, 0};
    QString charcase;
    QString pwdchar;
    QString editmask;
    QString notnull;
    QString ecolor;
};

struct PanelRows {
    QList<VezerloRow> rows;
    // Optional columns that the VEZERLO table of this database has.
    bool hasIrhatja = false, hasPvezerlo = false, hasCharcase = false, hasPwdchar = false,
         hasEditmask = false, hasNotnull = false, hasEcolor = false;
    int megnevezesLength = 40; // declared length of VEZERLO.MEGNEVEZES
};

// The rows of a panel: MODUL equal to panel or panel2, NEZHETI_JOG not 'X'
// (any case, blanks ignored), in SORREND order. Panel "X" or a database
// without VEZERLO: no rows.
PanelRows ReadPanelRows(vl::db::Connection& conn, const QString& panel, const QString& panel2);

struct PvezerloRow {
    QString panel, szotmezo, qmezo, muvelet, szotmezo2;
};
QList<PvezerloRow> ReadPvezerlo(vl::db::Connection& conn, const QString& panel);

struct DifolcRow {
    QString mezo;
    QString ertek;
};
// DIFOLC rows of a table (MODUL upper-cased) in SORREND order; none without DIFOLC.
QList<DifolcRow> ReadDifolc(vl::db::Connection& conn, const QString& modul);

// The text of a panel field by name, or a null QString when the panel has no such field.
using FieldTextFn = std::function<QString(const QString& field)>;

// Evaluates a DIFOLC value:
//   '$text'            the text;
//   '#F'               the text of field F; '#F OR $text' / '#F OR #G' the
//                      alternative when F is missing;
//   '@FDATE'           today 'yyyy.mm.dd'; '@FDATETIME' now 'yyyy.mm.dd hh:nn:ss';
//   '@USER'            the code of the session's user;
// anything else: the text itself when literalOtherwise (a new record typed in
// the editor), else the empty value (a dictionary opened from another panel).
QString EvaluateDefault(const vl::shell::Session& session, const QString& ertek, const FieldTextFn& fieldText,
                        bool literalOtherwise);

// A condition of rows with its bound values.
struct Condition {
    QString text;            // without a leading WHERE; "" for none
    vl::db::Params params;
    bool isEmpty() const { return text.trimmed().isEmpty(); }
};

// A dictionary condition (VEZERLO.SZOTWHERE): the first '#G' names a field of
// the panel; it is replaced by a bound parameter holding that field's text (the
// whole condition is dropped when the panel has no such field); then the first
// '$' is removed.
Condition DictionaryCondition(const QString& szotwhere, const FieldTextFn& fieldText);

// A caller's condition: a leading "WHERE" (any case) is dropped.
Condition PlainCondition(const QString& where, const vl::db::Params& params = {});

// Info-field expressions ('T.F,K=Q' or 'T.F@A,K1+K2=Q1+Q2', or '#F').
struct InfoExpression {
    bool valid = false;
    bool isField = false;     // '#F'
    QString field;            // '#F': the column F
    QString table, column, alias;
    QStringList keyColumns;   // K1, K2 ... of the related table
    QStringList sourceFields; // Q1, Q2 ... of the panel's record
};
InfoExpression ParseInfoExpression(const QString& expr);
// Runs an info expression against the values of the source fields; the result
// is the distinct non-empty values joined with ", ". Table and columns must be
// known to the catalogue (otherwise ""). sourceValue gives the value of a
// source field of the current record.
QString EvaluateInfo(vl::db::Connection& conn, const InfoExpression& e,
                     const std::function<QVariant(const QString&)>& sourceValue);

} // namespace vl::framework
