#include "db/NamedParams.h"
#include "db/SqlText.h"

namespace vl::db {

ParsedSql parseNamedParams(const QString& sql)
{
    using namespace sqltext;
    ParsedSql out;
    out.sql.reserve(sql.size());
    int positional = 0;
    auto addSlot = [&out](const QString& lname) {
        qsizetype idx = out.names.indexOf(lname);
        if (idx < 0) {
            out.names.append(lname);
            idx = out.names.size() - 1;
        }
        out.markers.push_back(int(idx));
    };
    for (const Token& t : tokenize(sql)) {
        if (t.kind == Tok::Param) {
            addSlot(tokenValue(sql, t));
            out.sql += u'?';
        } else if (t.kind == Tok::Placeholder) {
            addSlot(QString::number(++positional));
            out.sql += u'?';
        } else {
            out.sql += t.text(sql);
        }
    }
    return out;
}

} // namespace vl::db
