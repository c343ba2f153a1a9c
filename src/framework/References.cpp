#include "framework/References.h"

#include "db/Catalogue.h"
#include "util/Numbers.h"
#include "util/Texts.h"

namespace vl::framework {

using vl::db::Connection;

const QList<Reference>& FixedReferences() {
    static const QList<Reference> refs = [] {
        QList<Reference> r;
        auto add = [&r](const char* t, const char* c, const char* rt, const char* rc = "KOD") {
            r << Reference{QString::fromLatin1(t), QString::fromLatin1(c), QString::fromLatin1(rt), QString::fromLatin1(rc)};
        };
        add("FORGFEJ", "STATUS", "SZ_STATUSR");
        add("FORGFEJ", "STATUSELOZO", "SZ_STATUSR");
        add("FORGFEJ", "BERMOD", "SZ_BERMOD");
        add("FORGFEJ", "FIZMOD", "SZ_FIZMOD");
        add("FORGFEJ", "UGYFELKOD", "UGYFEL");
        add("FORGFEJ", "UGYFELCIM", "UGYFELCIM");
        add("FORGSOR", "ARUCSOPORT", "SZ_ARUCSOP");
        add("FORGSOR", "M_EGYSEG", "SZ_MEGYSEG");
        add("FORGSOR", "BERMEGYSEG", "SZ_MEGYSEG");
        add("FORGSOR", "SOFORKOD", "SZ_SOFOR");
        add("FORGKABIN", "ARUKOD", "ARU");
        add("FORGKABIN", "SOFORKOD", "SZ_SOFOR");
        add("FORGTEV", "TEVKOD", "SZ_TEVEKENY");
        add("FORGTEV", "TEVALLAPOT", "SZ_STATUST");
        add("FORGTEV", "SOFORKOD", "SZ_SOFOR");
        add("FORGTEV", "ARUKOD", "ARU");
        add("FORGFIZ", "TEVALLAPOT", "SZ_STATUST");
        add("FORGFIZ", "TEVKOD", "SZ_TEVEKENY");
        add("FORGFIZ", "SOFORKOD", "SZ_SOFOR");
        add("SZ_ARUCSOP", "M_EGYSEG", "SZ_MEGYSEG");
        add("SZ_TEVAR", "TEVKOD", "SZ_TEVEKENY");
        add("SZ_TEVAR", "CSOPKOD", "SZ_ARUCSOP");
        add("ARU", "ARUCSOPORT", "SZ_ARUCSOP");
        add("ARU", "ALLAPOT", "SZ_STATUSK");
        add("ARU", "UGYFEL", "UGYFEL");
        add("ARU", "CIM", "UGYFELCIM");
        add("UGYFEL", "FIZMOD", "SZ_FIZMOD");
        add("UGYFELCIM", "UGYFELKOD", "UGYFEL");
        return r;
    }();
    return refs;
}

namespace {

bool columnExists(Connection& conn, const QString& table, const QString& column) {
    if (!vl::db::IsPlainIdentifier(table) || !vl::db::IsPlainIdentifier(column)) return false;
    return vl::db::HasColumn(conn, table, column);
}

} // namespace

QList<Reference> ReferencesTo(Connection& conn, const QString& refTable) {
    const QString target = refTable.trimmed().toUpper();
    QList<Reference> out;
    auto addUnique = [&](const Reference& r) {
        for (const auto& o : out)
            if (o.table == r.table && o.column == r.column && o.refColumn == r.refColumn) return;
        if (r.table == target && r.column == r.refColumn) return; // a key names itself
        if (!columnExists(conn, r.table, r.column) || !columnExists(conn, r.refTable, r.refColumn)) return;
        out << r;
    };
    for (const auto& r : FixedReferences())
        if (r.refTable == target) addUnique(r);
    if (conn.driverName() == QStringLiteral("INTRBASE")) {
        // Foreign keys declared in the database (single-column ones).
        vl::db::RowSet rs = conn.query(QStringLiteral(
            "SELECT TRIM(RC.RDB$RELATION_NAME) T, TRIM(S.RDB$FIELD_NAME) C, TRIM(PS.RDB$FIELD_NAME) PC "
            "FROM RDB$RELATION_CONSTRAINTS RC "
            "JOIN RDB$REF_CONSTRAINTS REF ON REF.RDB$CONSTRAINT_NAME = RC.RDB$CONSTRAINT_NAME "
            "JOIN RDB$RELATION_CONSTRAINTS PK ON PK.RDB$CONSTRAINT_NAME = REF.RDB$CONST_NAME_UQ "
            "JOIN RDB$INDEX_SEGMENTS S ON S.RDB$INDEX_NAME = RC.RDB$INDEX_NAME "
            "JOIN RDB$INDEX_SEGMENTS PS ON PS.RDB$INDEX_NAME = PK.RDB$INDEX_NAME "
            "AND PS.RDB$FIELD_POSITION = S.RDB$FIELD_POSITION "
            "WHERE RC.RDB$CONSTRAINT_TYPE = 'FOREIGN KEY' AND TRIM(PK.RDB$RELATION_NAME) = :t"),
            {{QStringLiteral("t"), target}});
        while (rs.next())
            addUnique(Reference{rs.text(QStringLiteral("T")), rs.text(QStringLiteral("C")), target,
                                rs.text(QStringLiteral("PC"))});
    }
    if (vl::db::TableExists(conn, QStringLiteral("VEZERLO"))) {
        vl::db::RowSet rs = conn.query(QStringLiteral(
            "SELECT MODUL, MEZO, SZOTMEZO FROM VEZERLO WHERE UPPER(TRIM(BUTTON)) = 'SZOT'"
            " AND UPPER(TRIM(SZOT_)) = :t AND MEZO IS NOT NULL"),
            {{QStringLiteral("t"), target}});
        while (rs.next()) {
            QString modul = rs.text(QStringLiteral("MODUL")).trimmed().toUpper();
            const int comma = modul.indexOf(QLatin1Char(','));
            if (comma >= 0) modul = modul.left(comma);
            const int plus = modul.indexOf(QLatin1Char('+'));
            if (plus >= 0) modul = modul.left(plus);
            QString key = rs.text(QStringLiteral("SZOTMEZO")).trimmed().toUpper();
            if (key.isEmpty()) key = QStringLiteral("KOD");
            addUnique(Reference{modul.trimmed(), rs.text(QStringLiteral("MEZO")).trimmed().toUpper(), target, key});
        }
    }
    return out;
}

ReferenceUse FindReferenceUse(Connection& conn, vl::db::Transaction& tx, const QString& refTable,
                              const QString& refColumn, const QVariant& value) {
    ReferenceUse use;
    if (value.isNull() || vl::util::VarToText(value).isEmpty()) return use;
    for (const Reference& r : ReferencesTo(conn, refTable)) {
        if (r.refColumn.compare(refColumn, Qt::CaseInsensitive) != 0) continue;
        const QString sql = QStringLiteral("SELECT COUNT(*) FROM ") + r.table + QStringLiteral(" WHERE ") + r.column
                            + QStringLiteral(" = :v");
        const vl::db::Params p{{QStringLiteral("v"), vl::util::VarToText(value)}};
        const vl::db::RowSet rs = tx.query(sql, p);
        const qint64 n = rs.isEmpty() ? 0 : rs.at(0, 0).toLongLong();
        if (n > 0) {
            use.found = true;
            use.ref = r;
            use.count = n;
            return use;
        }
    }
    return use;
}

} // namespace vl::framework
