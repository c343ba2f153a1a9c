#include "shell/Queries.h"
#include "shell/Cp1250.h"
#include "shell/Dm.h"
#include "shell/Ini.h"
#include "db/Catalogue.h"
#include "db/SqlText.h"
#include "db/TxScope.h"
#include "util/MessageSink.h"
#include "util/Dates.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QSysInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vl::shell {

using vl::db::Connection;
using vl::db::DbError;
using vl::db::Params;
using vl::db::RowSet;

namespace {

using vl::db::sqltext::quoteIdent;

QString fileNamePart(const QString& s) {
    QString r = s;
    static const QRegularExpression bad(QStringLiteral("[^A-Za-z0-9_.-]"));
    r.replace(bad, QStringLiteral("_"));
    return r;
}

} // namespace

// ---------------------------------------------------------------- QparamOpen

qint64 QparamOpen(Connection& conn, vl::db::Transaction* outer, TQuery& q, const QStringList& names,
                  const QVariantList& values, bool execute) {
    if (names.size() != values.size()) {
        vl::notify(vl::MsgKind::Error, QStringLiteral("QparamOpen hiba, paraméter tömbök eltérő méretűek, Query=") + q.name);
        return -1;
    }
    q.close();
    q.params.clear();
    for (int i = 0; i < names.size(); ++i) q.params.emplace_back(names.at(i), values.at(i));
    vl::db::TxScope tx(conn, outer);
    if (execute) {
        const qint64 n = tx->exec(q.sql, q.params);
        tx.commit();
        return n;
    }
    q.rows = tx->query(q.sql, q.params);
    tx.commit();
    q.active = true;
    return q.rows.rowCount();
}

// ---------------------------------------------------------------- LookupCheck

bool LookupCheck(Connection& conn, const QString& value, const QString& table, const QString& column,
                 bool showMessage, ASelectedRecord& rec) {
    if (value.isEmpty()) return false;
    auto notFound = [&]() {
        if (showMessage)
            vl::notify(vl::MsgKind::Warning, QStringLiteral("Nincs olyan érték a ") + table + QStringLiteral(" táblában, ahol ")
                                                 + column + QStringLiteral("='") + value + QStringLiteral("'"));
        return false;
    };
    // Table and column names are taken only as the catalogue spells them.
    QString tableName = table.trimmed();
    QList<vl::db::TableColumn> cols = vl::db::TableColumns(conn, tableName);
    if (cols.isEmpty() && tableName != tableName.toUpper()) {
        tableName = tableName.toUpper();
        cols = vl::db::TableColumns(conn, tableName);
    }
    QString columnName;
    for (const auto& c : cols)
        if (c.name == column.trimmed()) columnName = c.name;
    if (columnName.isEmpty())
        for (const auto& c : cols)
            if (c.name.compare(column.trimmed(), Qt::CaseInsensitive) == 0) columnName = c.name;
    if (columnName.isEmpty()) return notFound();

    const QString sql = QStringLiteral("Select * From ") + quoteIdent(tableName)
                        + QStringLiteral("\nWhere ") + quoteIdent(columnName) + QStringLiteral(" = :pvalue");
    RowSet rs = conn.query(sql, {{QStringLiteral("pvalue"), value}});
    if (rs.rowCount() == 0) return notFound();
    rec.clear();
    const auto& columns = rs.columns();
    for (int i = 0; i < columns.size(); ++i) {
        TSelectedRecord r;
        r.FieldName = columns.at(i).name;
        r.FieldType = vl::db::FieldTypeName(columns.at(i));
        r.FieldValue = rs.at(0, i);
        rec.append(r);
    }
    return true;
}

int SelectedFieldIndex(const ASelectedRecord& rec, const QString& fieldName) {
    int found = -1;
    for (int i = 0; i < rec.size(); ++i)
        if (rec.at(i).FieldName == fieldName) found = i;
    return found;
}

// ---------------------------------------------------------------- work tables

bool IsValidWorkTableName(const QString& name) {
    return name.startsWith(QLatin1String("TMP_")) && name.size() > 4 && vl::db::sqltext::isPlainIdent(name)
           && !name.contains(QLatin1Char('$'));
}

