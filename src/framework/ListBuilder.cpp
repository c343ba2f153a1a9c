#include "framework/ListBuilder.h"

#include "db/Catalogue.h"
#include "db/DisplayText.h"
#include "db/SqlText.h"
#include "framework/ControlTables.h"
#include "framework/Rights.h"
#include "framework/Validation.h"

#include <QLocale>
#include <algorithm>

using vl::db::Connection;
using vl::db::Params;
using vl::db::RowSet;

namespace vl::framework {

namespace {

const QString kMarkChars = QStringLiteral("123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ");

bool isNumericType(const QString& typeWord) {
    return typeWord == QLatin1String("INTEGER") || typeWord == QLatin1String("SMALLINT") ||
           typeWord == QLatin1String("FLOAT");
}

// A typed value as it is bound for a column: numbers for numeric columns.
QVariant typedValue(const ListField& f, const QString& v, QString* error) {
    if (!isNumericType(f.typeWord)) return v;
    // The same reading as the editor's number fields: either separator, blanks group.
    const NumberEntry n = ReadNumberEntry(v);
    if (n.ok && f.typeWord == QLatin1String("FLOAT")) return n.value;
    if (n.ok && !n.fraction && !n.overflow) return n.whole;
    *error = QStringLiteral("A(z) \"") + f.caption + QStringLiteral("\" mező értéke nem szám: ") + v;
    return {};
}

// A value as the readable summary shows it (the statement itself binds it).
QString quoted(const QString& v) { return vl::db::sqltext::quoteLiteral(v); }

// Names go into the statement quoted, so a column named like a keyword stays a name.
using vl::db::sqltext::quoteIdent;

} // namespace

// ------------------------------------------------------------------ operators

QStringList ConditionOperatorItems() {
    return {QStringLiteral("=    egyenlő"),
            QStringLiteral(">    nagyobb"),
            QStringLiteral(">=  nagyobb, vagy egyenlő"),
            QStringLiteral("<    kisebb"),
            QStringLiteral("<=  kisebb, vagy egyenlő"),
            QStringLiteral("<>  nem egyenlő"),
            QStringLiteral("%t% szöveget tartalmaz bárhol"),
            QStringLiteral("%t   szöveg vége"),
            QStringLiteral("t%   szöveg kezdete"),
            QStringLiteral("[]    tól - ig"),
            QStringLiteral("null érték nélkül")};
}

QString ConditionOperatorToken(CondOp op) {
    switch (op) {
    case CondOp::Equal: return QStringLiteral("=");
    case CondOp::Greater: return QStringLiteral(">");
    case CondOp::GreaterEq: return QStringLiteral(">=");
    case CondOp::Less: return QStringLiteral("<");
    case CondOp::LessEq: return QStringLiteral("<=");
    case CondOp::NotEqual: return QStringLiteral("<>");
    case CondOp::Contains: return QStringLiteral("%t%");
    case CondOp::EndsWith: return QStringLiteral("%t");
    case CondOp::StartsWith: return QStringLiteral("t%");
    case CondOp::Between: return QStringLiteral("[]");
    case CondOp::IsNull: return QStringLiteral("null");
    }
    return QStringLiteral("=");
}

CondOp ConditionOperatorOfItem(const QString& item) {
    const QString t = item.left(4).trimmed();
    for (int i = 0; i <= int(CondOp::IsNull); ++i)
        if (ConditionOperatorToken(CondOp(i)) == t) return CondOp(i);
    return CondOp::Equal;
}

// ------------------------------------------------------------------ the SELECT-only check

QString NotSelectText() { return QStringLiteral("Csak SELECT utasítás futtatható."); }
QString SeveralStatementsText() {
    return QStringLiteral("Egyszerre csak egy SELECT utasítás futtatható: a ';' után nem állhat újabb utasítás.");
}
QString NoStatementText() { return QStringLiteral("Nincs futtatható utasítás."); }
QString FreeSqlRightText() {
    return QStringLiteral("Saját SQL utasítást csak teljes jogú (\"W\") felhasználó futtathat.");
}
QString MaxMarksText() { return QStringLiteral("Legfeljebb 35 mező választható ki."); }
QString PasswordColumnText(const QString& column) {
    return QStringLiteral("Jelszót tartalmazó mező nem kérdezhető le: ") + column;
}

QString PasswordTableText(const QString& table, const QString& through) {
    QString t = QStringLiteral("Jelszót tartalmazó tábla nem olvasható: ") + table;
    if (!through.isEmpty() && through != table) t += QStringLiteral(" (a(z) ") + through + QStringLiteral(" olvassa)");
    return t;
}

QString TypedStatementRefusal(Connection& conn, const QString& statement,
                              const QList<vl::reporting::PasswordColumn>& secret) {
    using namespace vl::db::sqltext;
    QStringList secretNames;
    for (const auto& c : secret)
        if (!secretNames.contains(c.column, Qt::CaseInsensitive)) secretNames << c.column;
    const QString named = NamedPasswordColumn(StatementIdentifiers(statement), secretNames);
    if (!named.isEmpty()) return PasswordColumnText(named);

    // The names the statement holds; what follows a '.' is a column of a qualifier.
    QStringList names;
    bool afterDot = false;
    for (const Token& t : tokenize(statement)) {
        if (t.isTrivia()) continue;
        if ((t.kind == Tok::Word || t.kind == Tok::QuotedIdent) && !afterDot) {
            const QString v = tokenValue(statement, t);
            if (!names.contains(v)) names << v;
        }
        afterDot = t.kind == Tok::Symbol && t.text(statement) == u".";
    }
    QHash<QString, QStringList> deps;
    bool depsRead = false;
    for (const QString& n : names) {
        if (vl::reporting::holdsPasswordColumn(n, secret)) return PasswordTableText(n.toUpper());
        if (!depsRead) {
            deps = vl::db::ReadDependencies(conn);
            depsRead = true;
        }
        if (!deps.contains(n)) continue;
        for (const QString& o : vl::db::ObjectsReadThrough(deps, n))
            if (vl::reporting::holdsPasswordColumn(o, secret)) return PasswordTableText(o, n);
    }
    return QString();
}

QStringList StatementIdentifiers(const QString& sql) {
    using namespace vl::db::sqltext;
    QStringList out;
    for (const Token& t : tokenize(sql))
        if (t.kind == Tok::Word || t.kind == Tok::QuotedIdent) out << tokenValue(sql, t);
    return out;
}

QString NamedPasswordColumn(const QStringList& identifiers, const QStringList& passwordNames) {
    for (const QString& id : identifiers)
        for (const QString& p : passwordNames)
            if (id.compare(p, Qt::CaseInsensitive) == 0) return p;
    return QString();
}

SqlCheck CheckSingleSelect(const QString& sql) {
    using namespace vl::db::sqltext;
    SqlCheck out;
    const std::vector<Token> toks = tokenize(sql);
    if (const Token* open = firstUnterminated(toks)) {
        out.message = open->kind == Tok::Comment ? QStringLiteral("Lezáratlan megjegyzés az utasításban.")
                                                 : QStringLiteral("Lezáratlan szöveg az utasításban.");
        return out;
    }
    // The statement's tokens up to the first ';' (blanks and comments left out);
    // after it only blanks, comments and further ';' may follow.
    std::vector<const Token*> body;
    int end = -1;
    for (const Token& t : toks) {
        if (t.isTrivia()) continue;
        if (end < 0) {
            if (t.kind == Tok::Semicolon) end = int(t.pos);
            else body.push_back(&t);
        } else if (t.kind != Tok::Semicolon) {
            // What kind of statement it is comes first: "EXECUTE BLOCK ... ; END" is not a SELECT.
            end = -2;
            break;
        }
    }
    if (body.empty()) {
        out.message = NoStatementText();
        return out;
    }
    // The first word, past opening parentheses.
    QString word;
    for (const Token* t : body) {
        if (t->kind == Tok::Symbol && t->text(sql) == u"(") continue;
        if (t->kind == Tok::Word) word = tokenValue(sql, *t);
        break;
    }
    if (word != QLatin1String("SELECT") && word != QLatin1String("WITH")) {
        out.message = NotSelectText();
        return out;
    }
    if (end == -2) {
        out.message = SeveralStatementsText();
        return out;
    }
    // No generator may be stepped: GEN_ID or NEXT VALUE FOR, as words of the statement.
    for (std::size_t i = 0; i < body.size(); ++i) {
        auto isWord = [&](std::size_t k, const char* w) {
            return k < body.size() && body[k]->kind == Tok::Word && tokenValue(sql, *body[k]) == QLatin1String(w);
        };
        if (isWord(i, "GEN_ID") || (isWord(i, "NEXT") && isWord(i + 1, "VALUE") && isWord(i + 2, "FOR"))) {
            out.message = QStringLiteral("A lekérdezés nem léptethet generátort (GEN_ID, NEXT VALUE FOR).");
            return out;
        }
    }
    out.ok = true;
    out.end = end;
    return out;
}

// The statement text without the ';' that closes it (and what follows it).
static QString withoutTerminator(const QString& sql, const SqlCheck& check) {
    return check.end >= 0 ? sql.left(check.end) : sql;
}

// ------------------------------------------------------------------ loading

bool ListBuilder::load(Connection& conn, const QString& table) {
    table_.clear();
    fields_.clear();
    allColumns_.clear();
    hidden_.clear();
    const QString t = table.trimmed().toUpper();
    if (t.isEmpty() || !vl::db::TableExists(conn, t)) return false;
    const QList<vl::db::TableColumn> cols = vl::db::TableColumns(conn, t);
    if (cols.isEmpty()) return false;
    table_ = t;
    auto catalogueColumn = [&](const QString& name) -> const vl::db::TableColumn* {
        for (const auto& c : cols)
            if (c.name.compare(name, Qt::CaseInsensitive) == 0) return &c;
        return nullptr;
    };
    for (const auto& c : cols) allColumns_ << c.name;

    // Password columns: the fields with a password mask, and the built-in ones.
    secret_ = vl::reporting::passwordColumnsOf(conn);
    for (const auto& c : cols)
        if (vl::reporting::isPasswordColumn(t, c.name, secret_)) hidden_ << c.name;

    const PanelRows panel = ReadPanelRows(conn, t, QString());
    for (const VezerloRow& r : panel.rows) {
        if (r.mezo.isEmpty()) continue;                                       // a label or a button
        if (r.button.compare(QLatin1String("MEMO"), Qt::CaseInsensitive) == 0) continue;
        const auto* c = catalogueColumn(r.mezo);
        if (!c || hidden_.contains(c->name)) continue;
        bool dup = false;
        for (const auto& f : fields_) dup = dup || f.column == c->name;
        if (dup) continue;
        ListField f;
        f.column = c->name;
        f.caption = r.megnevezes.isEmpty() ? c->name : r.megnevezes;
        f.typeWord = c->typeWord;
        fields_ << f;
    }
    if (fields_.isEmpty()) {
        for (const auto& c : cols) {
            if (hidden_.contains(c.name)) continue;
            ListField f;
            f.column = c.name;
            f.caption = c.name;
            f.typeWord = c.typeWord;
            fields_ << f;
        }
    }
    return true;
}

// ------------------------------------------------------------------ choices

namespace {
// Takes a field's number out of a numbering (marks, sort positions): the
// fields numbered after it move up by one.
void clearPosition(QList<ListField>& fields, ListField& f, int ListField::*position) {
    const int removed = f.*position;
    f.*position = 0;
    for (auto& g : fields)
        if (g.*position > removed) --(g.*position);
}
} // namespace

int ListBuilder::highestMark() const {
    int m = 0;
    for (const auto& f : fields_) m = std::max(m, f.mark);
    return m;
}

int ListBuilder::highestSortPos() const {
    int m = 0;
    for (const auto& f : fields_) m = std::max(m, f.sortPos);
    return m;
}

bool ListBuilder::toggleMark(int row) {
    if (row < 0 || row >= fieldCount()) return false;
    ListField& f = fields_[row];
    if (f.mark == 0) {
        const int next = highestMark() + 1;
        if (next > MaxMarks) return false;
        f.mark = next;
        return true;
    }
    clearPosition(fields_, f, &ListField::mark);
    return true;
}

bool ListBuilder::toggleSort(int row) {
    if (row < 0 || row >= fieldCount()) return false;
    ListField& f = fields_[row];
    if (!(f.mark > 0 || f.sortPos > 0 || anyMarked())) return false;
    if (f.sortPos == 0) {
        f.sortPos = highestSortPos() + 1;
        return true;
    }
    clearPosition(fields_, f, &ListField::sortPos);
    return true;
}

void ListBuilder::cycleJoin(int row) {
    if (row < 0 || row >= fieldCount()) return;
    fields_[row].joinOr = !fields_[row].joinOr;
}

QString ListBuilder::addCondition(int row, CondOp op, const QString& value, const QString& value2) {
    if (row < 0 || row >= fieldCount()) return QString();
    ListField& f = fields_[row];
    CondTerm t;
    t.op = op;
    t.value = value.trimmed();
    t.value2 = value2.trimmed();
    const bool like = op == CondOp::Contains || op == CondOp::EndsWith || op == CondOp::StartsWith;
    if (op == CondOp::Between && (t.value.isEmpty() || t.value2.isEmpty()))
        return QStringLiteral("A \"tól - ig\" feltételhez mindkét érték megadása szükséges.");
    if (op != CondOp::IsNull && !like) {
        QString error;
        typedValue(f, t.value, &error);
        if (error.isEmpty() && op == CondOp::Between) typedValue(f, t.value2, &error);
        if (!error.isEmpty()) return error;
    }
    if (op == CondOp::IsNull) { t.value.clear(); t.value2.clear(); }
    if (op != CondOp::Between) t.value2.clear();
    t.joinAnd = op == CondOp::NotEqual;
    f.terms << t;
    f.joinOr = false;
    return QString();
}

void ListBuilder::clearCondition(int row) {
    if (row >= 0 && row < fieldCount()) fields_[row].terms.clear();
}

void ListBuilder::clearAllConditions() {
    for (auto& f : fields_) f.terms.clear();
}

void ListBuilder::reset() {
    for (auto& f : fields_) {
        f.mark = 0;
        f.sortPos = 0;
        f.joinOr = false;
        f.terms.clear();
    }
}

QString ListBuilder::markChar(int mark) {
    return mark >= 1 && mark <= MaxMarks ? QString(kMarkChars[mark - 1]) : QString();
}

QString ListBuilder::sortText(int row) const {
    const int s = fields_.at(row).sortPos;
    return s > 0 ? QString::number(s) : QString();
}

QString ListBuilder::joinText(int row) const {
    const ListField& f = fields_.at(row);
    if (f.terms.isEmpty() && !f.joinOr) return QString();
    return f.joinOr ? QStringLiteral("or") : QStringLiteral("and");
}

QString ListBuilder::conditionText(int row) const {
    // As it reads: " = 'A' or  = 'B'" (the field's name is in the grid's row).
    QString out;
    const ListField& f = fields_.at(row);
    for (int i = 0; i < f.terms.size(); ++i) {
        const CondTerm& t = f.terms[i];
        if (i > 0) out += t.joinAnd ? QStringLiteral(" and ") : QStringLiteral(" or ");
        switch (t.op) {
        case CondOp::IsNull: out += QStringLiteral(" is null "); break;
        case CondOp::Contains: out += QStringLiteral(" like ") + quoted(QLatin1Char('%') + t.value + QLatin1Char('%')); break;
        case CondOp::EndsWith: out += QStringLiteral(" like ") + quoted(QLatin1Char('%') + t.value); break;
        case CondOp::StartsWith: out += QStringLiteral(" like ") + quoted(t.value + QLatin1Char('%')); break;
        case CondOp::Between:
            out += QStringLiteral(" between ") + quoted(t.value) + QStringLiteral(" and ") + quoted(t.value2);
            break;
        default: out += QLatin1Char(' ') + ConditionOperatorToken(t.op) + QLatin1Char(' ') + quoted(t.value); break;
        }
    }
    return out;
}

// ------------------------------------------------------------------ building

QString ListBuilder::conditionSql(const ListField& f, Params* params, QString* readable) const {
    const QString col = quoteIdent(table_) + QLatin1Char('.') + quoteIdent(f.column);
    const QString shown = table_ + QLatin1Char('.') + f.column;
    QString sql, text;
    auto bind = [&](const QVariant& v) {
        const QString name = QStringLiteral("p%1").arg(params->size() + 1);
        params->push_back({name, v});
        return QLatin1Char(':') + name;
    };
    for (int i = 0; i < f.terms.size(); ++i) {
        const CondTerm& t = f.terms[i];
        if (i > 0) {
            sql += t.joinAnd ? QStringLiteral(" and ") : QStringLiteral(" or ");
            text += t.joinAnd ? QStringLiteral(" and ") : QStringLiteral(" or ");
        }
        QString err;
        switch (t.op) {
        case CondOp::IsNull:
            sql += col + QStringLiteral(" is null");
            text += shown + QStringLiteral(" is null");
            break;
        case CondOp::Contains:
            sql += col + QStringLiteral(" like ") + bind(QLatin1Char('%') + t.value + QLatin1Char('%'));
            text += shown + QStringLiteral(" like ") + quoted(QLatin1Char('%') + t.value + QLatin1Char('%'));
            break;
        case CondOp::EndsWith:
            sql += col + QStringLiteral(" like ") + bind(QLatin1Char('%') + t.value);
            text += shown + QStringLiteral(" like ") + quoted(QLatin1Char('%') + t.value);
            break;
        case CondOp::StartsWith:
            sql += col + QStringLiteral(" like ") + bind(t.value + QLatin1Char('%'));
            text += shown + QStringLiteral(" like ") + quoted(t.value + QLatin1Char('%'));
            break;
        case CondOp::Between: {
            const QString a = bind(typedValue(f, t.value, &err));
            const QString b = bind(typedValue(f, t.value2, &err));
            sql += col + QStringLiteral(" between ") + a + QStringLiteral(" and ") + b;
            text += shown + QStringLiteral(" between ") + quoted(t.value) + QStringLiteral(" and ") + quoted(t.value2);
            break;
        }
        default:
            sql += col + QLatin1Char(' ') + ConditionOperatorToken(t.op) + QLatin1Char(' ') +
                   bind(typedValue(f, t.value, &err));
            text += shown + QLatin1Char(' ') + ConditionOperatorToken(t.op) + QLatin1Char(' ') + quoted(t.value);
            break;
        }
    }
    if (f.terms.size() > 1) {
        sql = QLatin1Char('(') + sql + QLatin1Char(')');
        text = QLatin1Char('(') + text + QLatin1Char(')');
    }
    if (readable) *readable = text;
    return sql;
}

BuiltQuery ListBuilder::build() const {
    BuiltQuery q;
    const QString t = quoteIdent(table_);

    // Output columns in mark order; none marked: every column but the passwords.
    QList<const ListField*> out;
    for (const auto& f : fields_)
        if (f.mark > 0) out << &f;
    std::stable_sort(out.begin(), out.end(), [](const ListField* a, const ListField* b) { return a->mark < b->mark; });
    QStringList select, shown;
    for (const ListField* f : out) {
        select << t + QLatin1Char('.') + quoteIdent(f->column);
        shown << table_ + QLatin1Char('.') + f->column;
    }
    if (select.isEmpty()) {
        for (const QString& c : allColumns_)
            if (!hidden_.contains(c)) select << t + QLatin1Char('.') + quoteIdent(c);
    }
    q.selectedFields = shown.join(QLatin1Char(','));

    // Conditions: the fields joined with "and" first, then those joined with "or".
    QStringList where, readable;
    for (int pass = 0; pass < 2; ++pass) {
        for (const auto& f : fields_) {
            if (f.terms.isEmpty() || f.joinOr != (pass == 1)) continue;
            QString text;
            const QString sql = conditionSql(f, &q.params, &text);
            const QString word = f.joinOr ? QStringLiteral("or ") : QStringLiteral("and ");
            where << (where.isEmpty() ? QString() : word) + sql;
            readable << (readable.isEmpty() ? QString() : word) + text;
        }
    }
    q.condition = readable.join(QLatin1Char(' '));
    if (readable.size() > 1 && q.condition.contains(QLatin1String(" or ")))
        q.condition = QLatin1Char('(') + q.condition + QLatin1Char(')');

    QList<const ListField*> sorted;
    for (const auto& f : fields_)
        if (f.sortPos > 0) sorted << &f;
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const ListField* a, const ListField* b) { return a->sortPos < b->sortPos; });
    QStringList order, orderShown;
    for (const ListField* f : sorted) {
        order << t + QLatin1Char('.') + quoteIdent(f->column);
        orderShown << table_ + QLatin1Char('.') + f->column;
    }
    q.order = orderShown.join(QStringLiteral(" , "));

    QStringList lines;
    lines << QStringLiteral("SELECT ") + select.join(QStringLiteral(", "));
    lines << QStringLiteral("FROM ") + t;
    if (!where.isEmpty()) {
        lines << QStringLiteral("WHERE");
        for (const QString& w : where) lines << QStringLiteral("  ") + w;
    }
    if (!order.isEmpty()) lines << QStringLiteral("ORDER BY ") + order.join(QStringLiteral(", "));
    q.sql = lines.join(QLatin1Char('\n'));
    return q;
}

