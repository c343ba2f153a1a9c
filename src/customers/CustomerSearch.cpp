#include "customers/CustomerSearch.h"

#include "util/Texts.h"

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

QHash<QString, qint64> NameRanks(vl::db::Transaction& tx) {
    // The names come in the collation's order (the names' index); names of
    // one text share a place, as DENSE_RANK() OVER (ORDER BY NEV) gives it.
    const vl::db::RowSet rs = tx.query(QStringLiteral("SELECT KOD, NEV FROM UGYFEL ORDER BY NEV"));
    QHash<QString, qint64> out;
    out.reserve(rs.rowCount());
    qint64 rank = 0;
    QString last;
    bool lastNull = false;
    for (int r = 0; r < rs.rowCount(); ++r) {
        const QVariant& v = rs.at(r, 1);
        const QString name = vl::util::WithoutTrailingBlanks(v.toString());
        if (r == 0 || v.isNull() != lastNull || (!v.isNull() && name != last)) ++rank;
        last = name;
        lastNull = v.isNull();
        out.insert(vl::util::WithoutTrailingBlanks(rs.at(r, 0).toString()), rank);
    }
    return out;
}

namespace {
// Case and accents ignored, as the rental lookup finds names.
QString fold(const QString& s) { return vl::util::SearchKey(s); }
} // namespace

void CustomerSearch::setRows(const vl::db::RowSet& rows, const QString& sortColumn) {
    rows_ = rows; // the rows are shared, not copied
    sortColumn_ = sortColumn;
    prepared_ = false;
    numbersPrepared_ = false;
}

void CustomerSearch::prepare() const {
    if (prepared_) return;
    const int n = rows_.rowCount();
    sortKeys_.assign(size_t(n), QString());
    nameKeys_.assign(size_t(n), QString());
    keys_.assign(size_t(n), QString());
    const int cSort = rows_.indexOf(sortColumn_);
    const int cName = rows_.indexOf(QStringLiteral("NEV"));
    const int cKod = rows_.indexOf(QStringLiteral("KOD"));
    for (int r = 0; r < n; ++r) {
        const auto& row = rows_.row(r);
        if (cSort >= 0) sortKeys_[size_t(r)] = fold(row.at(cSort).toString());
        if (cName >= 0) nameKeys_[size_t(r)] = cName == cSort ? sortKeys_[size_t(r)] : fold(row.at(cName).toString());
        if (cKod >= 0) keys_[size_t(r)] = row.at(cKod).toString().trimmed();
    }
    prepared_ = true;
}

void CustomerSearch::prepareNumbers() const {
    if (numbersPrepared_) return;
    const int n = rows_.rowCount();
    numbers_.assign(size_t(n), QString());
    const int cNums[] = {rows_.indexOf(QStringLiteral("TELEFON")), rows_.indexOf(QStringLiteral("MOBILTEL")),
                         rows_.indexOf(QStringLiteral("ADOSZAM"))};
    for (int r = 0; r < n; ++r) {
        const auto& row = rows_.row(r);
        QString nums;
        for (int c : cNums)
            if (c >= 0) {
                const QString k = numberKey(row.at(c).toString());
                if (!k.isEmpty()) nums += k + QLatin1Char('|');
            }
        numbers_[size_t(r)] = nums;
    }
    numbersPrepared_ = true;
}

int CustomerSearch::firstStartingWith(const QString& text, bool inNames) const {
    prepare();
    const QString f = fold(text);
    const auto& keys = inNames ? nameKeys_ : sortKeys_;
    for (size_t r = 0; r < keys.size(); ++r)
        if (keys[r].startsWith(f)) return int(r);
    return -1;
}

int CustomerSearch::rowOfKey(const QString& key) const {
    const QString k = key.trimmed();
    const int c = rows_.indexOf(QStringLiteral("KOD"));
    if (k.isEmpty() || c < 0) return -1;
    for (int r = 0; r < rows_.rowCount(); ++r)
        if (rows_.at(r, c).toString().trimmed() == k) return r;
    return -1;
}

int CustomerSearch::find(const QString& typed, bool* whole) const {
    const QString text = typed.trimmed();
    if (whole) *whole = true;
    if (rows_.isEmpty()) {
        if (whole) *whole = text.isEmpty();
        return -1;
    }
    prepare();
    if (text.isEmpty()) return 0;
    const QString f = fold(text);
    if (text.at(0).isDigit() || text.at(0) == u'+') {
        // A number: the first row whose sort column starts with it or whose
        // numbers contain it.
        const QString num = numberKey(text);
        prepareNumbers();
        for (size_t r = 0; r < sortKeys_.size(); ++r)
            if (sortKeys_[r].startsWith(f) || (!num.isEmpty() && numbers_[r].contains(num))) return int(r);
    }
    for (qsizetype n = f.size(); n >= 1; --n) {
        const QStringView part = QStringView(f).left(n);
        for (size_t r = 0; r < sortKeys_.size(); ++r)
            if (QStringView(sortKeys_[r]).startsWith(part)) {
                if (whole) *whole = n == f.size();
                return int(r);
            }
    }
    if (whole) *whole = false;
    return -1;
}

} // namespace vl::customers