QString PrimaryKeyConstraintName(const QString& table) {
    const QString plain = QStringLiteral("PK_") + table;
    if (plain.size() <= 31) return plain;
    // Long names: a prefix of the name and a short hash keep it unique and short.
    const QByteArray h = QCryptographicHash::hash(table.toUtf8(), QCryptographicHash::Sha1).toHex().toUpper();
    return QStringLiteral("PK_") + table.left(20) + QLatin1Char('_') + QString::fromLatin1(h.left(7));
}

namespace {

const char* kCopyColumns =
    "SELECT RDB$RELATION_FIELDS.RDB$FIELD_NAME FIELD_NAME, RDB$RELATION_FIELDS.RDB$FIELD_POSITION FIELD_POS, "
    "RDB$RELATION_FIELDS.RDB$FIELD_SOURCE FIELD_SOURCE, RDB$RELATION_FIELDS.RDB$NULL_FLAG NULL_FLAG, "
    "RDB$TYPES.RDB$TYPE_NAME FIELD_TYPE, RDB$FIELDS.RDB$FIELD_LENGTH FIELD_STORE, "
    "RDB$FIELDS.RDB$CHARACTER_LENGTH FIELD_LENGTH, RDB$FIELDS.RDB$DEFAULT_SOURCE FIELD_DEFAULT_SOURCE, "
    "RDB$RELATION_FIELDS.RDB$COLLATION_ID COLLATION, RDB$FIELDS.RDB$COLLATION_ID DOMAIN_COLLATION, "
    "RDB$FIELDS.RDB$CHARACTER_SET_ID CHARACTER_SET, RDB$FIELDS.RDB$FIELD_SUB_TYPE FIELD_SUB_TYPE, "
    "RDB$FIELDS.RDB$FIELD_SCALE FIELD_SCALE, RDB$FIELDS.RDB$FIELD_PRECISION FIELD_PRECISION "
    "FROM RDB$RELATION_FIELDS,RDB$FIELDS,RDB$TYPES "
    "WHERE RDB$RELATION_FIELDS.RDB$RELATION_NAME = :tname "
    "AND RDB$RELATION_FIELDS.RDB$FIELD_SOURCE = RDB$FIELDS.RDB$FIELD_NAME "
    "AND RDB$FIELDS.RDB$FIELD_TYPE = RDB$TYPES.RDB$TYPE AND RDB$TYPES.RDB$FIELD_NAME= 'RDB$FIELD_TYPE' "
    "ORDER BY RDB$RELATION_FIELDS.RDB$FIELD_POSITION";

QString exactNumeric(const QString& intType, int subType, int scale, int precision, int defPrecision) {
    if (subType == 1 || subType == 2 || scale < 0) {
        const int p = precision > 0 ? precision : defPrecision;
        return (subType == 2 ? QStringLiteral("DECIMAL(") : QStringLiteral("NUMERIC(")) + QString::number(p)
               + QLatin1Char(',') + QString::number(-scale) + QLatin1Char(')');
    }
    return intType;
}

} // namespace

