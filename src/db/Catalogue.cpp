#include "db/Catalogue.h"


namespace vl::db {

namespace {

enum class Branch { InterBase, SqlServer, Generic };

Branch branchOf(Connection& conn) {
    const QString d = conn.driverName().trimmed().toUpper();
    if (d == QStringLiteral("INTRBASE")) return Branch::InterBase;
    if (d == QStringLiteral("SQL SERVER")) return Branch::SqlServer;
    return Branch::Generic;
}

QString firstText(const RowSet& rs, int col) {
    if (rs.rowCount() == 0) return QString();
    return rs.at(0, col).toString();
}

// Firebird's RDB$TYPES names as the framework writes them.
QString mapIbTypeName(const QString& raw) {
    const QString t = raw.trimmed();
    if (t == QStringLiteral("VARYING")) return QStringLiteral("VARCHAR");
    if (t == QStringLiteral("LONG")) return QStringLiteral("INTEGER");
    if (t == QStringLiteral("SHORT")) return QStringLiteral("SMALLINT");
    if (t == QStringLiteral("DOUBLE")) return QStringLiteral("DOUBLE PRECISION");
    return t;
}

// Type word of a catalogue column (Firebird): as the layer would report it.
QString ibTypeWord(const QString& rawType, int subType, int scale) {
    const QString t = rawType.trimmed();
    if (t == QStringLiteral("VARYING") || t == QStringLiteral("TEXT") || t == QStringLiteral("CSTRING"))
        return QStringLiteral("VARCHAR");
    if (t == QStringLiteral("SHORT")) return scale < 0 ? QStringLiteral("FLOAT") : QStringLiteral("SMALLINT");
    if (t == QStringLiteral("LONG") || t == QStringLiteral("INT64") || t == QStringLiteral("QUAD"))
        return scale < 0 ? QStringLiteral("FLOAT") : QStringLiteral("INTEGER");
    if (t == QStringLiteral("FLOAT") || t == QStringLiteral("DOUBLE") || t == QStringLiteral("D_FLOAT"))
        return QStringLiteral("FLOAT");
    if (t == QStringLiteral("BOOLEAN")) return QStringLiteral("BOOLEAN");
    if (t == QStringLiteral("BLOB")) return QStringLiteral("MEMO");
    Q_UNUSED(subType);
    return QStringLiteral("Unknown");
}

int editLengthOf(const QString& word, int length) {
    if (word == QStringLiteral("VARCHAR")) return length;
    if (word == QStringLiteral("INTEGER") || word == QStringLiteral("SMALLINT")) return 10;
    if (word == QStringLiteral("FLOAT")) return 13;
    if (word == QStringLiteral("MEMO")) return -1;
    return 8;
}

const char* kIbFieldInfo =
    "SELECT RDB$RELATION_FIELDS.RDB$FIELD_NAME FIELD_NAME, RDB$RELATION_FIELDS.RDB$FIELD_POSITION FIELD_POS, "
    "RDB$RELATION_FIELDS.RDB$FIELD_SOURCE FIELD_SOURCE, RDB$RELATION_FIELDS.RDB$NULL_FLAG NULL_FLAG, "
    "RDB$TYPES.RDB$TYPE_NAME FIELD_TYPE, RDB$FIELDS.RDB$FIELD_LENGTH FIELD_STORE, "
    "RDB$FIELDS.RDB$CHARACTER_LENGTH FIELD_LENGTH, RDB$FIELDS.RDB$DEFAULT_SOURCE FIELD_DEFAULT_SOURCE, "
    "RDB$FIELDS.RDB$COLLATION_ID COLLATION, RDB$FIELDS.RDB$CHARACTER_SET_ID CHARACTER_SET "
    "FROM RDB$RELATION_FIELDS,RDB$FIELDS,RDB$TYPES "
    "WHERE RDB$RELATION_FIELDS.RDB$RELATION_NAME = :tname AND RDB$RELATION_FIELDS.RDB$FIELD_NAME = :fname "
    "AND RDB$RELATION_FIELDS.RDB$FIELD_SOURCE = RDB$FIELDS.RDB$FIELD_NAME "
    "AND RDB$FIELDS.RDB$FIELD_TYPE = RDB$TYPES.RDB$TYPE AND RDB$TYPES.RDB$FIELD_NAME= 'RDB$FIELD_TYPE'";

const char* kIbDomain =
    "Select RDB$FIELDS.RDB$FIELD_NAME FIELD_NAME, RDB$FIELDS.RDB$DEFAULT_SOURCE DEFAULT_SOURCE, "
    "RDB$FIELDS.RDB$FIELD_LENGTH FIELD_STORE, RDB$FIELDS.RDB$CHARACTER_LENGTH FIELD_LENGTH, "
    "RDB$FIELDS.RDB$NULL_FLAG NULL_FLAG, RDB$TYPES.RDB$TYPE_NAME FIELD_TYPE "
    "From RDB$FIELDS, RDB$TYPES where RDB$FIELDS.RDB$FIELD_NAME = :domainname "
    "AND RDB$FIELDS.RDB$FIELD_TYPE = RDB$TYPES.RDB$TYPE And RDB$TYPES.RDB$FIELD_NAME='RDB$FIELD_TYPE'";

const char* kIbPrimaryKey =
    "Select RDB$RELATION_CONSTRAINTS.RDB$RELATION_NAME, RDB$RELATION_CONSTRAINTS.RDB$CONSTRAINT_NAME, "
    "RDB$RELATION_CONSTRAINTS.RDB$INDEX_NAME, RDB$INDEX_SEGMENTS.RDB$FIELD_NAME, RDB$INDEX_SEGMENTS.RDB$FIELD_POSITION "
    "From RDB$RELATION_CONSTRAINTS, RDB$INDEX_SEGMENTS "
    "Where RDB$RELATION_CONSTRAINTS.RDB$CONSTRAINT_TYPE = :pkeytype "
    "And RDB$RELATION_CONSTRAINTS.RDB$RELATION_NAME = :ptable "
    "And RDB$RELATION_CONSTRAINTS.RDB$INDEX_NAME = RDB$INDEX_SEGMENTS.RDB$INDEX_NAME "
    "Order By RDB$RELATION_CONSTRAINTS.RDB$RELATION_NAME, RDB$RELATION_CONSTRAINTS.RDB$CONSTRAINT_NAME, "
    "RDB$INDEX_SEGMENTS.RDB$FIELD_POSITION";

const char* kIbColumns =
    "SELECT RF.RDB$FIELD_NAME FIELD_NAME, RF.RDB$FIELD_SOURCE FIELD_SOURCE, RF.RDB$NULL_FLAG NULL_FLAG, "
    "F.RDB$NULL_FLAG DOMAIN_NULL_FLAG, T.RDB$TYPE_NAME FIELD_TYPE, F.RDB$FIELD_SUB_TYPE FIELD_SUB_TYPE, "
    "F.RDB$FIELD_SCALE FIELD_SCALE, F.RDB$CHARACTER_LENGTH FIELD_LENGTH "
    "FROM RDB$RELATION_FIELDS RF "
    "JOIN RDB$FIELDS F ON RF.RDB$FIELD_SOURCE = F.RDB$FIELD_NAME "
    "JOIN RDB$TYPES T ON F.RDB$FIELD_TYPE = T.RDB$TYPE AND T.RDB$FIELD_NAME = 'RDB$FIELD_TYPE' "
    "WHERE RF.RDB$RELATION_NAME = :tname "
    "ORDER BY RF.RDB$FIELD_POSITION";

const char* kMsPrimaryKey =
    "select SYSINDEXKEYS.*, CAST(SYSCOLUMNS.NAME AS VARCHAR(20)) NAME from SYSINDEXKEYS, SYSCOLUMNS "
    "where SYSINDEXKEYS.ID = OBJECT_ID(:PTABLE) and SYSINDEXKEYS.INDID = "
    "(select INDID from SYSINDEXES where NAME= :pindexname) "
    "AND SYSCOLUMNS.id = SYSINDEXKEYS.ID AND SYSCOLUMNS.COLORDER= SYSINDEXKEYS.colid "
    "order By SYSINDEXKEYS.KEYNO";

const char* kMsFieldInfo =
    "Select XTYPE, LENGTH, ISNULLABLE, CDEFAULT From SYSCOLUMNS "
    "Where ID = OBJECT_ID(:tname) And SYSCOLUMNS.NAME = :fname";

const char* kMsTypeName =
    "Select CAST( NAME AS VARCHAR(20)) NAME, XUSERTYPE From SYSTYPES WHERE XUSERTYPE = :pxusertype";

const char* kMsIdentity =
    "SELECT COLUMNPROPERTY (OBJECT_ID(:ptable) ,:pfield, 'IsIdentity') IDENT, "
    "IDENT_INCR ( :ptable ) INKREMENT, IDENT_SEED ( :ptable ) SEED";

} // namespace

QString FieldTypeName(ColType type, int scale) {
    switch (type) {
    case ColType::Text: return QStringLiteral("VARCHAR");
    case ColType::Int16: return scale < 0 ? QStringLiteral("FLOAT") : QStringLiteral("SMALLINT");
    case ColType::Int32:
    case ColType::Int64: return scale < 0 ? QStringLiteral("FLOAT") : QStringLiteral("INTEGER");
    case ColType::Boolean: return QStringLiteral("BOOLEAN");
    case ColType::Float: return QStringLiteral("FLOAT");
    case ColType::LongText: return QStringLiteral("MEMO");
    default: return QStringLiteral("Unknown");
    }
}

QString FieldTypeName(const Column& col) { return FieldTypeName(col.type, col.scale); }

int FieldEditLength(const Column& col) { return editLengthOf(FieldTypeName(col), col.length); }

bool TableExists(Connection& conn, const QString& table) {
    switch (branchOf(conn)) {
    case Branch::InterBase: {
        const RowSet rs = conn.query(QStringLiteral("Select Count(*) DARAB\nFrom RDB$RELATIONS\nWHERE RDB$RELATION_NAME=:name"),
                                     {{QStringLiteral("name"), table}});
        return rs.rowCount() > 0 && rs.at(0, 0).toLongLong() != 0;
    }
    case Branch::SqlServer: {
        const RowSet rs = conn.query(QStringLiteral("SELECT count(*) DARAB\nFROM sys.objects\nWHERE name=:name"),
                                     {{QStringLiteral("name"), table}});
        return rs.rowCount() > 0 && rs.at(0, 0).toLongLong() > 0;
    }
    case Branch::Generic:
        if (!IsPlainIdentifier(table)) return false;
        try {
            conn.query(QStringLiteral("Select * from ") + sqltext::quoteIdent(table) + QStringLiteral(" where 1=2"));
            return true;
        } catch (const DbError&) {
            return false;
        }
    }
    return false;
}

QStringList PrimaryKeyList(Connection& conn, const QString& table) {
    QStringList names;
    switch (branchOf(conn)) {
    case Branch::SqlServer: {
        RowSet rs = conn.query(QString::fromLatin1(kMsPrimaryKey),
                               {{QStringLiteral("PTABLE"), table},
                                {QStringLiteral("pindexname"), QStringLiteral("PK_") + table}});
        while (rs.next()) names << rs.text(QStringLiteral("NAME")).trimmed();
        break;
    }
    case Branch::InterBase: {
        RowSet rs = conn.query(QString::fromLatin1(kIbPrimaryKey),
                               {{QStringLiteral("pkeytype"), QStringLiteral("PRIMARY KEY")},
                                {QStringLiteral("ptable"), table}});
        while (rs.next()) names << rs.text(QStringLiteral("RDB$FIELD_NAME")).trimmed();
        break;
    }
    case Branch::Generic:
        break;
    }
    return names;
}

QString PrimaryKeyFields(Connection& conn, const QString& table, int* count) {
    const QStringList names = PrimaryKeyList(conn, table);
    if (count) *count = int(names.size());
    return names.join(QLatin1Char(','));
}

FieldInfoResult FieldInfo(Connection& conn, const QString& table, const QString& column) {
    FieldInfoResult r;
    switch (branchOf(conn)) {
    case Branch::InterBase: {
        RowSet rs = conn.query(QString::fromLatin1(kIbFieldInfo),
                               {{QStringLiteral("tname"), table}, {QStringLiteral("fname"), column}});
        if (!rs.next()) return r;
        r.found = true;
        r.length = int(rs.integer(QStringLiteral("FIELD_LENGTH")));
        r.typeName = mapIbTypeName(rs.text(QStringLiteral("FIELD_TYPE")));
        const QString source = rs.text(QStringLiteral("FIELD_SOURCE")).trimmed();
        bool notNull = rs.integer(QStringLiteral("NULL_FLAG")) == 1;
        if (!source.startsWith(QStringLiteral("RDB$"))) {
            // A column on a user domain: the domain's flag counts too.
            RowSet d = conn.query(QString::fromLatin1(kIbDomain), {{QStringLiteral("domainname"), source}});
            if (d.next() && d.integer(QStringLiteral("NULL_FLAG")) == 1) notNull = true;
        }
        r.notNull = notNull;
        return r;
    }
    case Branch::SqlServer: {
        RowSet rs = conn.query(QString::fromLatin1(kMsFieldInfo),
                               {{QStringLiteral("tname"), table}, {QStringLiteral("fname"), column}});
        if (!rs.next()) return r;
        r.found = true;
        r.length = int(rs.integer(QStringLiteral("LENGTH")));
        r.notNull = rs.integer(QStringLiteral("ISNULLABLE")) == 0;
        RowSet t = conn.query(QString::fromLatin1(kMsTypeName),
                              {{QStringLiteral("pxusertype"), rs.value(QStringLiteral("XTYPE"))}});
        r.typeName = t.next() ? t.text(QStringLiteral("NAME")).trimmed().toUpper() : QStringLiteral("Unknown");
        return r;
    }
    case Branch::Generic:
        break;
    }
    return r;
}

IdentityResult IdentityInfo(Connection& conn, const QString& table, const QString& column) {
    IdentityResult r;
    if (branchOf(conn) != Branch::SqlServer) return r;
    RowSet rs = conn.query(QString::fromLatin1(kMsIdentity),
                           {{QStringLiteral("ptable"), table}, {QStringLiteral("pfield"), column}});
    if (rs.next() && !rs.isNull(QStringLiteral("IDENT")) && rs.integer(QStringLiteral("IDENT")) == 1) {
        r.identity = true;
        r.seed = rs.integer(QStringLiteral("SEED"));
        r.increment = rs.integer(QStringLiteral("INKREMENT"));
    }
    return r;
}

QString TableNameOfSql(const QStringList& lines) {
    int at = -1;
    for (int i = 0; i < lines.size(); ++i) {
        if (lines.at(i).contains(QStringLiteral("FROM "), Qt::CaseInsensitive)) {
            at = i;
            break;
        }
    }
    if (at < 0) return QString();
    const QString line = lines.at(at).trimmed().toUpper();
    QString name;
    if (line.endsWith(QStringLiteral("FROM"))) {
        name = at + 1 < lines.size() ? lines.at(at + 1).trimmed() : QString();
    } else {
        const int p = line.indexOf(QStringLiteral("FROM "));
        name = line.mid(p + 5, 200);
    }
    name = name.trimmed();
    int sp = name.indexOf(QLatin1Char(' '));
    if (sp >= 0) name = name.left(sp);
    name = name.trimmed();
    int comma = name.indexOf(QLatin1Char(','));
    if (comma >= 0) name = name.left(comma);
    return name.trimmed();
}

QList<TableColumn> TableColumns(Connection& conn, const QString& table) {
    QList<TableColumn> cols;
    if (branchOf(conn) == Branch::InterBase) {
        RowSet rs = conn.query(QString::fromLatin1(kIbColumns), {{QStringLiteral("tname"), table}});
        while (rs.next()) {
            TableColumn c;
            c.name = rs.text(QStringLiteral("FIELD_NAME")).trimmed();
            const QString raw = rs.text(QStringLiteral("FIELD_TYPE"));
            c.scale = int(rs.integer(QStringLiteral("FIELD_SCALE")));
            c.typeWord = ibTypeWord(raw, int(rs.integer(QStringLiteral("FIELD_SUB_TYPE"))), c.scale);
            c.typeName = mapIbTypeName(raw);
            c.length = int(rs.integer(QStringLiteral("FIELD_LENGTH")));
            c.editLength = editLengthOf(c.typeWord, c.length);
            c.notNull = rs.integer(QStringLiteral("NULL_FLAG")) == 1 || rs.integer(QStringLiteral("DOMAIN_NULL_FLAG")) == 1;
            cols << c;
        }
        return cols;
    }
    // SQL Server and generic drivers: what an opened, empty statement reports.
    if (!IsPlainIdentifier(table) || !TableExists(conn, table)) return cols;
    const RowSet rs = conn.query(QStringLiteral("Select * from ") + sqltext::quoteIdent(table) + QStringLiteral(" where 1=2"));
    for (const Column& col : rs.columns()) {
        TableColumn c;
        c.name = col.name;
        c.typeWord = FieldTypeName(col);
        c.typeName = c.typeWord;
        c.length = col.type == ColType::Text ? col.length : 0;
        c.scale = col.scale;
        c.editLength = FieldEditLength(col);
        cols << c;
    }
    return cols;
}

bool HasColumn(Connection& conn, const QString& table, const QString& column) {
    for (const TableColumn& c : TableColumns(conn, table))
        if (c.name == column) return true;
    return false;
}

QHash<QString, QStringList> ReadDependencies(Connection& conn) {
    QHash<QString, QStringList> deps;
    if (branchOf(conn) != Branch::InterBase) return deps;
    // 1 view, 5 procedure, 15 function, 18/19 package; 3 a computed column,
    // counted for its table. Triggers (2) do not run when a statement reads.
    const RowSet rs = conn.query(QStringLiteral(
        "SELECT TRIM(d.RDB$DEPENDENT_NAME), TRIM(d.RDB$DEPENDED_ON_NAME) FROM RDB$DEPENDENCIES d"
        " WHERE d.RDB$DEPENDENT_TYPE IN (1, 5, 15, 18, 19)"
        " UNION"
        " SELECT TRIM(f.RDB$RELATION_NAME), TRIM(d.RDB$DEPENDED_ON_NAME) FROM RDB$DEPENDENCIES d"
        " JOIN RDB$RELATION_FIELDS f ON f.RDB$FIELD_SOURCE = d.RDB$DEPENDENT_NAME"
        " WHERE d.RDB$DEPENDENT_TYPE = 3"));
    for (int r = 0; r < rs.rowCount(); ++r) {
        const QString from = rs.at(r, 0).toString().trimmed(), to = rs.at(r, 1).toString().trimmed();
        if (from.isEmpty() || to.isEmpty() || from == to) continue;
        QStringList& l = deps[from];
        if (!l.contains(to)) l << to;
    }
    return deps;
}

QStringList ObjectsReadThrough(const QHash<QString, QStringList>& deps, const QString& name) {
    QStringList out{name};
    for (qsizetype i = 0; i < out.size(); ++i)
        for (const QString& next : deps.value(out.at(i)))
            if (!out.contains(next)) out << next;
    return out;
}

} // namespace vl::db
