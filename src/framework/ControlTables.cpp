#include "framework/ControlTables.h"

#include "db/Catalogue.h"
#include "util/Dates.h"
#include "util/Numbers.h"
#include "util/Texts.h"

#include <QDateTime>

namespace vl::framework {

using vl::db::Connection;
using vl::db::RowSet;

namespace {

QString up(const QString& s) { return vl::util::UpperHu(s.trimmed()); }

QString opt(const RowSet& rs, const QString& col) {
    return rs.hasColumn(col) ? rs.text(col) : QString();
}
int optInt(const RowSet& rs, const QString& col) {
    return rs.hasColumn(col) && !rs.isNull(col) ? int(rs.integer(col)) : 0;
}

// The catalogue's own spelling of a column of a table, "" when it has none.
QString catalogueColumn(const QList<vl::db::TableColumn>& cols, const QString& name) {
    for (const auto& c : cols)
        if (c.name.compare(name.trimmed(), Qt::CaseInsensitive) == 0) return c.name;
    return QString();
}

} // namespace

PanelRows ReadPanelRows(Connection& conn, const QString& panel, const QString& panel2) {
    PanelRows out;
    if (up(panel) == QStringLiteral("X")) return out;
    if (!vl::db::TableExists(conn, QStringLiteral("VEZERLO"))) return out;
    for (const auto& c : vl::db::TableColumns(conn, QStringLiteral("VEZERLO")))
        if (c.name == QStringLiteral("MEGNEVEZES") && c.length > 0) out.megnevezesLength = c.length;
    RowSet rs = conn.query(QStringLiteral(
        "SELECT * FROM VEZERLO WHERE (UPPER(TRIM(MODUL)) = :modul OR UPPER(TRIM(MODUL)) = :modul2)"
        " AND (NEZHETI_JOG IS NULL OR UPPER(TRIM(NEZHETI_JOG)) <> 'X') ORDER BY SORREND"),
        {{QStringLiteral("modul"), up(panel)}, {QStringLiteral("modul2"), up(panel2.isEmpty() ? panel : panel2)}});
    out.hasIrhatja = rs.hasColumn(QStringLiteral("IRHATJA_JOG"));
    out.hasPvezerlo = rs.hasColumn(QStringLiteral("PVEZERLO"));
    out.hasCharcase = rs.hasColumn(QStringLiteral("CHARCASE"));
    out.hasPwdchar = rs.hasColumn(QStringLiteral("PWDCHAR"));
    out.hasEditmask = rs.hasColumn(QStringLiteral("EDITMASK"));
    out.hasNotnull = rs.hasColumn(QStringLiteral("NOTNULL"));
    out.hasEcolor = rs.hasColumn(QStringLiteral("ECOLOR"));
    while (rs.next()) {
        VezerloRow r;
        r.modul = rs.text(QStringLiteral("MODUL")).trimmed();
        r.sorrend = int(rs.integer(QStringLiteral("SORREND")));
        r.nezhetiJog = opt(rs, QStringLiteral("NEZHETI_JOG"));
        r.irhatjaJog = opt(rs, QStringLiteral("IRHATJA_JOG")).trimmed();
        r.mezo = up(opt(rs, QStringLiteral("MEZO")));
        r.oszlopnev = opt(rs, QStringLiteral("OSZLOPNEV")).trimmed();
        r.megnevezes = opt(rs, QStringLiteral("MEGNEVEZES")).trimmed();
        r.valid = optInt(rs, QStringLiteral("VALID"));
        r.valtMezo = up(opt(rs, QStringLiteral("VALT_MEZO")));
        r.button = opt(rs, QStringLiteral("BUTTON")).trimmed();
        r.szot = up(opt(rs, QStringLiteral("SZOT_")));
        r.valt = up(opt(rs, QStringLiteral("VALT_")));
        r.funkcio = optInt(rs, QStringLiteral("FUNKCIO"));
        r.pvezerlo = opt(rs, QStringLiteral("PVEZERLO")).trimmed();
        r.szotwhere = opt(rs, QStringLiteral("SZOTWHERE")).trimmed();
        r.szotmezo = up(opt(rs, QStringLiteral("SZOTMEZO")));
        for (int i = 0; i < 3; ++i) {
            r.plusfield[i] = opt(rs, QStringLiteral("PLUSFIELD%1").arg(i + 1)).trimmed();
            r.plusfieldH[i] = optInt(rs, QStringLiteral("PLUSFIELD%1H").arg(i + 1));
        }
        r.charcase = up(opt(rs, QStringLiteral("CHARCASE")));
        r.pwdchar = opt(rs, QStringLiteral("PWDCHAR")).trimmed();
        r.editmask = opt(rs, QStringLiteral("EDITMASK")).trimmed();
        r.notnull = up(opt(rs, QStringLiteral("NOTNULL")));
        r.ecolor = opt(rs, QStringLiteral("ECOLOR")).trimmed();
        out.rows << r;
    }
    return out;
}

QList<PvezerloRow> ReadPvezerlo(Connection& conn, const QString& panel) {
    QList<PvezerloRow> out;
    if (panel.trimmed().isEmpty() || !vl::db::TableExists(conn, QStringLiteral("PVEZERLO"))) return out;
    RowSet rs = conn.query(QStringLiteral("SELECT * FROM PVEZERLO WHERE UPPER(TRIM(PANEL)) = :panel"),
                           {{QStringLiteral("panel"), up(panel)}});
    while (rs.next()) {
        PvezerloRow r;
        r.panel = rs.text(QStringLiteral("PANEL")).trimmed();
        r.szotmezo = up(rs.text(QStringLiteral("SZOTMEZO")));
        r.qmezo = up(rs.text(QStringLiteral("QMEZO")));
        r.muvelet = rs.text(QStringLiteral("MUVELET")).trimmed();
        r.szotmezo2 = up(rs.text(QStringLiteral("SZOTMEZO2")));
        out << r;
    }
    return out;
}

QList<DifolcRow> ReadDifolc(Connection& conn, const QString& modul) {
    QList<DifolcRow> out;
    if (!vl::db::TableExists(conn, QStringLiteral("DIFOLC"))) return out;
    RowSet rs = conn.query(QStringLiteral("SELECT MEZO, ERTEK FROM DIFOLC WHERE UPPER(TRIM(MODUL)) = :modul ORDER BY SORREND"),
                           {{QStringLiteral("modul"), up(modul)}});
    while (rs.next()) out << DifolcRow{up(rs.text(QStringLiteral("MEZO"))), rs.text(QStringLiteral("ERTEK"))};
    return out;
}

QString EvaluateDefault(const vl::shell::Session& session, const QString& ertek, const FieldTextFn& fieldText,
                        bool literalOtherwise) {
    const QString e = ertek.trimmed();
    if (e.startsWith(QLatin1Char('$'))) return e.mid(1);
    if (e.startsWith(QLatin1Char('#'))) {
        const int orPos = e.indexOf(QStringLiteral(" OR "), 0, Qt::CaseInsensitive);
        const QString first = (orPos < 0 ? e.mid(1) : e.mid(1, orPos - 1)).trimmed();
        const QString t = fieldText ? fieldText(up(first)) : QString();
        if (!t.isNull()) return t;
        if (orPos < 0) return QString();
        const QString alt = e.mid(orPos + 4).trimmed().left(40);
        if (alt.startsWith(QLatin1Char('$'))) return alt.mid(1);
        if (alt.startsWith(QLatin1Char('#'))) {
            const QString t2 = fieldText ? fieldText(up(alt.mid(1))) : QString();
            return t2.isNull() ? QString() : t2;
        }
        return QString();
    }
    const QString word = e.toUpper();
    if (word == QStringLiteral("@FDATE")) return vl::util::TodayStr();
    if (word == QStringLiteral("@FDATETIME"))
        return QDateTime::currentDateTime().toString(QStringLiteral("yyyy.MM.dd HH:mm:ss"));
    if (word == QStringLiteral("@USER")) return session.userCode;
    if (e.startsWith(QLatin1Char('@'))) return QString();
    return literalOtherwise ? ertek : QString();
}

Condition DictionaryCondition(const QString& szotwhere, const FieldTextFn& fieldText) {
    Condition c;
    QString w = szotwhere;
    const int hash = w.indexOf(QLatin1Char('#'));
    if (hash >= 0) {
        int end = hash + 1;
        while (end < w.size() && (w.at(end).isLetterOrNumber() || w.at(end) == QLatin1Char('_'))) ++end;
        const QString field = w.mid(hash + 1, end - hash - 1);
        const QString text = fieldText ? fieldText(up(field)) : QString();
        if (field.isEmpty() || text.isNull()) return Condition{};
        // A quoted '#G' (as older rows write it) loses its quotes with the value.
        int from = hash, to = end;
        if (from > 0 && w.at(from - 1) == QLatin1Char('\'') && to < w.size() && w.at(to) == QLatin1Char('\'')) {
            --from;
            ++to;
        }
        w = w.left(from) + QStringLiteral(":szotfield") + w.mid(to);
        c.params.push_back({QStringLiteral("szotfield"), text});
    }
    const int dollar = w.indexOf(QLatin1Char('$'));
    if (dollar >= 0) w.remove(dollar, 1);
    c.text = w.trimmed();
    if (c.text.isEmpty()) c.params.clear();
    return c;
}

Condition PlainCondition(const QString& where, const vl::db::Params& params) {
    Condition c;
    QString w = where.trimmed();
    if (w.left(5).compare(QStringLiteral("WHERE"), Qt::CaseInsensitive) == 0 &&
        (w.size() == 5 || !w.at(5).isLetterOrNumber()))
        w = w.mid(5).trimmed();
    c.text = w;
    c.params = params;
    return c;
}

InfoExpression ParseInfoExpression(const QString& expr) {
    InfoExpression e;
    const QString x = expr.trimmed();
    if (x.startsWith(QLatin1Char('#'))) {
        e.valid = x.size() > 1;
        e.isField = true;
        e.field = up(x.mid(1).left(20));
        return e;
    }
    const int dot = x.indexOf(QLatin1Char('.'));
    const int comma = x.indexOf(QLatin1Char(','));
    const int eq = x.indexOf(QLatin1Char('='));
    if (dot < 0 || comma < 0 || eq < 0 || !(dot < comma && comma < eq)) return e;
    e.table = up(x.left(dot));
    QString col = x.mid(dot + 1, comma - dot - 1).trimmed();
    const int at = col.indexOf(QLatin1Char('@'));
    if (at >= 0) {
        e.alias = col.mid(at + 1).trimmed();
        col = col.left(at).trimmed();
    }
    e.column = up(col);
    const QString cond = x.mid(comma + 1);
    const int ceq = cond.indexOf(QLatin1Char('='));
    const QStringList keys = cond.left(ceq).split(QLatin1Char('+'));
    const QStringList srcs = cond.mid(ceq + 1).split(QLatin1Char('+'));
    if (keys.size() != srcs.size()) return e;
    for (int i = 0; i < keys.size(); ++i) {
        e.keyColumns << up(keys.at(i));
        e.sourceFields << up(srcs.at(i));
    }
    e.valid = !e.table.isEmpty() && !e.column.isEmpty();
    return e;
}

QString EvaluateInfo(Connection& conn, const InfoExpression& e,
                     const std::function<QVariant(const QString&)>& sourceValue) {
    if (!e.valid) return QString();
    if (e.isField) return vl::util::VarToText(sourceValue(e.field));
    if (!vl::db::IsPlainIdentifier(e.table)) return QString();
    const auto cols = vl::db::TableColumns(conn, e.table);
    const QString col = catalogueColumn(cols, e.column);
    if (col.isEmpty()) return QString();
    QStringList conds;
    vl::db::Params params;
    for (int i = 0; i < e.keyColumns.size(); ++i) {
        const QString k = catalogueColumn(cols, e.keyColumns.at(i));
        if (k.isEmpty()) return QString();
        const QVariant v = sourceValue(e.sourceFields.at(i));
        const QString p = QStringLiteral("k%1").arg(i);
        conds << k + QStringLiteral(" = :") + p;
        params.push_back({p, vl::util::VarToText(v)});
    }
    QString sql = QStringLiteral("SELECT ") + col + QStringLiteral(" FROM ") + e.table;
    if (!conds.isEmpty()) sql += QStringLiteral(" WHERE ") + conds.join(QStringLiteral(" AND "));
    RowSet rs = conn.query(sql, params);
    QStringList seen;
    while (rs.next()) {
        const QString v = vl::util::VarToText(rs.value(0)).trimmed();
        if (v.isEmpty() || seen.contains(v)) continue;
        seen << v;
    }
    return seen.join(QStringLiteral(", "));
}

} // namespace vl::framework