bool CopyTableDef(Connection& conn, vl::db::Transaction* outer, const Session& session, const QString& source,
                  const QString& newName, bool execute, bool primaryKey, QString* ddl) {
    if (!IsValidWorkTableName(newName))
        throw DbError(QStringLiteral("Érvénytelen táblanév (legfeljebb 31 karakter, A-Z 0-9 _): ") + newName);
    if (conn.driverName().trimmed().toUpper() != QStringLiteral("INTRBASE"))
        throw DbError(QStringLiteral("A tábla szerkezete csak Firebird adatbázisban másolható: ") + source);

    RowSet rs = conn.query(QString::fromLatin1(kCopyColumns), {{QStringLiteral("tname"), source}});
    if (rs.rowCount() == 0) return false;

    QStringList key;
    if (primaryKey) key = vl::db::PrimaryKeyList(conn, source);

    QHash<qint64, QString> charsetNames;
    auto charsetName = [&](qint64 id) {
        if (!charsetNames.contains(id)) {
            RowSet c = conn.query(QStringLiteral("SELECT RDB$CHARACTER_SET_NAME FROM RDB$CHARACTER_SETS "
                                                 "WHERE RDB$CHARACTER_SET_ID = :id"),
                                  {{QStringLiteral("id"), id}});
            charsetNames.insert(id, c.rowCount() ? c.at(0, 0).toString().trimmed() : QString());
        }
        return charsetNames.value(id);
    };
    auto collationName = [&](qint64 collation, qint64 charset) {
        RowSet c = conn.query(QStringLiteral("SELECT RDB$COLLATION_NAME FROM RDB$COLLATIONS "
                                             "WHERE RDB$COLLATION_ID = :cid AND RDB$CHARACTER_SET_ID = :csid"),
                              {{QStringLiteral("cid"), collation}, {QStringLiteral("csid"), charset}});
        return c.rowCount() ? c.at(0, 0).toString().trimmed() : QString();
    };

    QStringList lines;
    lines << QStringLiteral("CREATE TABLE ") + newName + QStringLiteral(" (");
    bool firstCol = true;
    while (rs.next()) {
        const QString name = rs.text(QStringLiteral("FIELD_NAME")).trimmed();
        const QString t = rs.text(QStringLiteral("FIELD_TYPE")).trimmed();
        const int subType = int(rs.integer(QStringLiteral("FIELD_SUB_TYPE")));
        const int scale = int(rs.integer(QStringLiteral("FIELD_SCALE")));
        const int precision = int(rs.integer(QStringLiteral("FIELD_PRECISION")));
        int charLen = int(rs.integer(QStringLiteral("FIELD_LENGTH")));
        if (rs.isNull(QStringLiteral("FIELD_LENGTH"))) charLen = int(rs.integer(QStringLiteral("FIELD_STORE")));
        bool textual = false;
        QString type;
        if (t == QStringLiteral("VARYING") || t == QStringLiteral("CSTRING")) {
            type = QStringLiteral("VARCHAR(") + QString::number(charLen) + QLatin1Char(')');
            textual = true;
        } else if (t == QStringLiteral("TEXT")) {
            type = QStringLiteral("CHAR(") + QString::number(charLen) + QLatin1Char(')');
            textual = true;
        } else if (t == QStringLiteral("SHORT")) {
            type = exactNumeric(QStringLiteral("SMALLINT"), subType, scale, precision, 4);
        } else if (t == QStringLiteral("LONG")) {
            type = exactNumeric(QStringLiteral("INTEGER"), subType, scale, precision, 9);
        } else if (t == QStringLiteral("INT64") || t == QStringLiteral("QUAD")) {
            type = exactNumeric(QStringLiteral("BIGINT"), subType, scale, precision, 18);
        } else if (t == QStringLiteral("DOUBLE") || t == QStringLiteral("D_FLOAT")) {
            type = QStringLiteral("DOUBLE PRECISION");
        } else if (t == QStringLiteral("BLOB")) {
            type = QStringLiteral("BLOB SUB_TYPE ") + QString::number(subType) + QStringLiteral(" SEGMENT SIZE 80");
            textual = subType == 1;
        } else {
            type = t; // FLOAT, DATE, TIME, TIMESTAMP, BOOLEAN
        }
        QString def = (firstCol ? QStringLiteral(" ") : QStringLiteral(",")) + quoteIdent(name) + QLatin1Char(' ') + type;
        QString collate;
        const qint64 cs = rs.integer(QStringLiteral("CHARACTER_SET"));
        if (textual && cs != 0) {
            const QString csn = charsetName(cs);
            if (!csn.isEmpty()) {
                def += QStringLiteral(" CHARACTER SET ") + csn;
                qint64 coll = rs.isNull(QStringLiteral("COLLATION")) ? rs.integer(QStringLiteral("DOMAIN_COLLATION"))
                                                                      : rs.integer(QStringLiteral("COLLATION"));
                if (coll != 0) {
                    const QString cn = collationName(coll, cs);
                    if (!cn.isEmpty()) collate = QStringLiteral(" COLLATE ") + cn;
                }
            }
        }
        if (key.contains(name)) def += QStringLiteral(" NOT NULL");
        def += collate;
        lines << def;
        firstCol = false;
    }
    if (!key.isEmpty()) {
        QStringList quoted;
        for (const QString& k : key) quoted << quoteIdent(k);
        lines << QStringLiteral(",CONSTRAINT ") + PrimaryKeyConstraintName(newName) + QStringLiteral(" PRIMARY KEY (")
                     + quoted.join(QLatin1Char(',')) + QLatin1Char(')');
    }
    lines << QStringLiteral(")");
    const QString statement = lines.join(QLatin1Char('\n'));
    if (ddl) *ddl = statement;
    if (execute) {
        const bool record = vl::db::TableExists(conn, QStringLiteral("MUNKATABLAK"));
        vl::db::TxScope tx(conn, outer);
        tx->exec(statement);
        if (record) {
            tx->exec(QStringLiteral("UPDATE OR INSERT INTO MUNKATABLAK (TABLANEV, KAPCSOLAT, JUZER, MIKOR) "
                                    "VALUES (:tablanev, CURRENT_CONNECTION, :juzer, :mikor) MATCHING (TABLANEV)"),
                     {{QStringLiteral("tablanev"), newName},
                      {QStringLiteral("juzer"), session.writer()},
                      {QStringLiteral("mikor"), vl::util::NowStamp()}});
        }
        tx.commit();
        if (!dm().WorkTableList.contains(newName)) dm().WorkTableList.append(newName);
    }
    return true;
}

