#include "db/NamedParams.h"

namespace vl::db {

namespace {
bool isNameStart(QChar c) { return c.isLetter() || c == u'_'; }
bool isNamePart(QChar c) { return c.isLetterOrNumber() || c == u'_' || c == u'$'; }

QChar closingQuote(QChar open)
{
    switch (open.unicode()) {
    case '{': return u'}';
    case '[': return u']';
    case '(': return u')';
    case '<': return u'>';
    default: return open;
    }
}
} // namespace

ParsedSql parseNamedParams(const QString& sql)
{
    ParsedSql out;
    out.sql.reserve(sql.size());
    const qsizetype n = sql.size();
    int positional = 0;
    qsizetype i = 0;
    auto addSlot = [&out](const QString& lname) {
        qsizetype idx = out.names.indexOf(lname);
        if (idx < 0) {
            out.names.append(lname);
            idx = out.names.size() - 1;
        }
        out.markers.push_back(int(idx));
    };
    while (i < n) {
        const QChar c = sql.at(i);
        // q'{...}' alternative string literal
        if ((c == u'q' || c == u'Q') && i + 2 < n && sql.at(i + 1) == u'\''
            && (i == 0 || !isNamePart(sql.at(i - 1)))) {
            const QChar close = closingQuote(sql.at(i + 2));
            qsizetype j = i + 3;
            while (j < n && !(sql.at(j) == close && j + 1 < n && sql.at(j + 1) == u'\''))
                ++j;
            j = qMin(n, j + 2);
            out.sql += QStringView(sql).mid(i, j - i);
            i = j;
            continue;
        }
        if (c == u'\'' || c == u'"') {
            // literal or quoted identifier; a doubled quote stays inside
            qsizetype j = i + 1;
            while (j < n) {
                if (sql.at(j) == c) {
                    if (j + 1 < n && sql.at(j + 1) == c) { j += 2; continue; }
                    ++j;
                    break;
                }
                ++j;
            }
            out.sql += QStringView(sql).mid(i, j - i);
            i = j;
            continue;
        }
        if (c == u'-' && i + 1 < n && sql.at(i + 1) == u'-') {
            qsizetype j = sql.indexOf(u'\n', i);
            j = j < 0 ? n : j;
            out.sql += QStringView(sql).mid(i, j - i);
            i = j;
            continue;
        }
        if (c == u'/' && i + 1 < n && sql.at(i + 1) == u'*') {
            qsizetype j = sql.indexOf(QStringLiteral("*/"), i + 2);
            j = j < 0 ? n : j + 2;
            out.sql += QStringView(sql).mid(i, j - i);
            i = j;
            continue;
        }
        if (c == u':' && i + 1 < n && isNameStart(sql.at(i + 1))) {
            qsizetype j = i + 1;
            while (j < n && isNamePart(sql.at(j)))
                ++j;
            addSlot(sql.mid(i + 1, j - i - 1).toLower());
            out.sql += u'?';
            i = j;
            continue;
        }
        if (c == u'?') {
            addSlot(QString::number(++positional));
            out.sql += u'?';
            ++i;
            continue;
        }
        out.sql += c;
        ++i;
    }
    return out;
}

} // namespace vl::db
