#pragma once
// The rules of the generic master-data editor, without widgets: what a table's
// panel holds, the browse statement, converting and checking typed values,
// the generated INSERT / UPDATE / DELETE with bound values, the key conditions,
// and the change log DOKU written in the same transaction as the change.
//
// Identifiers in the statements come from the catalogue (the table and its
// columns) or from the editor's own fixed texts; every value is bound. The
// caller's condition is control-table or program text, never typed by a user;
// values typed by a user reach it only as bound parameters.
#include "db/Catalogue.h"
#include "db/Database.h"
#include "framework/ControlTables.h"
#include "reporting/DictionaryList.h"
#include "shell/Queries.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace vl::framework {

// One field of the editor: a column of the table, on the panel or not.
struct PanelField {
    QString name;               // column name as the catalogue spells it
    vl::db::TableColumn col;
    int row = -1;               // index into EditorCore::panelRows().rows; -1: no VEZERLO row
    QString caption;            // label caption ("" when none)
    QString gridTitle;          // grid column title ("" when not a grid column)
    bool onPanel = false;       // has an edit or memo
    bool memo = false;
    bool hidden = false;        // EDITMASK '<rejt>': kept in the statements, not shown
    bool required = false;
    bool password = false;      // never read back, shown, logged, listed or exported
    QString editMask;           // display format of a FLOAT field
    // A reference field (a 'SZOT' button): the dictionary table and its key column
    // that a saved value must name (both "" when the dictionary is unknown);
    // refList: the field holds a comma list of codes (button function 999).
    QString refTable, refColumn, refColumnType;
    bool refList = false;
    // A flag field (a button that cycles through allowed letters): the letters.
    QString flagValues;
    QString displayName() const { return caption.isEmpty() ? name : caption; }
};

// A table's TABLAK caption as it reads inside a sentence ("Termék csoportok" ->
// "termék csoportok", an abbreviation kept); "" when TABLAK has none.
QString CaptionInText(vl::db::Connection& conn, const QString& table);

enum class EditMode { Closed, Browse, Insert, Update };
QString EditModeName(EditMode m); // "closed", "browse", "insert", "update"

// The panel's and the change log's text of a stored value (vl::db::displayText
// by the field's type word): integers as digits, floats by the mask (or in
// general form), booleans "T"/"F", null as "". Masked thousands are grouped
// with a blank, so the text reads back through ConvertText.
QString DisplayText(const PanelField& f, const QVariant& v);

struct ConvertResult {
    QVariant value;   // null for an empty text
    QString error;    // "" when the text fits the column
};
// Converts a typed text to the column's value: "" -> NULL; a flag field takes
// one of its letters (a letter of the other case is taken as the listed one
// when that is unambiguous); numbers must be
// numbers (ReadNumberEntry: a sign, digits, blanks grouping them and one '.' or
// ',' decimal separator, whatever the locale) and fit the column, a whole-number
// column takes no fraction; texts must fit the declared length.
ConvertResult ConvertText(const PanelField& f, const QString& text);

struct SaveResult {
    enum Status { Saved, Invalid, Conflict, Failed };
    Status status = Failed;
    QString message;       // the message to show (Invalid, Failed)
    QVariantList key;      // the saved row's key values (Saved)
    QString focusField;    // the field to focus (Invalid)
    QString serverText;    // the database server's own text (Failed)
};

class EditorCore {
public:
    // Reads the catalogue and the panel's VEZERLO rows. False when the table
    // does not exist (or is not a plain identifier).
    bool open(vl::db::Connection& conn, const QString& table, const QString& panel, const QString& panel2 = {});

    const QString& table() const { return table_; }
    const QString& panel() const { return panel_; }
    const QString& panel2() const { return panel2_; }
    const PanelRows& panelRows() const { return rows_; }
    bool usesFallbackPanel() const { return rows_.rows.isEmpty(); }
    const QList<PanelField>& fields() const { return fields_; }
    const PanelField* field(const QString& name) const;
    const QStringList& keyColumns() const { return keys_; }
    bool hasPrimaryKey() const { return hasPk_; }
    // Columns read by the browse statement: the panel's fields in order, then
    // any key column not on the panel; never a password column.
    QStringList selectList() const;
    // The sort list: field names and their display names.
    const QStringList& sortFields() const { return sortFields_; }
    const QStringList& sortTitles() const { return sortTitles_; }
    bool hasAktivColumn() const { return hasAktiv_; }