void DropRunWorkTables() {
    Tdm& d = dm();
    if (!d.isConnected()) return;
    if (d.WorkTableList.isEmpty()) {
        d.disconnect();
        return;
    }
    // A fresh connection: no statement of this run holds a work table any more.
    if (!d.reconnect()) return;
    Connection& conn = d.d_alap();
    bool record = false;
    try {
        record = vl::db::TableExists(conn, QStringLiteral("MUNKATABLAK"));
    } catch (const DbError&) {
    }
    for (const QString& name : d.WorkTableList) {
        if (!IsValidWorkTableName(name)) continue;
        try {
            conn.exec(QStringLiteral("DROP TABLE ") + name);
        } catch (const DbError&) {
            // in use elsewhere or already gone: go on with the next one
        }
        if (record) {
            try {
                conn.exec(QStringLiteral("DELETE FROM MUNKATABLAK WHERE TABLANEV = :tablanev"),
                          {{QStringLiteral("tablanev"), name}});
            } catch (const DbError&) {
            }
        }
    }
    d.WorkTableList.clear();
    d.disconnect();
}

// ---------------------------------------------------------------- update scripts

namespace {

QString tidyStatement(const QString& s) {
    QStringList out;
    for (QString l : s.split(QLatin1Char('\n'))) {
        l.remove(QLatin1Char('\r'));
        l = l.trimmed();
        if (!l.isEmpty()) out << l;
    }
    return out.join(QLatin1Char('\n'));
}

} // namespace

QString ScriptEncodingProblem(const QByteArray& bytes) {
    auto lineOf = [&](qsizetype pos) { return QString::number(bytes.left(pos).count('\n') + 1); };
    qsizetype firstHigh = -1;
    for (qsizetype k = 0; k < bytes.size(); ++k)
        if (uchar(bytes.at(k)) >= 0x80) { firstHigh = k; break; }
    if (firstHigh < 0) return {};
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    (void)QString(utf8.decode(bytes));
    if (!utf8.hasError())
        return QStringLiteral("a fájl UTF-8 kódolású (az első nem ASCII karakter a(z) ") + lineOf(firstHigh)
               + QStringLiteral(". sorban van), a frissítő parancsfájloknak windows-1250 kódolásúnak kell lenniük. "
                                "Kérem, mentse el a fájlt windows-1250 (közép-európai) kódolással.");
    // Bytes to which windows-1250 gives no character.
    for (qsizetype k = firstHigh; k < bytes.size(); ++k) {
        const uchar b = uchar(bytes.at(k));
        if (b == 0x81 || b == 0x83 || b == 0x88 || b == 0x90 || b == 0x98) {
            const qsizetype lineEnd = k > 0 ? bytes.lastIndexOf('\n', k - 1) : -1; // -1: first line
            const qsizetype column = k - lineEnd;
            return QStringLiteral("a(z) ") + lineOf(k) + QStringLiteral(". sor ") + QString::number(column)
                   + QStringLiteral(". bájtja (0x") + QString::number(b, 16).toUpper()
                   + QStringLiteral(") a windows-1250 kódlapon nem jelent karaktert; a fájl nem windows-1250 kódolású "
                                    "vagy sérült. Kérem, javítsa, és mentse el windows-1250 kódolással.");
        }
    }
    return {};
}

