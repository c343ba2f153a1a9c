#pragma once
// The rules of the list and query builder: the fields of a table that a list
// may use, output marks, sort positions and conditions chosen for them, the
// SELECT statement built from the choices, and the check that lets a typed
// statement run only when it is one single SELECT.
//
// The statement is built from catalogue names only (the table and its
// columns), each double-quoted by sqltext::quoteIdent, so a column named like a
// keyword stays a name; every condition value is a bound parameter (:p1, :p2 ...). A
// statement runs in a read-only transaction, whether built or typed.
// Password fields are never offered and never selected.
#include "db/Database.h"
#include "reporting/DictionaryList.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace vl::framework {

// Operators of a condition, in the order of the operator list.
enum class CondOp { Equal, Greater, GreaterEq, Less, LessEq, NotEqual, Contains, EndsWith, StartsWith, Between, IsNull };

// The operator list's items, in CondOp order ("=    egyenlő", ...).
QStringList ConditionOperatorItems();
// The operator of an item (its first four characters, trimmed: "=", "%t%", "[]", "null").
CondOp ConditionOperatorOfItem(const QString& item);
QString ConditionOperatorToken(CondOp op); // "=", ">", ">=", "<", "<=", "<>", "%t%", "%t", "t%", "[]", "null"

struct CondTerm {
    CondOp op = CondOp::Equal;
    QString value;      // trimmed
    QString value2;     // trimmed; the upper bound of "between"
    bool joinAnd = false; // joined to the terms before it with "and" (a "<>" term), else "or"
};

struct ListField {
    QString column;     // catalogue name of the column
    QString caption;    // VEZERLO.MEGNEVEZES, or the column name
    QString typeWord;   // VARCHAR, INTEGER, SMALLINT, FLOAT, MEMO ...
    int mark = 0;       // output position 1..35 (0: not output)
    int sortPos = 0;    // sort position 1.. (0: not sorted)
    bool joinOr = false; // how the field's condition joins the others ("és/vagy")
    QList<CondTerm> terms;
};

// A built statement: the text (parameters as :p1 ...) and the values bound to it.
struct BuiltQuery {
    QString sql;
    vl::db::Params params;
    QString selectedFields;  // summary: the selected fields as in the SELECT
    QString condition;       // summary: the condition with its values quoted (for reading only)
    QString order;           // summary: the sort fields joined with " , "
};

// Result of checking a typed statement.
struct SqlCheck {
    bool ok = false;
    QString message; // the refusal, for the user
    int end = -1;    // position of the ';' that closes the statement, -1 when none
};

// A typed statement may run only when it is one single SELECT (or a WITH ...
// SELECT): read through the SQL text scanner, so comments, literals ('...',
// q'{...}') and quoted names are skipped; a ';' may only close the statement,
// and a generator may not be stepped (GEN_ID, NEXT VALUE FOR).
SqlCheck CheckSingleSelect(const QString& sql);

// The identifiers a statement names, in order: plain words upper-cased, quoted
// identifiers as written; string literals and comments are skipped.
QStringList StatementIdentifiers(const QString& sql);
// The first identifier that is one of the password column names ("" when none).
// A password column may not be named anywhere in a typed statement, whatever
// alias or expression wraps it.
QString NamedPasswordColumn(const QStringList& identifiers, const QStringList& passwordNames);

// Why a typed statement may not run for what it reads ("" when it may). A
// typed statement may not read a table that holds a password column at all
// (vl::reporting::holdsPasswordColumn: SZ_JUZER, CEG for its FTP password,
// every table with a field VEZERLO marks): every name the statement holds
// (words and quoted identifiers, read by the SQL text scanner past literals
// and comments; a name right after a '.' is a column and is skipped) that is
// such a table, or a view, procedure, function or package that reads one
// through the catalogue (vl::db::ReadDependencies, followed recursively),
// refuses it, whatever alias, derived table, union or common table expression
// wraps it. A name of a password column anywhere refuses it as well
// (NamedPasswordColumn). The list builder's typed statement and the export
// command both ask this one function; the filter on result columns
// (withoutPasswordColumns) stays behind it as a second line.
QString TypedStatementRefusal(vl::db::Connection& conn, const QString& statement,
                              const QList<vl::reporting::PasswordColumn>& secret);