QString ListBuilder::distinctSql(int row) const {
    const QString col = quoteIdent(fields_.at(row).column);
    return QStringLiteral("SELECT FIRST 1000 DISTINCT ") + col + QStringLiteral(" FROM ") + quoteIdent(table_) +
           QStringLiteral(" ORDER BY ") + col;
}

QStringList ListBuilder::distinctValues(Connection& conn, int row) const {
    QStringList out;
    if (row < 0 || row >= fieldCount()) return out;
    auto tx = conn.begin(vl::db::TxMode::ReadOnly);
    const RowSet rs = tx->query(distinctSql(row));
    tx->commit();
    // Shown as the result grid shows them.
    const vl::db::DisplayFormat shown = rs.columnCount() > 0 ? vl::db::DisplayFormat::of(rs.columns().at(0))
                                                             : vl::db::DisplayFormat();
    for (int r = 0; r < rs.rowCount(); ++r) {
        const QVariant v = rs.at(r, 0);
        if (v.isNull()) continue;
        out << vl::db::displayText(v, shown);
    }
    return out;
}

// ------------------------------------------------------------------ running

RowSet ListBuilder::run(Connection& conn, const BuiltQuery& q) const {
    const SqlCheck check = CheckSingleSelect(q.sql);
    if (!check.ok) throw vl::db::DbError(check.message, 0, vl::db::DbError::Kind::General, q.sql);
    auto tx = conn.begin(vl::db::TxMode::ReadOnly);
    RowSet rs = tx->query(q.sql, q.params);
    tx->commit();
    return vl::reporting::withoutPasswordColumns(rs, secret_);
}