    // Browse state.
    Condition where;                 // the caller's condition
    bool activeOnly = true;          // "Csak az aktív tételeket látjuk"
    QString sortField;               // "" -> the key order
    // The browse statement and its parameters.
    QString browseSql(vl::db::Params* params) const;
    vl::db::RowSet browse(vl::db::Connection& conn) const;

    // "This column is a password" for the editor's table (vl::reporting::isPasswordColumn).
    bool isPassword(const QString& column) const;
    // The row with these key values (keyColumns() order) as a choice hands it
    // on: every column of the table but the password ones, read with the
    // values bound, with the framework's type word. Empty when the row is gone.
    vl::shell::ASelectedRecord readChosenRecord(vl::db::Connection& conn, const QVariantList& key) const;

    // Key values of a row of a browse result (select-list order).
    QVariantList keyOf(const vl::db::RowSet& rs, int row) const;
    // Index of the row with these key values, -1 when none.
    int locate(const vl::db::RowSet& rs, const QVariantList& key) const;
    // The key values joined with ';', at most 200 characters.
    static QString keyText(const QVariantList& key);
    // Display texts of a browse row by field name.
    QHash<QString, QString> rowTexts(const vl::db::RowSet& rs, int row) const;

    // Whether typed texts differ from a row (update mode). A typed password counts.
    bool isModified(const QHash<QString, QString>& texts, const vl::db::RowSet& rs, int row) const;

    // Saves a new row (Insert) or changes the row `row` of rs (Update). texts
    // holds the text of every field that has a control; an empty password
    // keeps the stored one. Nothing is written unless everything is valid; the
    // change and its DOKU rows (JUZER: the session's user) land in one
    // transaction: the caller's `outer` when given (the caller then rolls back
    // on any result but Saved), else one of its own.
    SaveResult save(vl::db::Connection& conn, vl::db::Transaction* outer, const vl::shell::Session& session,
                    EditMode mode, const QHash<QString, QString>& texts, const vl::db::RowSet* rs = nullptr,
                    int row = -1) const;
    // Deletes the row `row` of rs with its DOKU row, unless other rows name it;
    // transaction as save().
    SaveResult remove(vl::db::Connection& conn, vl::db::Transaction* outer, const vl::shell::Session& session,
                      const vl::db::RowSet& rs, int row) const;

    // The generated statements (for the record; save() builds them per call).
    QString insertSql(const QStringList& columns) const;
    QString updateSql(const QStringList& setColumns, const QList<bool>& oldIsNull) const;
    QString deleteSql(const QList<bool>& oldIsNull) const;

private:
    QStringList keyConditions(const QList<bool>& oldIsNull, const QString& prefix) const;
    void writeDoku(vl::db::Transaction& tx, const vl::shell::Session& session, const QString& action,
                   const QVariantList& key,
                   const QString& field, const QVariant& oldText, const QVariant& newText) const;
    bool keyExists(vl::db::Transaction& tx, const QVariantList& key) const;
    // The codes of a reference field's value that its dictionary lacks.
    QStringList missingCodes(vl::db::Connection& conn, const PanelField& f, const QVariant& value) const;

    QString table_, panel_, panel2_;
    PanelRows rows_;
    QList<PanelField> fields_;
    QStringList keys_;
    bool hasPk_ = false;
    bool hasAktiv_ = false;
    bool aktivBoolean_ = false;
    QStringList sortFields_, sortTitles_;
    QString driver_;
    QList<vl::db::TableColumn> columns_;                // the table's columns, as the catalogue has them
    QList<vl::reporting::PasswordColumn> secret_;       // the password columns, this table's panel marks among them
};

// Message texts of the editor.
namespace texts {
QString requiredEmpty(const QString& field);   // "Kitöltendő mezőt üresen hagyott : " + field
QString notANumber(const QString& field);      // "Nem jó szám: " + field
QString notAWholeNumber(const QString& field); // "Egész számot kell megadni: " + field
QString notInDictionary(const QString& field, const QString& value);
QString notAllowedValue(const QString& field, const QString& allowed);
QString tooLong(const QString& field, int max);
QString duplicateKey(const QString& key);
// "A tétel nem törölhető, mert 11 bérleti tétel hivatkozik rá." with the referring
// table's caption in running text; without a caption the table's name.
QString referenced(const QString& table, const QString& caption, qint64 count);
QString keyReferenced(const QString& table, const QString& caption, qint64 count);
QString invalidHeading();                      // heading of the list of problems
QString storeFailed(const QString& serverText);
QString noPrimaryKey();                        // "Nem törölhet elsődleges kulcs nélküli táblából"
QString updateConflict();                      // the question after an update that changed no row
QString alreadyDeleted();
} // namespace texts

} // namespace vl::framework