QList<ScriptStatement> SplitUpdateScript(const QString& s, QString* rest, int* openLine, QString* opener) {
    using namespace vl::db::sqltext;
    if (openLine) *openLine = 0;
    if (opener) opener->clear();
    static const QRegularExpression setTerm(QStringLiteral("^SET\\s+TERM\\s+(\\S+)$"),
                                            QRegularExpression::CaseInsensitiveOption);
    const QStringView text(s);
    QList<ScriptStatement> out;
    QString term = QStringLiteral(";");
    QString cur;        // the statement being read, its comments left out
    qsizetype base = 0; // the offset the tokens were read from
    std::vector<Token> toks = tokenize(text);
    std::size_t k = 0;
    while (k < toks.size()) {
        const Token& t = toks[k];
        const qsizetype pos = base + t.pos;
        if (t.unterminated) {
            // A comment, literal or quoted name that never closes: nothing from
            // here on runs; the caller reports it with the line it opens on.
            if (openLine) *openLine = int(text.left(pos).count(u'\n')) + 1;
            if (opener) {
                const QStringView head = text.mid(pos, 2);
                if (t.kind == Tok::Comment) *opener = QStringLiteral("/*");
                else if (head.size() == 2 && head.at(1) == u'\'' && head.at(0) != u'\'') *opener = QStringLiteral("q'");
                else *opener = head.left(1).toString();
            }
            cur += text.mid(pos);
            break;
        }
        if (t.kind == Tok::Comment) {
            if (text.mid(pos, 2) == u"/*") cur += QLatin1Char(' ');
            ++k;
            continue;
        }
        if (t.kind == Tok::String || t.kind == Tok::QuotedIdent) {
            cur += text.mid(pos, t.len);
            ++k;
            continue;
        }
        // The terminator (";" or what SET TERM set) begins in this token; one of
        // several characters may run on into the next tokens.
        const qsizetype at = text.mid(pos, t.len + term.size() - 1).indexOf(term);
        if (at < 0 || at >= t.len) {
            cur += text.mid(pos, t.len);
            ++k;
            continue;
        }
        cur += text.mid(pos, at);
        const qsizetype next = pos + at + term.size();
        const QString stmt = tidyStatement(cur);
        cur.clear();
        const auto m = setTerm.match(stmt);
        if (m.hasMatch()) term = m.captured(1);
        else if (!stmt.isEmpty()) out.append({stmt, term});
        // Go on at the token that starts right after the terminator, or read the
        // text anew from there when the terminator ended inside a token.
        while (k < toks.size() && base + toks[k].pos < next) ++k;
        if (k < toks.size() && base + toks[k].pos != next) {
            base = next;
            toks = tokenize(text.mid(next));
            k = 0;
        }
    }
    if (rest) *rest = tidyStatement(cur);
    return out;
}

QString UnclosedScriptText(int line, const QString& opener) {
    QString what;
    if (opener == QLatin1String("/*")) what = QStringLiteral("'/*' megjegyzés");
    else if (opener == QLatin1String("\"")) what = QStringLiteral("idézőjeles (\") név");
    else what = QStringLiteral("szövegkonstans (") + opener + QStringLiteral(")");
    return QStringLiteral("Nem futott: a(z) ") + QString::number(line) + QStringLiteral(". sorban nyitott ") + what
           + QStringLiteral(" nincs lezárva, ami utána áll, az nem futott le");
}