bool ListBuilder::runTyped(Connection& conn, const QString& sql, const QString& userRights, const Params& params,
                           RowSet* rows, QString* message) const {
    if (!RightsLetters(userRights).contains(QLatin1Char('W'))) {
        if (message) *message = FreeSqlRightText();
        return false;
    }
    const SqlCheck check = CheckSingleSelect(sql);
    if (!check.ok) {
        if (message) *message = check.message;
        return false;
    }
    const QString refusal = TypedStatementRefusal(conn, withoutTerminator(sql, check), secret_);
    if (!refusal.isEmpty()) {
        if (message) *message = refusal;
        return false;
    }
    auto tx = conn.begin(vl::db::TxMode::ReadOnly);
    auto st = tx->prepare(withoutTerminator(sql, check));
    for (const QString& name : st->parameterNames()) {
        const auto it = std::find_if(params.begin(), params.end(), [&](const auto& p) {
            return p.first.compare(name, Qt::CaseInsensitive) == 0;
        });
        if (it == params.end()) {
            if (message) *message = QStringLiteral("Az utasítás ismeretlen paramétert használ: :") + name;
            return false;
        }
        st->bind(name, it->second);
    }
    RowSet rs = st->open();
    st.reset();
    tx->commit();
    if (rows) *rows = vl::reporting::withoutPasswordColumns(rs, secret_);
    return true;
}

} // namespace vl::framework
