#include "Texts.h"
#include "ConversionError.h"

#include <QCollator>
#include <QLocale>

namespace vl::util {

namespace {

bool isTrimmed(QChar c) { return c.unicode() <= 32 || c.unicode() == 127; }

// Letter-by-letter case mapping over code points (simple mapping, so "ß" stays
// one letter and the length of the text never changes).
template <typename Map>
QString mapCase(const QString& s, Map map) {
    QString r;
    r.reserve(s.size());
    for (qsizetype i = 0; i < s.size(); ++i) {
        const QChar c = s.at(i);
        if (c.isHighSurrogate() && i + 1 < s.size() && s.at(i + 1).isLowSurrogate()) {
            const char32_t cp = QChar::surrogateToUcs4(c, s.at(i + 1));
            const char32_t m = map(cp);
            if (QChar::requiresSurrogates(m)) {
                r.append(QChar(QChar::highSurrogate(m)));
                r.append(QChar(QChar::lowSurrogate(m)));
            } else {
                r.append(QChar(char16_t(m)));
            }
            ++i;
        } else {
            const char32_t m = map(char32_t(c.unicode()));
            r.append(QChar::requiresSurrogates(m) ? c : QChar(char16_t(m)));
        }
    }
    return r;
}

bool isAsciiDigit(QChar c) { return c >= u'0' && c <= u'9'; }
bool isAsciiLetter(QChar c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }

} // namespace

QString TrimText(const QString& s) {
    qsizetype b = 0, e = s.size();
    while (b < e && isTrimmed(s.at(b))) ++b;
    while (e > b && isTrimmed(s.at(e - 1))) --e;
    return s.mid(b, e - b);
}

QString UpperHu(const QString& s) {
    return mapCase(s, [](char32_t c) { return QChar::toUpper(c); });
}

QString LowerHu(const QString& s) {
    return mapCase(s, [](char32_t c) { return QChar::toLower(c); });
}

bool SameTextHu(const QString& a, const QString& b) { return UpperHu(a) == UpperHu(b); }

int CompareTextHu(const QString& a, const QString& b) {
    // One collator per thread: opening one is costly, sharing one is not safe.
    thread_local const QCollator col = [] {
        QCollator c(QLocale(QLocale::Hungarian, QLocale::Hungary));
        c.setCaseSensitivity(Qt::CaseInsensitive);
        return c;
    }();
    const int r = col.compare(a, b);
    if (r != 0) return r < 0 ? -1 : 1;
    // Equal for the collator: fall back to the upper-cased texts so that only
    // texts that differ in case alone compare equal.
    const int r2 = UpperHu(a).compare(UpperHu(b));
    return r2 < 0 ? -1 : (r2 > 0 ? 1 : 0);
}

QString ZeroPad(const QString& s, int width) { return PadLeft(TrimText(s), u'0', width); }

QString PadLeft(const QString& s, QChar ch, int length) {
    if (s.size() >= length) return s;
    return QString(length - s.size(), ch) + s;
}

QString PadRight(const QString& s, QChar ch, int length) {
    if (s.size() >= length) return s;
    return s + QString(length - s.size(), ch);
}

QString EnsureTrailing(const QString& s, const QString& suffix) {
    const QString t = TrimText(s);
    if (suffix.isEmpty() || (!t.isEmpty() && t.endsWith(suffix))) return t;
    return t + suffix;
}

QString IncludeBackslash(const QString& path) {
    const QString t = TrimText(path);
    if (t.isEmpty() || t.endsWith(u'/') || t.endsWith(u'\\')) return t;
    return t + u'/';
}

int CountChar(const QString& s, const QString& ch) {
    if (ch.isEmpty()) return 0;
    return int(s.count(ch.at(0)));
}

bool HasAnyChar(const QString& a, const QString& b) {
    const QString ta = TrimText(a), tb = TrimText(b);
    for (QChar c : ta)
        if (tb.contains(c)) return true;
    return false;
}

int LastPos(const QString& pattern, const QString& text) {
    if (pattern.isEmpty()) return 0;
    for (qsizetype p = text.size() - pattern.size(); p >= 2; --p)
        if (QStringView(text).mid(p - 1, pattern.size()) == pattern) return int(p);
    return 0;
}

int NthOccurrenceEnd(const QString& pattern, const QString& text, int n) {
    if (pattern.isEmpty() || n < 1) return 0;
    qsizetype from = 0;
    for (int k = 0; k < n; ++k) {
        const qsizetype idx = text.indexOf(pattern, from);
        if (idx < 0) return 0;
        from = idx + pattern.size();
    }
    return int(from);
}

QString NextInCycle(const QString& ch, const QString& list) {
    if (list.isEmpty()) return QString();
    if (!ch.isEmpty()) {
        const qsizetype i = list.indexOf(ch.at(0));
        if (i >= 0 && i < list.size() - 1) return QString(list.at(i + 1));
    }
    return QString(list.at(0));
}

int FindInStrings(const QString& text, const QStringList& list, bool caseSensitive,
                  int startColumn, bool exact) {
    const QString t = caseSensitive ? text : UpperHu(text);
    for (qsizetype i = 0; i < list.size(); ++i) {
        QString item = caseSensitive ? list.at(i) : UpperHu(list.at(i));
        if (startColumn > 1) item = item.mid(startColumn - 1);
        if (exact ? item == t : item.contains(t)) return int(i);
    }
    return -1;
}

int FindInArray(const QString& text, const QStringList& array, bool exact, bool caseSensitive) {
    return FindInStrings(text, array, caseSensitive, 1, exact);
}

QString CapitalizeWords(const QString& s, bool lowerRest) {
    static const QString breakers = QStringLiteral(" -_.()");
    QString r;
    r.reserve(s.size());
    for (qsizetype i = 0; i < s.size(); ++i) {
        const QString c(s.at(i));
        if (i == 0 || breakers.contains(s.at(i - 1))) r += UpperHu(c);
        else r += lowerRest ? LowerHu(c) : c;
    }
    return r;
}

QString FoldAccents(const QString& s) {
    // The last pair, Í -> I, completes the capitals of the Hungarian vowels.
    static const QString from = QStringLiteral("ÁÉÓÖŐÚÜŰôľśĆŁµëáéíóöőúüűÍ");
    static const QString to   = QStringLiteral("AEOOOUUUouuauauaeiooouuuI");
    static const QString kept = QStringLiteral(".,-/();\":| ");
    QString r;
    r.reserve(s.size());
    for (QChar c : s) {
        const qsizetype i = from.indexOf(c);
        if (i >= 0) r += to.at(i);
        else if (isAsciiDigit(c) || isAsciiLetter(c) || kept.contains(c)) r += c;
        else r += u'A';
    }
    return r;
}

QString WithoutTrailingBlanks(const QString& s) {
    qsizetype n = s.size();
    while (n > 0 && s.at(n - 1) == QLatin1Char(' ')) --n;
    return s.left(n);
}

QString SearchKey(const QString& s) {
    const QString d = s.normalized(QString::NormalizationForm_KD);
    QString r;
    r.reserve(d.size());
    for (const QChar c : d)
        if (c.category() != QChar::Mark_NonSpacing) r += c;
    return r.toCaseFolded();
}

QString StampedName(const QString& text, const QString& prefix, const QDateTime& at) {
    constexpr int maxLen = 31;
    const QString stamp = at.toString(QStringLiteral("yyMMddhhmmsszzz"));
    // Folded and upper-cased; whatever is not A-Z, 0-9 or "_" becomes "_".
    auto identifier = [](const QString& s) {
        QString r;
        for (QChar c : s) {
            const QChar f = c == u'_' ? c : FoldAccents(QString(c)).at(0).toUpper();
            r += (isAsciiDigit(f) || isAsciiLetter(f)) ? f : QChar(u'_');
        }
        return r;
    };
    QString head = identifier(prefix) + identifier(QString(text).remove(u' '));
    if (head.isEmpty() || !isAsciiLetter(head.at(0))) head.prepend(u'T');
    head.truncate(maxLen - 1 - stamp.size());
    return head + u'_' + stamp;
}

QString ModeCaption(const QString& mode) {
    if (mode == QStringLiteral("browse")) return QStringLiteral("böngész");
    if (mode.startsWith(QStringLiteral("insert"))) return QStringLiteral("új tétel");
    if (mode == QStringLiteral("update")) return QStringLiteral("módosítás");
    if (mode == QStringLiteral("modify")) return QStringLiteral("változtatás");
    if (mode == QStringLiteral("wiev")) return QStringLiteral("megnéz");
    return mode;
}

namespace {
// Takes the next component off a version text; an exhausted text gives 0.
qint64 nextComponent(QString& rest, const QString& whole) {
    if (rest.isEmpty()) return 0;
    const qsizetype dot = rest.indexOf(u'.');
    const QString part = TrimText(dot < 0 ? rest : rest.left(dot));
    rest = dot < 0 ? QString() : rest.mid(dot + 1);
    bool ok = !part.isEmpty();
    for (QChar c : part) ok = ok && isAsciiDigit(c);
    const qint64 v = ok ? part.toLongLong(&ok) : 0;
    if (!ok) throw ConversionError(QStringLiteral("Hibás verziószám: ") + whole, QStringLiteral("HigherVersion"));
    return v;
}
} // namespace

QString HigherVersion(const QString& a, const QString& b) {
    QString ra = TrimText(a), rb = TrimText(b);
    while (!ra.isEmpty() || !rb.isEmpty()) {
        const qint64 ca = nextComponent(ra, a);
        const qint64 cb = nextComponent(rb, b);
        if (ca != cb) return ca > cb ? a : b;
    }
    return a;
}

QString ExcelColumnName(int index) {
    constexpr int lastColumn = 16383; // "XFD"
    if (index < 0 || index > lastColumn) return QString();
    QString r;
    int n = index + 1;
    while (n > 0) {
        const int m = (n - 1) % 26;
        r.prepend(QChar(u'A' + m));
        n = (n - 1) / 26;
    }
    return r;
}

int ExcelMaxRows(const QString& version) {
    const qsizetype dot = version.indexOf(u'.');
    const QString major = dot < 0 ? QString() : TrimText(version.left(dot));
    bool ok = !major.isEmpty();
    for (QChar c : major) ok = ok && isAsciiDigit(c);
    const int v = ok ? major.toInt(&ok) : 0;
    if (!ok) throw ConversionError(QStringLiteral("Hibás verziószám: ") + version, QStringLiteral("ExcelMaxRows"));
    if (v <= 7) return 16384;
    if (v <= 11) return 65536;
    return 1048576;
}

} // namespace vl::util
