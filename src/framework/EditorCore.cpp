#include "framework/EditorCore.h"

#include <QHash>

#include "db/DisplayText.h"
#include "db/SqlText.h"
#include "reporting/DictionaryList.h"
#include "db/TxScope.h"
#include "shell/Dm.h"
#include "shell/Login.h"
#include "framework/References.h"
#include "framework/Rights.h"
#include "framework/Validation.h"
#include "util/Numbers.h"
#include "util/Texts.h"

#include <QDateTime>
#include <QLocale>
#include <limits>

namespace vl::framework {

using vl::db::Connection;
using vl::db::DbError;
using vl::db::Params;
using vl::db::RowSet;

namespace texts {
QString requiredEmpty(const QString& field) { return QStringLiteral("Kitöltendő mezőt üresen hagyott : ") + field; }
QString notANumber(const QString& field) { return QStringLiteral("Nem jó szám: ") + field; }
QString notAWholeNumber(const QString& field) { return QStringLiteral("Egész számot kell megadni: ") + field; }
QString notInDictionary(const QString& field, const QString& value) {
    return QStringLiteral("A megadott kód nincs a szótárban: %1 (%2)").arg(field, value);
}
QString notAllowedValue(const QString& field, const QString& allowed) {
    return QStringLiteral("Nem megengedett érték: %1 (megadható értékek: %2)").arg(field, allowed);
}
QString tooLong(const QString& field, int max) {
    return QStringLiteral("Túl hosszú érték: %1 (legfeljebb %2 karakter)").arg(field).arg(max);
}
QString duplicateKey(const QString& key) { return QStringLiteral("Már van ilyen kulcsú tétel: ") + key; }
namespace {
// A noun after a number stands in the singular in Hungarian ("11 bérleti
// tétel"), while table captions are plural ("Bérleti tételek"): the last word
// loses its plural ending. A caption that is not plural stays as it is.
QString singularCaption(const QString& caption) {
    const qsizetype cut = caption.lastIndexOf(QLatin1Char(' ')) + 1;
    const QString head = caption.left(cut);
    const QString w = caption.mid(cut);
    static const QHash<QString, QString> irregular{
        {QStringLiteral("ügyfelek"), QStringLiteral("ügyfél")},
        {QStringLiteral("kerekek"), QStringLiteral("kerék")},
        {QStringLiteral("kezek"), QStringLiteral("kéz")},
        {QStringLiteral("nevek"), QStringLiteral("név")},
        {QStringLiteral("levelek"), QStringLiteral("levél")},
        {QStringLiteral("helyek"), QStringLiteral("hely")},
    };
    for (auto it = irregular.constBegin(); it != irregular.constEnd(); ++it)
        if (w.endsWith(it.key())) return head + w.left(w.size() - it.key().size()) + it.value();
    if (w.size() < 4 || !w.endsWith(u'k')) return caption;
    const QChar v = w.at(w.size() - 2);
    // a linking vowel before the plural k: tételek, csoportok, sofőrök, árak
    if (v == u'e' || v == u'o' || v == u'ö' || v == u'a') return head + w.left(w.size() - 2);
    // a stem's own final vowel lengthened: kefék, kabinák
    if (v == u'é') return head + w.left(w.size() - 2) + u'e';
    if (v == u'á') return head + w.left(w.size() - 2) + u'a';
    // a stem ending in a long vowel: vezetők, díjak are caught above
    if (v == u'ő' || v == u'ó' || v == u'ú' || v == u'ű' || v == u'i' || v == u'í' || v == u'u' || v == u'ü')
        return head + w.left(w.size() - 1);
    return caption;
}

// "11 bérleti tétel" with the referring table's caption, else "a(z) FORGSOR tábla 11 sora".
QString referringRows(const QString& table, const QString& caption, qint64 count) {
    if (!caption.isEmpty()) return QStringLiteral("%1 %2").arg(count).arg(singularCaption(caption));
    return QStringLiteral("a(z) %1 tábla %2 sora").arg(table).arg(count);
}
} // namespace
QString referenced(const QString& table, const QString& caption, qint64 count) {
    return QStringLiteral("A tétel nem törölhető, mert %1 hivatkozik rá.").arg(referringRows(table, caption, count));
}
QString keyReferenced(const QString& table, const QString& caption, qint64 count) {
    return QStringLiteral("A kulcs nem módosítható, mert %1 hivatkozik rá.").arg(referringRows(table, caption, count));
}
QString invalidHeading() { return QStringLiteral("A tétel nem tárolható:"); }
QString storeFailed(const QString& serverText) {
    return QStringLiteral("Hiba történt tárolás közben, az adatbázis nem változott:\n") + serverText;
}
QString noPrimaryKey() { return QStringLiteral("Nem törölhet elsődleges kulcs nélküli táblából"); }
QString updateConflict() {
    return QStringLiteral("Nem sikerült a módosítás.\nValaki törölte a tételt, vagy átírta a kulcsot.\n"
                          "Mindenképpen tárolni akarja a módosításait (új tételként)?");
}
QString alreadyDeleted() { return QStringLiteral("A tételt időközben valaki más törölte."); }
} // namespace texts

QString EditModeName(EditMode m) {
    switch (m) {
    case EditMode::Closed: return QStringLiteral("closed");
    case EditMode::Browse: return QStringLiteral("browse");
    case EditMode::Insert: return QStringLiteral("insert");
    case EditMode::Update: return QStringLiteral("update");
    }
    return QString();
}

QString DisplayText(const PanelField& f, const QVariant& v) {
    using vl::db::ColType;
    vl::db::DisplayFormat shown;
    const QString& w = f.col.typeWord;
    if (w == QStringLiteral("FLOAT")) {
        shown.type = ColType::Float;
        shown.mask = f.editMask;
    } else if (w == QStringLiteral("INTEGER") || w == QStringLiteral("SMALLINT")) {
        shown.type = ColType::Int64;
    } else if (w == QStringLiteral("BOOLEAN")) {
        shown.type = ColType::Boolean;
        shown.boolLetters = true;
    } else {
        // Texts, memos, dates: as they are stored.
        return vl::util::VarToText(v);
    }
    return vl::db::displayText(v, shown);
}

namespace {

// The allowed letter a flag field's text stands for; a null QChar when none.
QChar flagLetter(const QString& allowed, const QString& text) {
    const QString t = text.trimmed();
    if (t.size() != 1) return QChar();
    if (allowed.contains(t.at(0))) return t.at(0);
    QChar found;
    for (const QChar c : allowed) {
        if (c.toUpper() != t.at(0).toUpper()) continue;
        if (!found.isNull()) return QChar(); // "i" where both "I" and "i" are listed is listed itself
        found = c;
    }
    return found;
}

// Button kinds that do not cycle through letters.
bool isFlagButton(const QString& button, int funkcio) {
    static const QStringList kinds{QStringLiteral("SZOT"), QStringLiteral("VALT"), QStringLiteral("PIX"),
                                   QStringLiteral("TEXT"), QStringLiteral("DATE"), QStringLiteral("KPN"),
                                   QStringLiteral("FORM"), QStringLiteral("MEMO")};
    const QString k = button.trimmed().toUpper();
    return !k.isEmpty() && !kinds.contains(k) && funkcio != 2;
}

// A store the database refused: the text to show, and the server's own.
SaveResult failedStore(SaveResult res, const DbError& e) {
    res.status = SaveResult::Failed;
    res.message = texts::storeFailed(e.text());
    res.serverText = e.text();
    return res;
}

} // namespace

ConvertResult ConvertText(const PanelField& f, const QString& text) {
    ConvertResult r;
    if (text.trimmed().isEmpty()) return r;
    const QString& w = f.col.typeWord;
    if (!f.flagValues.isEmpty() && !f.memo) {
        const QChar letter = flagLetter(f.flagValues, text);
        if (letter.isNull()) {
            r.error = texts::notAllowedValue(f.displayName(), f.flagValues);
            return r;
        }
        if (w == QStringLiteral("VARCHAR") || w.isEmpty()) {
            r.value = QString(letter);
            return r;
        }
    }
    if (w == QStringLiteral("VARCHAR")) {
        if (f.col.length > 0 && text.length() > f.col.length) r.error = texts::tooLong(f.displayName(), f.col.length);
        else r.value = text;
        return r;
    }
    if (w == QStringLiteral("INTEGER") || w == QStringLiteral("SMALLINT")) {
        const NumberEntry n = ReadNumberEntry(text);
        qint64 lo = std::numeric_limits<qint64>::min(), hi = std::numeric_limits<qint64>::max();
        if (f.col.typeName == QStringLiteral("SMALLINT")) { lo = -32768; hi = 32767; }
        else if (f.col.typeName == QStringLiteral("INTEGER")) { lo = std::numeric_limits<qint32>::min(); hi = std::numeric_limits<qint32>::max(); }
        if (n.ok && n.fraction) r.error = texts::notAWholeNumber(f.displayName());
        else if (!n.ok || n.overflow || n.whole < lo || n.whole > hi) r.error = texts::notANumber(f.displayName());
        else r.value = n.whole;
        return r;
    }
    if (w == QStringLiteral("FLOAT")) {
        // Either ',' or '.' is the decimal separator, whatever the locale; blanks group.
        const NumberEntry n = ReadNumberEntry(text);
        if (!n.ok) r.error = texts::notANumber(f.displayName());
        else r.value = n.value;
        return r;
    }
    if (w == QStringLiteral("BOOLEAN")) {
        const QString u = vl::util::UpperHu(text.trimmed());
        if (u == QStringLiteral("I") || u == QStringLiteral("T") || u == QStringLiteral("1") || u == QStringLiteral("IGEN") || u == QStringLiteral("TRUE"))
            r.value = true;
        else if (u == QStringLiteral("N") || u == QStringLiteral("F") || u == QStringLiteral("0") || u == QStringLiteral("NEM") || u == QStringLiteral("FALSE"))
            r.value = false;
        else r.error = QStringLiteral("Nem jó érték (I vagy N): ") + f.displayName();
        return r;
    }
    r.value = text; // memos, dates and other types: the server converts
    return r;
}

QString CaptionInText(Connection& conn, const QString& table) {
    const QString caption = ReadTableEntry(conn, table).caption.simplified();
    // Lower-cased as in a sentence, but an abbreviation ("ÁFA") stays as it is.
    QStringList words = caption.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (QString& w : words) {
        int upper = 0, letters = 0;
        for (const QChar c : w) {
            if (!c.isLetter()) continue;
            ++letters;
            if (c.isUpper()) ++upper;
        }
        if (!(letters > 1 && upper == letters)) w = vl::util::LowerHu(w);
    }
    return words.join(QLatin1Char(' '));
}

// ------------------------------------------------------------------ EditorCore

bool EditorCore::open(Connection& conn, const QString& table, const QString& panel, const QString& panel2) {
    table_ = table.trimmed().toUpper();
    panel_ = panel.trimmed().toUpper();
    panel2_ = panel2.trimmed().toUpper();
    fields_.clear();
    sortFields_.clear();
    sortTitles_.clear();
    keys_.clear();
    columns_.clear();
    secret_.clear();
    driver_ = conn.driverName();
    if (!vl::db::IsPlainIdentifier(table_) || !vl::db::TableExists(conn, table_)) return false;
    const QList<vl::db::TableColumn> cols = vl::db::TableColumns(conn, table_);
    if (cols.isEmpty()) return false;
    columns_ = cols;
    // The password columns of the database; a field its panel marks (a panel
    // named otherwise than its table) is one of this table's.
    secret_ = vl::reporting::passwordColumnsOf(conn);
    for (const auto& s : QList<vl::reporting::PasswordColumn>(secret_))
        if (!s.table.isEmpty() && (s.table == panel_ || s.table == panel2_)) secret_.append({table_, s.column});
    auto colOf = [&cols](const QString& n) -> const vl::db::TableColumn* {
        for (const auto& c : cols)
            if (c.name.compare(n, Qt::CaseInsensitive) == 0) return &c;
        return nullptr;
    };
    const QStringList pk = vl::db::PrimaryKeyList(conn, table_);
    hasPk_ = !pk.isEmpty();
    for (const QString& k : pk)
        if (const auto* c = colOf(k)) keys_ << c->name;
    auto isKey = [this](const QString& n) { return keys_.contains(n); };

    rows_ = ReadPanelRows(conn, panel_, panel2_);
    auto addSort = [this](const PanelField& f, const QString& title) {
        if (f.memo || f.password || !vl::db::IsPlainIdentifier(f.name)) return;
        sortFields_ << f.name;
        sortTitles_ << (title.isEmpty() ? f.name : title);
    };
    for (int i = 0; i < rows_.rows.size(); ++i) {
        const VezerloRow& r = rows_.rows.at(i);
        if (r.mezo.isEmpty()) continue;
        const auto* c = colOf(r.mezo);
        if (!c || !vl::db::IsPlainIdentifier(c->name) || field(c->name)) continue;
        PanelField f;
        f.name = c->name;
        f.col = *c;
        f.row = i;
        f.caption = r.megnevezes;
        f.onPanel = true;
        f.memo = c->typeWord == QStringLiteral("MEMO");
        f.hidden = r.editmask.compare(QStringLiteral("<rejt>"), Qt::CaseInsensitive) == 0;
        f.editMask = f.hidden ? QString() : r.editmask;
        f.password = isPassword(f.name);
        f.required = c->notNull || r.notnull == QStringLiteral("I");
        if (r.button.trimmed().compare(QStringLiteral("SZOT"), Qt::CaseInsensitive) == 0 && !f.memo) {
            // The dictionary and its key column as the catalogue names them.
            const QString dict = r.szot.trimmed().toUpper();
            const QString keyName = r.szotmezo.trimmed().isEmpty() ? QStringLiteral("KOD") : r.szotmezo.trimmed();
            if (vl::db::IsPlainIdentifier(dict) && vl::db::TableExists(conn, dict)) {
                for (const auto& dc : vl::db::TableColumns(conn, dict)) {
                    if (dc.name.compare(keyName, Qt::CaseInsensitive) != 0 || !vl::db::IsPlainIdentifier(dc.name)) continue;
                    f.refTable = dict;
                    f.refColumn = dc.name;
                    f.refColumnType = dc.typeWord;
                }
            }
            f.refList = r.funkcio == 999;
        } else if (isFlagButton(r.button, r.funkcio) && !f.memo && !f.password) {
            f.flagValues = r.button.trimmed();
        }
        if (!f.password && (!r.oszlopnev.isEmpty() || isKey(f.name)))
            f.gridTitle = r.oszlopnev.isEmpty() ? f.name : r.oszlopnev;
        fields_ << f;
        addSort(f, r.oszlopnev.isEmpty() ? r.megnevezes : r.oszlopnev);
    }
    if (fields_.isEmpty()) {
        // No field definitions: one labelled edit per column.
        rows_.rows.clear();
        for (const auto& c : cols) {
            if (!vl::db::IsPlainIdentifier(c.name)) continue;
            PanelField f;
            f.name = c.name;
            f.col = c;
            f.onPanel = true;
            f.memo = c.typeWord == QStringLiteral("MEMO");
            f.password = isPassword(f.name);
            f.required = c.notNull;
            if (!f.password) f.gridTitle = c.name;
            fields_ << f;
            addSort(f, c.name);
        }
    }
    for (const QString& k : keys_) {
        if (field(k)) continue;
        PanelField f;
        f.name = k;
        f.col = *colOf(k);
        f.gridTitle = k;
        fields_ << f;
    }
    if (!hasPk_) {
        // Without a primary key every plain column of the select list identifies the row.
        for (const PanelField& f : fields_)
            if (!f.memo && !f.password) keys_ << f.name;
    }
    const vl::db::TableColumn* aktiv = colOf(QStringLiteral("AKTIV"));
    hasAktiv_ = aktiv != nullptr;
    aktivBoolean_ = aktiv && aktiv->typeWord == QStringLiteral("BOOLEAN");
    sortField = sortFields_.isEmpty() ? QString() : sortFields_.first();
    return true;
}

bool EditorCore::isPassword(const QString& column) const {
    return vl::reporting::isPasswordColumn(table_, column, secret_);
}

vl::shell::ASelectedRecord EditorCore::readChosenRecord(Connection& conn, const QVariantList& key) const {
    QList<bool> isNull;
    Params p;
    for (int i = 0; i < keys_.size(); ++i) {
        const QVariant v = key.value(i);
        isNull << v.isNull();
        if (!v.isNull()) p.push_back({QStringLiteral("k%1").arg(i), v});
    }
    QStringList select;
    for (const auto& c : columns_)
        if (!isPassword(c.name)) select << vl::db::sqltext::quoteIdent(c.name);
    vl::shell::ASelectedRecord rec;
    if (select.isEmpty() || keys_.isEmpty()) return rec;
    const RowSet rs = conn.query(QStringLiteral("SELECT ") + select.join(QStringLiteral(", ")) + QStringLiteral(" FROM ")
                                     + table_ + QStringLiteral(" WHERE ")
                                     + keyConditions(isNull, QStringLiteral("k")).join(QStringLiteral(" AND ")),
                                 p);
    if (rs.rowCount() == 0) return rec;
    for (int c = 0; c < rs.columnCount(); ++c)
        rec << vl::shell::TSelectedRecord{rs.columns().at(c).name, vl::db::FieldTypeName(rs.columns().at(c)), rs.at(0, c)};
    return rec;
}

const PanelField* EditorCore::field(const QString& name) const {
    for (const PanelField& f : fields_)
        if (f.name.compare(name, Qt::CaseInsensitive) == 0) return &f;
    return nullptr;
}

QStringList EditorCore::selectList() const {
    QStringList l;
    for (const PanelField& f : fields_)
        if (!f.password) l << f.name;
    return l;
}

QString EditorCore::browseSql(Params* params) const {
    QString sql = QStringLiteral("SELECT ") + selectList().join(QStringLiteral(", ")) + QStringLiteral(" FROM ") + table_;
    QStringList conds;
    if (!where.isEmpty()) conds << QStringLiteral("(") + where.text + QStringLiteral(")");
    // A flag column holds 'I'; a table of its own may keep the flag as a BOOLEAN.
    if (activeOnly && hasAktiv_)
        conds << (aktivBoolean_ ? QStringLiteral("(AKTIV = TRUE)") : QStringLiteral("(AKTIV='I' and not AKTIV is null)"));
    if (!conds.isEmpty()) sql += QStringLiteral(" WHERE ") + conds.join(QStringLiteral(" AND "));
    QStringList order;
    if (!sortField.isEmpty() && sortFields_.contains(sortField)) order << sortField;
    for (const QString& k : keys_)
        if (!order.contains(k)) order << k;
    if (!order.isEmpty()) sql += QStringLiteral(" ORDER BY ") + order.join(QStringLiteral(", "));
    if (params) *params = where.isEmpty() ? Params{} : where.params;
    return sql;
}

RowSet EditorCore::browse(Connection& conn) const {
    Params p;
    const QString sql = browseSql(&p);
    return conn.query(sql, p);
}

QVariantList EditorCore::keyOf(const RowSet& rs, int row) const {
    QVariantList key;
    if (row < 0 || row >= rs.rowCount()) return key;
    for (const QString& k : keys_) {
        const int c = rs.indexOf(k);
        key << (c >= 0 ? rs.at(row, c) : QVariant());
    }
    return key;
}

int EditorCore::locate(const RowSet& rs, const QVariantList& key) const {
    if (key.isEmpty()) return -1;
    for (int r = 0; r < rs.rowCount(); ++r) {
        const QVariantList k = keyOf(rs, r);
        bool same = k.size() == key.size();
        for (int i = 0; same && i < k.size(); ++i)
            same = k.at(i).isNull() == key.at(i).isNull() && vl::util::VarToText(k.at(i)) == vl::util::VarToText(key.at(i));
        if (same) return r;
    }
    return -1;
}

QString EditorCore::keyText(const QVariantList& key) {
    QStringList parts;
    for (const QVariant& v : key) parts << vl::util::VarToText(v);
    return parts.join(QLatin1Char(';')).left(200);
}

QHash<QString, QString> EditorCore::rowTexts(const RowSet& rs, int row) const {
    QHash<QString, QString> t;
    for (const PanelField& f : fields_) {
        if (f.password) { t.insert(f.name, QString()); continue; }
        const int c = rs.indexOf(f.name);
        t.insert(f.name, (row >= 0 && row < rs.rowCount() && c >= 0) ? DisplayText(f, rs.at(row, c)) : QString());
    }
    return t;
}

bool EditorCore::isModified(const QHash<QString, QString>& texts, const RowSet& rs, int row) const {
    const QHash<QString, QString> stored = rowTexts(rs, row);
    for (auto it = texts.constBegin(); it != texts.constEnd(); ++it) {
        const PanelField* f = field(it.key());
        if (!f || !f->onPanel) continue;
        if (f->password) {
            if (!it.value().isEmpty()) return true;
            continue;
        }
        const QString now = f->col.typeWord == QStringLiteral("FLOAT") ? it.value().trimmed() : it.value();
        if (now != stored.value(f->name)) return true;
    }
    return false;
}

QStringList EditorCore::keyConditions(const QList<bool>& oldIsNull, const QString& prefix) const {
    QStringList conds;
    for (int i = 0; i < keys_.size(); ++i) {
        if (i < oldIsNull.size() && oldIsNull.at(i)) conds << keys_.at(i) + QStringLiteral(" IS NULL");
        else conds << keys_.at(i) + QStringLiteral(" = :") + prefix + QString::number(i);
    }
    return conds;
}

QString EditorCore::insertSql(const QStringList& columns) const {
    QStringList params;
    for (int i = 0; i < columns.size(); ++i) params << QStringLiteral(":p%1").arg(i);
    QString sql = QStringLiteral("INSERT INTO ") + table_ + QStringLiteral(" (") + columns.join(QStringLiteral(", "))
                  + QStringLiteral(") VALUES (") + params.join(QStringLiteral(", ")) + QStringLiteral(")");
    if (hasPk_ && driver_ == QStringLiteral("INTRBASE"))
        sql += QStringLiteral(" RETURNING ") + keys_.join(QStringLiteral(", "));
    return sql;
}

QString EditorCore::updateSql(const QStringList& setColumns, const QList<bool>& oldIsNull) const {
    QStringList sets;
    for (int i = 0; i < setColumns.size(); ++i) sets << setColumns.at(i) + QStringLiteral(" = :p%1").arg(i);
    return QStringLiteral("UPDATE ") + table_ + QStringLiteral(" SET ") + sets.join(QStringLiteral(", "))
           + QStringLiteral(" WHERE ") + keyConditions(oldIsNull, QStringLiteral("old_")).join(QStringLiteral(" AND "));
}

QString EditorCore::deleteSql(const QList<bool>& oldIsNull) const {
    return QStringLiteral("DELETE FROM ") + table_ + QStringLiteral(" WHERE ")
           + keyConditions(oldIsNull, QStringLiteral("old_")).join(QStringLiteral(" AND "));
}

bool EditorCore::keyExists(vl::db::Transaction& tx, const QVariantList& key) const {
    QList<bool> isNull;
    Params p;
    for (int i = 0; i < key.size(); ++i) {
        isNull << key.at(i).isNull();
        if (!key.at(i).isNull()) p.push_back({QStringLiteral("old_%1").arg(i), key.at(i)});
    }
    const RowSet rs = tx.query(QStringLiteral("SELECT COUNT(*) FROM ") + table_ + QStringLiteral(" WHERE ")
                                   + keyConditions(isNull, QStringLiteral("old_")).join(QStringLiteral(" AND ")),
                               p);
    return !rs.isEmpty() && rs.at(0, 0).toLongLong() > 0;
}

QStringList EditorCore::missingCodes(Connection& conn, const PanelField& f, const QVariant& value) const {
    QStringList missing;
    if (f.refTable.isEmpty() || f.refColumn.isEmpty() || value.isNull()) return missing;
    QStringList codes;
    if (f.refList) {
        for (const QString& c : value.toString().split(QLatin1Char(',')))
            if (!c.trimmed().isEmpty()) codes << c.trimmed();
    } else {
        codes << vl::util::VarToText(value);
    }
    // Identifiers from the catalogue (checked when the editor opened); the code is bound.
    const QString sql = QStringLiteral("SELECT COUNT(*) FROM ") + f.refTable + QStringLiteral(" WHERE ") + f.refColumn
                        + QStringLiteral(" = :kod");
    const bool numericKey = f.refColumnType == QStringLiteral("INTEGER") || f.refColumnType == QStringLiteral("SMALLINT")
                            || f.refColumnType == QStringLiteral("FLOAT");
    for (const QString& code : codes) {
        QVariant bound = code;
        if (numericKey) {
            const NumberEntry n = ReadNumberEntry(code);
            if (!n.ok) { missing << code; continue; }
            bound = (f.refColumnType == QStringLiteral("FLOAT")) ? QVariant(n.value) : QVariant(n.whole);
            if (f.refColumnType != QStringLiteral("FLOAT") && (n.fraction || n.overflow)) { missing << code; continue; }
        }
        const RowSet rs = conn.query(sql, {{QStringLiteral("kod"), bound}});
        if (rs.isEmpty() || rs.at(0, 0).toLongLong() == 0) missing << code;
    }
    return missing;
}

void EditorCore::writeDoku(vl::db::Transaction& tx, const vl::shell::Session& session, const QString& action,
                           const QVariantList& key, const QString& fieldName, const QVariant& oldText,
                           const QVariant& newText) const {
    const auto& dm = vl::shell::dm();
    if (!dm.HasDokuTable) return;
    QString keyCol;
    if (dm.DokuKeyColumn.compare(QStringLiteral("KULCSERTEK"), Qt::CaseInsensitive) == 0) keyCol = QStringLiteral("KULCSERTEK");
    else if (dm.DokuKeyColumn.compare(QStringLiteral("KEY"), Qt::CaseInsensitive) == 0) keyCol = QStringLiteral("\"KEY\"");
    else return;
    tx.exec(QStringLiteral("INSERT INTO DOKU (JUZER, MIKOR, TABLA, ") + keyCol
                + QStringLiteral(", AKCIO, MEZO, MIROL, MIRE) VALUES (:juzer, :mikor, :tabla, :kulcs, :akcio, :mezo, :mirol, :mire)"),
            {{QStringLiteral("juzer"), session.userCode},
             {QStringLiteral("mikor"), QDateTime::currentDateTime().toString(QStringLiteral("yyyy.MM.dd HH:mm:ss"))},
             {QStringLiteral("tabla"), table_},
             {QStringLiteral("kulcs"), keyText(key)},
             {QStringLiteral("akcio"), action},
             {QStringLiteral("mezo"), fieldName.isEmpty() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(fieldName)},
             {QStringLiteral("mirol"), oldText},
             {QStringLiteral("mire"), newText}});
}

SaveResult EditorCore::save(Connection& conn, vl::db::Transaction* outer, const vl::shell::Session& session,
                            EditMode mode, const QHash<QString, QString>& texts, const RowSet* rs, int row) const {
    SaveResult res;
    res.status = SaveResult::Invalid;
    if (mode != EditMode::Insert && mode != EditMode::Update) return res;
    if (mode == EditMode::Update && (!rs || row < 0 || row >= rs->rowCount())) return res;
    const QVariant nullText{QMetaType(QMetaType::QString)};

    // 1. Check and convert every typed value; nothing is written unless all pass.
    QStringList problems;
    QList<QPair<const PanelField*, QVariant>> values;
    // The typed values' columns and their parameters p0, p1, ... in order.
    const auto bindValues = [&values](QStringList* cols, Params* p) {
        for (int i = 0; i < values.size(); ++i) {
            *cols << values.at(i).first->name;
            p->push_back({QStringLiteral("p%1").arg(i), values.at(i).second});
        }
    };
    // Another row has the key: refused, the first key field to correct.
    const auto duplicateKey = [&res, this](const QVariantList& key) {
        res.message = texts::invalidHeading() + QLatin1Char('\n') + texts::duplicateKey(keyText(key));
        res.focusField = keys_.value(0);
        return res;
    };
    try {
        for (const PanelField& f : fields_) {
            if (!f.onPanel || !texts.contains(f.name)) continue;
            const QString text = texts.value(f.name);
            if (f.password) {
                if (text.isEmpty()) {
                    if (mode == EditMode::Insert && f.required) {
                        problems << texts::requiredEmpty(f.displayName());
                        if (res.focusField.isEmpty()) res.focusField = f.name;
                    }
                    continue; // an empty password keeps the stored one
                }
                values.append({&f, vl::shell::HashPassword(text)});
                continue;
            }
            if (f.required && text.trimmed().isEmpty()) {
                problems << texts::requiredEmpty(f.displayName());
                if (res.focusField.isEmpty()) res.focusField = f.name;
                continue;
            }
            const ConvertResult c = ConvertText(f, text);
            if (!c.error.isEmpty()) {
                problems << c.error;
                if (res.focusField.isEmpty()) res.focusField = f.name;
                continue;
            }
            // A code is checked against its dictionary however the field was left.
            const QStringList missing = missingCodes(conn, f, c.value);
            if (!missing.isEmpty()) {
                problems << texts::notInDictionary(f.displayName(), missing.join(QStringLiteral(", ")));
                if (res.focusField.isEmpty()) res.focusField = f.name;
                continue;
            }
            values.append({&f, c.value});
        }
    } catch (const DbError& e) {
        return failedStore(std::move(res), e);
    }
    if (!problems.isEmpty()) {
        res.message = texts::invalidHeading() + QLatin1Char('\n') + problems.join(QLatin1Char('\n'));
        return res;
    }
    if (values.isEmpty()) {
        res.message = texts::invalidHeading();
        return res;
    }
    auto valueOf = [&values](const QString& name, bool* has) -> QVariant {
        for (const auto& v : values)
            if (v.first->name == name) { if (has) *has = true; return v.second; }
        if (has) *has = false;
        return QVariant();
    };

    try {
        vl::db::TxScope tx(conn, outer);
        if (mode == EditMode::Insert) {
            QVariantList newKey;
            bool keyComplete = hasPk_;
            for (const QString& k : keys_) {
                bool has = false;
                const QVariant v = valueOf(k, &has);
                newKey << v;
                if (!has || v.isNull()) keyComplete = false;
            }
            if (keyComplete && keyExists(*tx, newKey)) return duplicateKey(newKey);
            QStringList cols;
            Params p;
            bindValues(&cols, &p);
            const QString sql = insertSql(cols);
            if (sql.contains(QStringLiteral(" RETURNING "))) {
                const RowSet back = tx->query(sql, p);
                if (back.rowCount() > 0) {
                    newKey.clear();
                    for (int i = 0; i < keys_.size(); ++i) newKey << back.at(0, i);
                }
            } else {
                tx->exec(sql, p);
            }
            for (const auto& v : values) {
                const PanelField& f = *v.first;
                if (f.password) {
                    writeDoku(*tx, session, QStringLiteral("I"), newKey, f.name, nullText, nullText);
                    continue;
                }
                const QString now = DisplayText(f, v.second);
                if (!now.isEmpty()) writeDoku(*tx, session, QStringLiteral("I"), newKey, f.name, QString(), now);
            }
            tx.commit();
            res.status = SaveResult::Saved;
            res.key = newKey;
            return res;
        }

        // Update: the row is found by its old key; a NULL old value is compared with IS NULL.
        const QVariantList oldKey = keyOf(*rs, row);
        QVariantList newKey;
        bool keyChanged = false;
        for (int i = 0; i < keys_.size(); ++i) {
            bool has = false;
            const QVariant v = valueOf(keys_.at(i), &has);
            newKey << (has ? v : oldKey.at(i));
            if (has && (v.isNull() != oldKey.at(i).isNull() || vl::util::VarToText(v) != vl::util::VarToText(oldKey.at(i))))
                keyChanged = true;
        }
        if (keyChanged && hasPk_) {
            if (keyExists(*tx, newKey)) return duplicateKey(newKey);
            if (keys_.size() == 1) {
                const ReferenceUse use = FindReferenceUse(conn, *tx, table_, keys_.first(), oldKey.first());
                if (use.found) {
                    res.message = texts::invalidHeading() + QLatin1Char('\n')
                                  + texts::keyReferenced(use.ref.table, CaptionInText(conn, use.ref.table), use.count);
                    res.focusField = keys_.first();
                    return res;
                }
            }
        }
        QStringList setCols;
        Params p;
        bindValues(&setCols, &p);
        QList<bool> oldNull;
        for (int i = 0; i < oldKey.size(); ++i) {
            oldNull << oldKey.at(i).isNull();
            if (!oldKey.at(i).isNull()) p.push_back({QStringLiteral("old_%1").arg(i), oldKey.at(i)});
        }
        const qint64 n = tx->exec(updateSql(setCols, oldNull), p);
        if (n == 0) {
            res.status = SaveResult::Conflict;
            res.message = texts::updateConflict();
            return res;
        }
        for (const auto& v : values) {
            const PanelField& f = *v.first;
            if (f.password) {
                writeDoku(*tx, session, QStringLiteral("U"), newKey, f.name, nullText, nullText);
                continue;
            }
            const int c = rs->indexOf(f.name);
            const QString before = c >= 0 ? DisplayText(f, rs->at(row, c)) : QString();
            const QString now = DisplayText(f, v.second);
            if (before != now) writeDoku(*tx, session, QStringLiteral("U"), newKey, f.name, before, now);
        }
        tx.commit();
        res.status = SaveResult::Saved;
        res.key = newKey;
        return res;
    } catch (const DbError& e) {
        return failedStore(std::move(res), e);
    }
}

SaveResult EditorCore::remove(Connection& conn, vl::db::Transaction* outer, const vl::shell::Session& session,
                              const RowSet& rs, int row) const {
    SaveResult res;
    res.status = SaveResult::Invalid;
    if (!hasPk_) {
        res.message = texts::noPrimaryKey();
        return res;
    }
    if (row < 0 || row >= rs.rowCount()) return res;
    const QVariantList key = keyOf(rs, row);
    try {
        vl::db::TxScope tx(conn, outer);
        if (keys_.size() == 1) {
            const ReferenceUse use = FindReferenceUse(conn, *tx, table_, keys_.first(), key.first());
            if (use.found) {
                res.message = texts::referenced(use.ref.table, CaptionInText(conn, use.ref.table), use.count);
                return res;
            }
        }
        QList<bool> oldNull;
        Params p;
        for (int i = 0; i < key.size(); ++i) {
            oldNull << key.at(i).isNull();
            if (!key.at(i).isNull()) p.push_back({QStringLiteral("old_%1").arg(i), key.at(i)});
        }
        const qint64 n = tx->exec(deleteSql(oldNull), p);
        if (n == 0) {
            res.status = SaveResult::Failed;
            res.message = texts::alreadyDeleted();
            return res;
        }
        const QVariant nullText{QMetaType(QMetaType::QString)};
        writeDoku(*tx, session, QStringLiteral("D"), key, QString(), nullText, nullText);
        tx.commit();
        res.status = SaveResult::Saved;
        res.key = key;
        return res;
    } catch (const DbError& e) {
        return failedStore(std::move(res), e);
    }
}

} // namespace vl::framework