ScriptResult RunUpdateScript(Connection& conn, const QString& fileName, bool quiet, QStringList* logBox) {
    ScriptResult r;
    if (!QFileInfo(fileName).isFile()) return r;
    QFile f(fileName);
    if (!f.open(QIODevice::ReadOnly)) return r;
    const QByteArray raw = f.readAll();
    f.close();
    r.ran = true;
    // Scripts are windows-1250. Anything else would be stored garbled: refused
    // whole, the file stays where it is so that it can be mended and run.
    const QString encoding = ScriptEncodingProblem(raw);
    if (!encoding.isEmpty()) {
        r.refused = true;
        r.summary = fileName + QStringLiteral(" nem futott le: ") + encoding
                    + QStringLiteral("\nA fájl a helyén maradt, egyetlen utasítása sem futott le.\n");
        vl::notify(vl::MsgKind::Error, r.summary);
        return r;
    }
    const QString script = fromCp1250(raw);

    r.badFile = fileName + QStringLiteral("_BAD.TXT");
    QString bad;

    // terminator empty: text that never became a statement, stored as it was.
    auto fail = [&](const QString& text, const QString& terminator, const QString& error) {
        ++r.failed;
        r.errors << text + QLatin1Char('\n') + error;
        if (!quiet)
            vl::notify(vl::MsgKind::Error, fileName + QStringLiteral(" : Hibás SQL utasítás:\n") + text);
        if (logBox) *logBox << text;
        for (const QString& l : error.split(QLatin1Char('\n')))
            if (!l.trimmed().isEmpty()) bad += QStringLiteral("-- ") + l.trimmed() + QLatin1Char('\n');
        if (terminator.isEmpty()) {
            bad += text + QLatin1Char('\n');
        } else if (terminator == QStringLiteral(";")) {
            bad += text + QStringLiteral(";\n");
        } else {
            bad += QStringLiteral("SET TERM ") + terminator + QStringLiteral(" ;\n") + text + terminator
                   + QStringLiteral("\nSET TERM ; ") + terminator + QLatin1Char('\n');
        }
    };

    QString rest;
    int openLine = 0;
    QString opener;
    const QList<ScriptStatement> statements = SplitUpdateScript(script, &rest, &openLine, &opener);
    for (const ScriptStatement& st : statements) {
        try {
            conn.exec(st.text);
            ++r.executed;
        } catch (const DbError& e) {
            fail(st.text, st.terminator, e.text());
        }
    }
    if (openLine > 0)
        fail(rest, QString(), UnclosedScriptText(openLine, opener));
    else if (!rest.isEmpty())
        fail(rest, QStringLiteral(";"), QStringLiteral("Nem futott: hiányzik az utasítást lezáró ';'"));

    if (r.failed > 0) {
        QFile b(r.badFile);
        const QByteArray bytes = toCp1250(bad);
        bool ok = b.open(QIODevice::WriteOnly | QIODevice::Truncate);
        if (ok) {
            ok = b.write(bytes) == bytes.size();
            ok = b.flush() && ok;
            if (!ok) r.badError = b.errorString();
            b.close();
            if (ok && b.error() != QFileDevice::NoError) { ok = false; r.badError = b.errorString(); }
        } else {
            r.badError = b.errorString();
        }
        r.badWritten = ok;
        if (!ok && r.badError.isEmpty()) r.badError = QStringLiteral("ismeretlen hiba");
    } else {
        QFile::remove(r.badFile);
    }

    // Moved aside so that it runs only once.
    const QFileInfo fi(fileName);
    QString base = fileName;
    if (!fi.suffix().isEmpty()) base.chop(fi.suffix().size() + 1);
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd_hhmmss"));
    QString target = base + QStringLiteral("_done_") + stamp + QStringLiteral(".sql");
    for (int k = 2; QFileInfo::exists(target); ++k)
        target = base + QStringLiteral("_done_") + stamp + QLatin1Char('_') + QString::number(k) + QStringLiteral(".sql");
    if (QFile::rename(fileName, target)) r.movedTo = target;

    r.summary = fileName + QStringLiteral(" beolvasva :\n") + QString::number(r.executed) + QStringLiteral(" db végrehajtva,\n");
    if (r.failed == 0)
        r.summary += QStringLiteral("Nem volt hibás utasítás\n");
    else if (r.badWritten)
        r.summary += QString::number(r.failed) + QStringLiteral(" db hibás utasítás, letárolva a ") + fileName
                     + QStringLiteral("_BAD.TXT fájlba.\n");
    else
        r.summary += QString::number(r.failed) + QStringLiteral(" db hibás utasítás, de a ") + fileName
                     + QStringLiteral("_BAD.TXT fájlt nem sikerült megírni (") + r.badError
                     + QStringLiteral("), a hibás utasítások nincsenek letárolva.\n");
    vl::notify(r.failed ? vl::MsgKind::Warning : vl::MsgKind::Info, r.summary);
    return r;
}

