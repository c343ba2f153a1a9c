#include "db/SqlText.h"
#include "util/Texts.h"

namespace vl::db::sqltext {

namespace {

bool isNameStart(QChar c) { return c.isLetter() || c == u'_'; }
bool isNamePart(QChar c) { return c.isLetterOrNumber() || c == u'_' || c == u'$'; }

QChar closingOf(QChar open)
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

std::vector<Token> tokenize(QStringView sql)
{
    std::vector<Token> out;
    const qsizetype n = sql.size();
    qsizetype i = 0;
    auto push = [&out](Tok k, qsizetype from, qsizetype to, bool open = false) {
        out.push_back(Token{k, from, to - from, open});
    };
    while (i < n) {
        const QChar c = sql.at(i);
        if (c.isSpace()) {
            qsizetype j = i + 1;
            while (j < n && sql.at(j).isSpace()) ++j;
            push(Tok::Space, i, j);
            i = j;
            continue;
        }
        if (c == u'-' && i + 1 < n && sql.at(i + 1) == u'-') {
            qsizetype j = i + 2;
            while (j < n && sql.at(j) != u'\n' && sql.at(j) != u'\r') ++j;
            push(Tok::Comment, i, j);
            i = j;
            continue;
        }
        if (c == u'/' && i + 1 < n && sql.at(i + 1) == u'*') {
            const qsizetype close = sql.indexOf(u"*/", i + 2);
            if (close < 0) {
                push(Tok::Comment, i, n, true);
                i = n;
            } else {
                push(Tok::Comment, i, close + 2);
                i = close + 2;
            }
            continue;
        }
        // q'x...x' (the q must not continue a word: "seq'" is a word and a literal)
        if ((c == u'q' || c == u'Q') && i + 2 < n && sql.at(i + 1) == u'\'') {
            const QChar close = closingOf(sql.at(i + 2));
            qsizetype j = i + 3;
            while (j + 1 < n && !(sql.at(j) == close && sql.at(j + 1) == u'\'')) ++j;
            if (j + 1 < n) {
                push(Tok::String, i, j + 2);
                i = j + 2;
            } else {
                push(Tok::String, i, n, true);
                i = n;
            }
            continue;
        }
        if (c == u'\'' || c == u'"') {
            qsizetype j = i + 1;
            bool closed = false;
            while (j < n) {
                if (sql.at(j) == c) {
                    if (j + 1 < n && sql.at(j + 1) == c) { j += 2; continue; }
                    ++j;
                    closed = true;
                    break;
                }
                ++j;
            }
            push(c == u'\'' ? Tok::String : Tok::QuotedIdent, i, j, !closed);
            i = j;
            continue;
        }
        if (isNameStart(c)) {
            qsizetype j = i + 1;
            while (j < n && isNamePart(sql.at(j))) ++j;
            push(Tok::Word, i, j);
            i = j;
            continue;
        }
        if (c.isDigit()) {
            qsizetype j = i + 1;
            while (j < n) {
                const QChar d = sql.at(j);
                if (d.isLetterOrNumber() || d == u'.' || d == u'_') { ++j; continue; }
                // exponent sign: 1.5e-3
                if ((d == u'+' || d == u'-') && (sql.at(j - 1) == u'e' || sql.at(j - 1) == u'E')) { ++j; continue; }
                break;
            }
            push(Tok::Number, i, j);
            i = j;
            continue;
        }
        if (c == u':' && i + 1 < n && isNameStart(sql.at(i + 1))) {
            qsizetype j = i + 2;
            while (j < n && isNamePart(sql.at(j))) ++j;
            push(Tok::Param, i, j);
            i = j;
            continue;
        }
        if (c == u'?') { push(Tok::Placeholder, i, i + 1); ++i; continue; }
        if (c == u';') { push(Tok::Semicolon, i, i + 1); ++i; continue; }
        push(Tok::Symbol, i, i + 1);
        ++i;
    }
    return out;
}

QString tokenValue(QStringView sql, const Token& t)
{
    const QStringView s = t.text(sql);
    switch (t.kind) {
    case Tok::Word:
        return s.toString().toUpper();
    case Tok::Param:
        return s.mid(1).toString().toLower();
    case Tok::QuotedIdent:
    case Tok::String: {
        if (t.kind == Tok::String && (s.startsWith(u'q') || s.startsWith(u'Q'))) {
            // q'x ... x'
            const qsizetype inner = s.size() - 3 - (t.unterminated ? 0 : 2);
            return s.mid(3, qMax<qsizetype>(0, inner)).toString();
        }
        const QChar q = s.at(0);
        const qsizetype inner = s.size() - 1 - (t.unterminated ? 0 : 1);
        QString v = s.mid(1, qMax<qsizetype>(0, inner)).toString();
        v.replace(QString(2, q), QString(q));
        return v;
    }
    default:
        return s.toString();
    }
}

const Token* firstUnterminated(const std::vector<Token>& tokens)
{
    for (const Token& t : tokens)
        if (t.unterminated) return &t;
    return nullptr;
}

bool isBlank(QStringView sql)
{
    for (const Token& t : tokenize(sql))
        if (!t.isTrivia()) return false;
    return true;
}

std::vector<Piece> splitStatements(QStringView sql, Piece* tail)
{
    std::vector<Piece> out;
    const std::vector<Token> toks = tokenize(sql);
    qsizetype start = 0;
    bool open = false;
    bool meaningful = false;
    for (const Token& t : toks) {
        if (t.kind == Tok::Semicolon) {
            if (meaningful)
                out.push_back(Piece{sql.mid(start, t.pos - start).toString(), start, open});
            start = t.pos + 1;
            open = false;
            meaningful = false;
            continue;
        }
        if (t.unterminated) open = true;
        if (!t.isTrivia() || t.unterminated) meaningful = true;
    }
    if (tail) {
        *tail = meaningful ? Piece{sql.mid(start).toString(), start, open} : Piece{QString(), start, false};
    }
    return out;
}

QString firstKeyword(QStringView sql)
{
    for (const Token& t : tokenize(sql)) {
        if (t.isTrivia()) continue;
        return t.kind == Tok::Word ? tokenValue(sql, t) : QString();
    }
    return QString();
}

bool containsWord(QStringView sql, QStringView word)
{
    for (const Token& t : tokenize(sql))
        if (t.kind == Tok::Word && t.text(sql).compare(word, Qt::CaseInsensitive) == 0) return true;
    return false;
}

QString quoteIdent(const QString& name)
{
    QString v = name;
    v.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + v + QLatin1Char('"');
}

QString quoteLiteral(const QString& value)
{
    QString v = value;
    v.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QLatin1Char('\'') + v + QLatin1Char('\'');
}

QString ToSqlInList(const QString& commaList)
{
    QString t = vl::util::TrimText(commaList);
    if (t.isEmpty()) return QString();
    if (t.endsWith(u',')) t.chop(1);
    QStringList items;
    for (const QString& item : t.split(u','))
        items << quoteLiteral(item);
    return QLatin1Char('(') + items.join(QLatin1Char(',')) + QLatin1Char(')');
}

bool isPlainIdent(const QString& name)
{
    if (name.isEmpty() || name.size() > 31) return false;
    const QChar f = name.at(0);
    if (f < u'A' || f > u'Z') return false;
    for (QChar c : name) {
        const bool ok = (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'_' || c == u'$';
        if (!ok) return false;
    }
    return true;
}

} // namespace vl::db::sqltext
