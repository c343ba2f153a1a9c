#include "framework/Rights.h"

#include "db/Catalogue.h"
#include "util/MessageSink.h"
#include "util/Texts.h"

namespace vl::framework {

QString RightsLetters(const QString& text) {
    const QString up = vl::util::UpperHu(text);
    QString out;
    for (const QChar c : up) {
        if (c.isSpace() || c == QLatin1Char(',') || c == QLatin1Char(';') || c.unicode() < 32) continue;
        if (!out.contains(c)) out.append(c);
    }
    return out;
}

bool RightsAllowFor(const QString& rightsText, const QString& userRights) {
    const QString text = RightsLetters(rightsText);
    const QString user = RightsLetters(userRights);
    if (text == QStringLiteral("X")) return false;
    if (user.contains(QLatin1Char('W'))) return true;
    if (!text.isEmpty() && !user.isEmpty()) {
        for (const QChar c : text)
            if (c != QLatin1Char('X') && user.contains(c)) return true;
        return false;
    }
    return true;
}

bool RightsAllow(const vl::shell::Session& session, const QString& rightsText) {
    return RightsAllowFor(rightsText, session.rights);
}

QString TableAccessText(TableAccess a) {
    switch (a) {
    case TableAccess::Full: return QStringLiteral("FULL");
    case TableAccess::View: return QStringLiteral("VIEW");
    case TableAccess::None: return QStringLiteral("NONE");
    }
    return QString();
}

TableEntry ReadTableEntry(vl::db::Connection& conn, const QString& name) {
    TableEntry e;
    if (!vl::db::TableExists(conn, QStringLiteral("TABLAK"))) return e;
    const bool hasState = vl::db::HasColumn(conn, QStringLiteral("TABLAK"), QStringLiteral("WINDOWSTATE"));
    const QString sql = QStringLiteral("SELECT MEGNEVEZES, NEZHETI_JOG, IRHATJA_JOG")
                        + (hasState ? QStringLiteral(", WINDOWSTATE") : QString())
                        + QStringLiteral(" FROM TABLAK WHERE UPPER(TRIM(TABLANEV)) = :nev");
    vl::db::RowSet rs = conn.query(sql, {{QStringLiteral("nev"), vl::util::UpperHu(name.trimmed())}});
    if (!rs.next()) return e;
    e.found = true;
    e.caption = rs.text(QStringLiteral("MEGNEVEZES")).trimmed();
    e.viewRights = rs.text(QStringLiteral("NEZHETI_JOG"));
    e.writeRights = rs.text(QStringLiteral("IRHATJA_JOG"));
    if (hasState) e.windowState = rs.text(QStringLiteral("WINDOWSTATE")).trimmed();
    return e;
}

TableAccess TableRightsFor(vl::db::Connection& conn, const QString& name, const QString& userRights) {
    const TableEntry e = ReadTableEntry(conn, name);
    if (!e.found) return TableAccess::Full;
    if (!RightsAllowFor(e.viewRights, userRights)) {
        vl::notify(vl::MsgKind::Warning,
                   QStringLiteral("Önnek nincs joga az alábbi táblát megtekinteni:\n") + e.caption);
        return TableAccess::None;
    }
    return RightsAllowFor(e.writeRights, userRights) ? TableAccess::Full : TableAccess::View;
}

TableAccess TableRights(vl::db::Connection& conn, const vl::shell::Session& session, const QString& name) {
    return TableRightsFor(conn, name, session.rights);
}

} // namespace vl::framework