// ---------------------------------------------------------------- store errors

QString ReportStoreError(const QString& queryName, const QString& module, const Params& params) {
    const QString head = QStringLiteral("Hiba történt tárolás közben. Kérem értesítse a programozót!");
    const bool trace = IniValue(QStringLiteral("TRACE")).trimmed().toUpper() == QStringLiteral("I");
    QStringList paramLines;
    for (const auto& p : params) paramLines << p.first + QLatin1Char('=') + (p.second.isNull() ? QString() : p.second.toString());

    QStringList file;
    file << head << QString()
         << QStringLiteral("Verzió=") + ProgramVersion() + QStringLiteral(",Modul=") + module + QStringLiteral(", Query=") + queryName
         << QStringLiteral("Paraméterek:");
    file << paramLines;
    const QString path = AppDir() + QStringLiteral("NEMSIKERULT_") + fileNamePart(module) + QLatin1Char('_')
                         + fileNamePart(queryName) + QLatin1Char('_')
                         + QDateTime::currentDateTime().toString(QStringLiteral("yyyy_MM_dd_hh_mm_ss")) + QStringLiteral(".TXT");
    bool lossy = false;
    const QByteArray bytes = toCp1250(file.join(QLatin1Char('\n')) + QLatin1Char('\n'), &lossy);
    QFile out(path);
    const bool written = out.open(QIODevice::WriteOnly | QIODevice::Truncate) && out.write(bytes) == bytes.size();
    out.close();

    QString msg = head + QStringLiteral("\n\nModul=") + module + QStringLiteral(", Query=") + queryName + QLatin1Char('\n');
    if (trace)
        for (const QString& l : paramLines) msg += l + QLatin1Char('\n');
    if (written) {
        msg += QStringLiteral("\nA hibát letároltuk a ") + path + QStringLiteral(" fájlba");
        if (lossy) msg += QStringLiteral("\n(A windows-1250 kódlapon nem ábrázolható karaktereket '?' jelre cseréltük.)");
    } else {
        msg += QStringLiteral("\nA hibát nem sikerült letárolni a ") + path + QStringLiteral(" fájlba");
    }
    vl::notify(vl::MsgKind::Error, msg);
    return written ? path : QString();
}

QString ReportStoreError(const TQuery& q, const QString& module) { return ReportStoreError(q.name, module, q.params); }

// ---------------------------------------------------------------- single instance