// Texts of the refusals.
QString PasswordColumnText(const QString& column);
// "Jelszót tartalmazó tábla nem olvasható: SZ_JUZER" (+ " (a(z) V_X olvassa)" when reached through V_X).
QString PasswordTableText(const QString& table, const QString& through = {});
QString NotSelectText();        // "Csak SELECT utasítás futtatható."
QString SeveralStatementsText();
QString NoStatementText();
QString FreeSqlRightText();     // a user without "W" typed a statement
QString MaxMarksText();

class ListBuilder {
public:
    static constexpr int MaxMarks = 35; // "1".."9", "A".."Z"

    // Reads the fields of a table: its VEZERLO rows in SORREND order (rows
    // without a column of the table, MEMO-button rows and password fields left
    // out), or every column of the table when it has no such rows. False when
    // the table does not exist.
    bool load(vl::db::Connection& conn, const QString& table);

    const QString& table() const { return table_; }
    const QList<ListField>& fields() const { return fields_; }
    int fieldCount() const { return int(fields_.size()); }
    const ListField& field(int row) const { return fields_.at(row); }
    // Columns of the table that are never selected (password columns).
    const QStringList& hiddenColumns() const { return hidden_; }

    int highestMark() const;
    int highestSortPos() const;
    bool anyMarked() const { return highestMark() > 0; }

    // Output mark of a field: an empty one gets the next mark after the
    // highest; a marked one loses it and the higher marks move down one.
    // False (nothing changes) when all 35 marks are taken.
    bool toggleMark(int row);
    // Sort position: allowed when the field is marked, already sorted, or any
    // field is marked. An empty one gets the next position; a numbered one
    // loses it and the higher positions move down one.
    bool toggleSort(int row);
    // "and" -> "or" -> "and".
    void cycleJoin(int row);

    // Adds a condition term to a field ("" on success, else the refusal).
    // Several terms of a field are joined with "or", a "<>" term with "and".
    // Values are checked against the column's type (numbers for numeric columns).
    QString addCondition(int row, CondOp op, const QString& value, const QString& value2 = {});
    void clearCondition(int row);
    void clearAllConditions();
    // Forgets every mark, sort position and condition.
    void reset();

    // Cell texts of the field grid.
    static QString markChar(int mark); // 1 -> "1", 10 -> "A", 35 -> "Z"; 0 -> ""
    QString markText(int row) const { return markChar(fields_.at(row).mark); }
    QString sortText(int row) const;
    QString joinText(int row) const;
    QString conditionText(int row) const; // " = 'A' or  = 'B'"

    // Builds the statement from the choices.
    BuiltQuery build() const;

    // Statement of the distinct values of a field (ordered, at most 1000).
    QString distinctSql(int row) const;
    QStringList distinctValues(vl::db::Connection& conn, int row) const;

    // Runs a built statement in a read-only transaction. Throws DbError.
    vl::db::RowSet run(vl::db::Connection& conn, const BuiltQuery& q) const;
    // Runs a typed statement: refused (message set, false returned) when the
    // user lacks "W", the text is not one single SELECT, or it names a password
    // column; parameters that the text names are bound from params. Read-only
    // transaction; DbError is thrown on a server error. Columns that show a
    // password column are removed from the rows (withoutPasswordColumns).
    bool runTyped(vl::db::Connection& conn, const QString& sql, const QString& userRights,
                  const vl::db::Params& params, vl::db::RowSet* rows, QString* message) const;

private:
    QString conditionSql(const ListField& f, vl::db::Params* params, QString* readable) const;

    QString table_;
    QList<ListField> fields_;
    QStringList allColumns_;  // every column of the table, in column order
    QStringList hidden_;
    QList<vl::reporting::PasswordColumn> secret_; // every password column of the database
};

} // namespace vl::framework
