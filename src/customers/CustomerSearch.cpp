#include "customers/CustomerSearch.h"

namespace vl::customers {

QString numberKey(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (const QChar ch : text) {
        if (ch.isSpace() || ch == u'-' || ch == u'/' || ch == u'.' || ch == u'(' || ch == u')') continue;
        out += ch;
    }
    return out;
}

namespace {
QString fold(const QString& s) { return s.toCaseFolded(); }
} // namespace

void CustomerSearch::setRows(const vl::db::RowSet& rows, const QString& sortColumn) {
    const int n = rows.rowCount();
    sortKeys_.assign(size_t(n), QString());
    nameKeys_.assign(size_t(n), QString());
    numbers_.assign(size_t(n), QString());
    keys_.assign(size_t(n), QString());
    const int cSort = rows.indexOf(sortColumn);
    const int cName = rows.indexOf(QStringLiteral("NEV"));
    const int cKod = rows.indexOf(QStringLiteral("KOD"));
    const int cNums[] = {rows.indexOf(QStringLiteral("TELEFON")), rows.indexOf(QStringLiteral("MOBILTEL")),
                         rows.indexOf(QStringLiteral("ADOSZAM"))};
    for (int r = 0; r < n; ++r) {
        const auto& row = rows.row(r);
        if (cSort >= 0) sortKeys_[size_t(r)] = fold(row.at(cSort).toString());
        if (cName >= 0) nameKeys_[size_t(r)] = fold(row.at(cName).toString());
        if (cKod >= 0) keys_[size_t(r)] = row.at(cKod).toString().trimmed();
        QString nums;
        for (int c : cNums)
            if (c >= 0) {
                const QString k = numberKey(row.at(c).toString());
                if (!k.isEmpty()) nums += k + QLatin1Char('|');
            }
        numbers_[size_t(r)] = nums;
    }
}

int CustomerSearch::firstStartingWith(const QString& text, bool inNames) const {
    const QString f = fold(text);
    const auto& keys = inNames ? nameKeys_ : sortKeys_;
    for (size_t r = 0; r < keys.size(); ++r)
        if (keys[r].startsWith(f)) return int(r);
    return -1;
}

int CustomerSearch::rowOfKey(const QString& key) const {
    const QString k = key.trimmed();
    if (k.isEmpty()) return -1;
    for (size_t r = 0; r < keys_.size(); ++r)
        if (keys_[r] == k) return int(r);
    return -1;
}

int CustomerSearch::find(const QString& typed) const {
    const QString text = typed.trimmed();
    if (sortKeys_.empty()) return -1;
    if (text.isEmpty()) return 0;
    const QString f = fold(text);
    if (text.at(0).isDigit() || text.at(0) == u'+') {
        // A number: the first row whose sort column starts with it or whose
        // numbers contain it.
        const QString num = numberKey(text);
        for (size_t r = 0; r < sortKeys_.size(); ++r)
            if (sortKeys_[r].startsWith(f) || (!num.isEmpty() && numbers_[r].contains(num))) return int(r);
    }
    for (qsizetype n = f.size(); n >= 1; --n) {
        const QStringView part = QStringView(f).left(n);
        for (size_t r = 0; r < sortKeys_.size(); ++r)
            if (QStringView(sortKeys_[r]).startsWith(part)) return int(r);
    }
    return -1;
}

} // namespace vl::customers