namespace {

// A directory fit for the lock file: a real directory (not a symbolic link)
// owned by this user that nobody else may write into. With exactMode0700 the
// group and the others may not even read it (the rule for XDG_RUNTIME_DIR).
bool privateDirectory(const QByteArray& dir, bool exactMode0700, QString* why) {
    struct stat st;
    if (::lstat(dir.constData(), &st) != 0) {
        if (why) *why = QString::fromLocal8Bit(dir) + QStringLiteral(": nem érhető el (") + QString::fromLocal8Bit(strerror(errno)) + QLatin1Char(')');
        return false;
    }
    QString problem;
    if (S_ISLNK(st.st_mode)) problem = QStringLiteral("szimbolikus link");
    else if (!S_ISDIR(st.st_mode)) problem = QStringLiteral("nem könyvtár");
    else if (st.st_uid != ::geteuid()) problem = QStringLiteral("más felhasználó tulajdona");
    else if (exactMode0700 ? (st.st_mode & 077) != 0 : (st.st_mode & 022) != 0) problem = QStringLiteral("mások is írhatják");
    if (problem.isEmpty()) return true;
    if (why) *why = QString::fromLocal8Bit(dir) + QStringLiteral(": ") + problem;
    return false;
}

// Makes dir (mode 0700) when it is missing, then checks it as above.
bool makePrivateDirectory(const QByteArray& dir, QString* why) {
    if (::mkdir(dir.constData(), 0700) != 0 && errno != EEXIST) {
        if (why) *why = QString::fromLocal8Bit(dir) + QStringLiteral(": nem hozható létre (") + QString::fromLocal8Bit(strerror(errno)) + QLatin1Char(')');
        return false;
    }
    return privateDirectory(dir, false, why);
}

QByteArray lockDirectory(QString* why) {
    QStringList refused;
    QString reason;
    // 1. The session's runtime directory, when it is really ours and private.
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty()) {
        if (privateDirectory(runtime, true, &reason)) return runtime;
        refused << reason;
    }
    // 2. A directory of this user under the temporary folder.
    QByteArray tmp = qgetenv("TMPDIR");
    if (tmp.isEmpty() || !tmp.startsWith('/')) tmp = QByteArrayLiteral("/tmp");
    while (tmp.size() > 1 && tmp.endsWith('/')) tmp.chop(1);
    const QByteArray perUser = tmp + QByteArrayLiteral("/vorlanda-") + QByteArray::number(quint64(::geteuid()));
    if (makePrivateDirectory(perUser, &reason)) return perUser;
    refused << reason;
    // 3. The user's cache folder (someone else holds the name under /tmp).
    QByteArray cache = qgetenv("XDG_CACHE_HOME");
    if (cache.isEmpty() || !cache.startsWith('/')) {
        const QByteArray home = qgetenv("HOME");
        if (!home.isEmpty()) cache = home + QByteArrayLiteral("/.cache");
    }
    if (!cache.isEmpty()) {
        ::mkdir(cache.constData(), 0700);
        const QByteArray own = cache + QByteArrayLiteral("/vorlanda");
        if (makePrivateDirectory(own, &reason)) return own;
        refused << reason;
    }
    if (why) *why = refused.join(QStringLiteral("; "));
    return {};
}

} // namespace

QString SingleInstanceLockPath(const QString& name, QString* why) {
    const QByteArray dir = lockDirectory(why);
    if (dir.isEmpty()) return {};
    // The host name keeps workstations apart when the folder is a shared home.
    const QByteArray h = QCryptographicHash::hash((QSysInfo::machineHostName() + QLatin1Char('\n') + name).toUtf8(),
                                                  QCryptographicHash::Sha1).toHex();
    return QString::fromLocal8Bit(dir + QByteArrayLiteral("/pkr-") + h + QByteArrayLiteral(".lock"));
}

bool SingleInstanceGuard(const QString& name) {
    static QHash<QString, int> held; // guards of this process, open for its whole life
    if (held.contains(name)) return true;
    QString why;
    const QString lockPath = SingleInstanceLockPath(name, &why);
    if (lockPath.isEmpty()) {
        // No private place for the lock: the program still runs, unguarded.
        qWarning("Az egy példányban futás nem ellenőrizhető: %s", qPrintable(why));
        return false;
    }
    const QByteArray path = QFile::encodeName(lockPath);
    // Never through a symbolic link, never wider than the user's own.
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0600);
    if (fd < 0) {
        qWarning("Az egy példányban futás nem ellenőrizhető: %s: %s", path.constData(), strerror(errno));
        return false;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) {
        ::close(fd);
        qWarning("Az egy példányban futás nem ellenőrizhető: %s nem a felhasználó saját fájlja", path.constData());
        return false;
    }
    if ((st.st_mode & 077) != 0) ::fchmod(fd, 0600); // only ever narrowed
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return true;
    }
    held.insert(name, fd);
    return false;
}

} // namespace vl::shell
