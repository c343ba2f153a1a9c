#include "reporting/DictionaryList.h"
#include "db/DisplayText.h"

#include <functional>

#include "db/Catalogue.h"
#include "db/SqlText.h"
#include "shell/Ini.h"
#include "util/Numbers.h"
#include "util/Texts.h"

#include <QFileInfo>
#include <QImageReader>
#include <cmath>

namespace vl::reporting {

using vl::db::Column;
using vl::db::ColType;
using vl::db::Connection;
using vl::db::RowSet;

namespace {

// The list's measures are given in screen units at 100 % zoom (96 per inch).
constexpr double kUnit = 25.4 / 96.0;
constexpr int kLineLimit = 208;
// Advance of a character of the monospaced face, in mm per point of size.
constexpr double kMonoAdvance = 0.6 * 25.4 / 72.0;

QString valueText(const QVariant& v) {
    QString t = vl::db::displayText(v);
    t.replace(QLatin1String("\r\n"), QLatin1String(" "));
    // A list line is one line: breaks and tabs of memo texts become blanks.
    for (QChar& c : t)
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n') || c == QLatin1Char('\t')) c = QLatin1Char(' ');
    return t;
}

// Catalogue names go into the statement quoted, so a column named like a
// keyword stays a name.
using vl::db::sqltext::quoteIdent;

} // namespace

int displayWidth(const Column& col) {
    switch (col.type) {
    case ColType::Text: return col.length > 0 ? col.length : 20;
    case ColType::Int16: return 6;
    case ColType::Int32: return 11;
    case ColType::Int64: return col.scale < 0 ? 10 : 15;
    case ColType::Boolean: return 5;
    case ColType::Float: return 10;
    case ColType::LongText: return 10;
    case ColType::Date: return 10;
    case ColType::Time: return 10;
    case ColType::Timestamp: return 18;
    case ColType::Unknown: return 10;
    }
    return 10;
}

QString columnLabel(const Column& col) { return col.name; }

int listColumnWidth(const Column& col) {
    return int(vl::util::MaxOf(columnLabel(col).size(), displayWidth(col)));
}

QString listValueText(const QVariant& value) { return valueText(value); }

void splitLine(const QStringList& texts, const QList<int>& widths, QString* line1, QString* line2) {
    QString l1, l2;
    for (int i = 0; i < texts.size() && i < widths.size(); ++i) {
        const int b = widths[i];
        // A longer text is not cut; it shifts what follows, yet keeps one blank
        // before the next column so that two values never run together.
        const QString padded = vl::util::PadRight(texts[i], QLatin1Char(' '), qMax(b + 2, int(texts[i].size()) + 1));
        if (l1.size() + b >= kLineLimit) l2 += padded;
        else l1 += padded;
    }
    if (line1) *line1 = l1;
    if (line2) *line2 = l2;
}

ListLayout computeListLayout(const RowSet& rows) {
    ListLayout L;
    QStringList names;
    for (const Column& c : rows.columns()) {
        L.widths << listColumnWidth(c);
        names << columnLabel(c);
    }
    splitLine(names, L.widths, &L.line1, &L.line2);
    {
        int len1 = 0;
        for (int i = 0; i < names.size(); ++i) {
            const bool second = len1 + L.widths[i] >= kLineLimit;
            L.onLine2 << second;
            if (!second) len1 += L.widths[i] + 2;
        }
    }
    const int n = int(L.line1.size());
    if (n >= 100) {
        L.landscape = true;
        L.headerFontSize = n < 140 ? 10 : n < 180 ? 8 : 6;
    } else {
        L.landscape = false;
        L.headerFontSize = 10;
    }
    // The list never runs past the right margin: a line that the rule's size
    // would not fit is printed smaller (in half points).
    const double width = (L.landscape ? 297.0 : 210.0) - 20.0;
    L.fontSize = L.headerFontSize;
    if (n > 0) {
        const double fit = std::floor(width / (n * kMonoAdvance) * 2.0) / 2.0;
        if (fit < L.fontSize) L.fontSize = qMax(4.0, fit);
    }
    return L;
}

QString configuredLogoPath() {
    QString path;
    if (vl::shell::IniRead(QStringLiteral("LOGO_KEP"), &path) < 0) return QString();
    path = path.trimmed();
    if (path.isEmpty()) return QString();
    const QFileInfo fi(path);
    return fi.exists() && fi.isFile() ? fi.absoluteFilePath() : QString();
}

Report dictionaryListReport(const QString& title, const RowSet& given, const QString& logoPath) {
    const RowSet rows = withoutPasswordColumns(given, builtInPasswordColumns());
    Report r;
    r.name = QStringLiteral("Tqr_szotar");
    r.caption = title;
    r.data = rows;
    r.printIfEmpty = false;
    r.margins = QMarginsF(10, 10, 10, 10);

    const ListLayout L = computeListLayout(rows);
    r.orientation = L.landscape ? QPageLayout::Landscape : QPageLayout::Portrait;
    const double width = r.pageWidth();
    const Font mono = Font::of(QStringLiteral("Courier New"), L.fontSize);
    const Font small = Font::of(QStringLiteral("Arial"), 8);

    // 1. Page header: logo, title, print time, page number.
    const double logoH = 50 * kUnit;
    double logoW = 0;
    QImage logo;
    if (!logoPath.isEmpty()) {
        QImageReader reader(logoPath);
        logo = reader.read();
        if (!logo.isNull() && logo.width() > 0 && logo.height() > 0) {
            // The picture keeps its height; its width follows its proportions.
            const qint64 wUnits = vl::util::RoundHalfAway(50.0 / (double(logo.height()) / double(logo.width())));
            logoW = double(wUnits) * kUnit;
        }
    }
    Band& ph = r.pageHeader;
    ph.name = QStringLiteral("PageHeaderBand1");
    ph.height = logoH + 1;
    if (logoW > 0) ph.add(Field::picture(QStringLiteral("I_logo"), 0, 0, logoW, logoH, logo));
    const double tx = logoW > 0 ? logoW + 4 : 0;
    const double rightW = 40;
    ph.add(Field::label(QStringLiteral("qrl_cim"), tx, 0, qMax(20.0, width - tx - rightW), 6, title,
                        Font::of(QStringLiteral("Arial"), 10, true)));
    Field made = Field::computed(QStringLiteral("qrl_keszult"), tx, 7, 80, 4.5,
                                 [](const PrintContext& c) { return QStringLiteral("Készült: ") + c.printTimeText(); },
                                 small);
    ph.add(made);
    ph.add(Field::page(QStringLiteral("qrl_lapszam"), width - rightW, 0, rightW, 4.5, QStringLiteral("Lapszám: {page}"),
                       small, Align::Right));
    // 2. An empty child band as spacing.
    Band spacer;
    spacer.name = QStringLiteral("ChildBand1");
    spacer.height = 16 * kUnit;
    ph.children << spacer;

    // 3. Column header: the names on one or two lines, a frame line below.
    const bool two = !L.line2.isEmpty();
    const double lineH = 17 * kUnit;
    Band& ch = r.columnHeader;
    ch.name = QStringLiteral("ColumnHeaderBand1");
    ch.height = (two ? 40 : 20) * kUnit;
    ch.frame = FrameBottom;
    {
        Field l1 = Field::label(QStringLiteral("qrl_cimsor1"), 0, kUnit, width, lineH, L.line1, mono);
        l1.wrap = Wrap::Anywhere;
        l1.autoHeight = true;
        ch.add(l1);
        Field l2 = Field::label(QStringLiteral("QRL_cimsor2"), 0, kUnit + lineH + kUnit, width, two ? lineH : 0, L.line2, mono);
        l2.wrap = Wrap::Anywhere;
        l2.autoHeight = true;
        l2.visible = two;
        ch.add(l2);
    }

    // 4. Detail: each row's values split by the same rule as the names.
    Band& d = r.detail;
    d.name = QStringLiteral("DetailBand1");
    d.height = ch.height;
    {
        Field t1 = Field::label(QStringLiteral("QRL_tetel1"), 0, 2 * kUnit, width, lineH, QString(), mono);
        t1.wrap = Wrap::Anywhere;
        t1.autoHeight = true;
        d.add(t1);
        Field t2 = Field::label(QStringLiteral("QRL_tetel2"), 0, 2 * kUnit + lineH + kUnit, width, lineH, QString(), mono);
        t2.wrap = Wrap::Anywhere;
        t2.autoHeight = true;
        d.add(t2);
    }
    const QList<int> widths = L.widths;
    d.beforePrint = [widths](BandPrint& bp, PrintContext& c) {
        QStringList values;
        const int n = c.data().columnCount();
        for (int i = 0; i < n; ++i) values << listValueText(c.data().at(c.row(), i));
        QString l1, l2;
        splitLine(values, widths, &l1, &l2);
        bp.field(QStringLiteral("QRL_tetel1"))->setText(l1);
        FieldPrint* f2 = bp.field(QStringLiteral("QRL_tetel2"));
        f2->setText(l2);
        f2->visible = !l2.isEmpty();
    };
    return r;
}

// ---------------------------------------------------------------- the rows of a table

QStringList passwordColumns(Connection& conn, const QString& table) {
    const QString t = table.trimmed().toUpper();
    QStringList out;
    for (const auto& s : passwordColumnsOf(conn))
        if (s.table == t && !out.contains(s.column)) out << s.column;
    return out;
}

QList<PasswordColumn> builtInPasswordColumns() {
    return {{QStringLiteral("SZ_JUZER"), QStringLiteral("JELSZO")},
            {QStringLiteral("CEG"), QStringLiteral("FTPPWDID")},
            {QStringLiteral("CEG"), QStringLiteral("FTP_PASSWORD")},
            {QStringLiteral("SOFORPIN"), QStringLiteral("PINHASH")}};
}

QList<PasswordColumn> passwordColumnsOf(Connection& conn) {
    QList<PasswordColumn> out = builtInPasswordColumns();
    if (vl::db::TableExists(conn, QStringLiteral("VEZERLO")) &&
        vl::db::HasColumn(conn, QStringLiteral("VEZERLO"), QStringLiteral("PWDCHAR"))) {
        const RowSet rs = conn.query(
            QStringLiteral("SELECT MODUL, MEZO FROM VEZERLO WHERE PWDCHAR IS NOT NULL AND TRIM(PWDCHAR) <> ''"));
        for (int i = 0; i < rs.rowCount(); ++i) {
            const PasswordColumn c{rs.at(i, 0).toString().trimmed().toUpper(), rs.at(i, 1).toString().trimmed().toUpper()};
            if (!c.column.isEmpty() && !isPasswordColumn(c.table, c.column, out)) out << c;
        }
    }
    return out;
}

bool holdsPasswordColumn(const QString& table, const QList<PasswordColumn>& secret) {
    const QString t = table.trimmed();
    if (t.isEmpty()) return false;
    for (const auto& s : secret)
        if (s.table.compare(t, Qt::CaseInsensitive) == 0) return true;
    return false;
}

bool isPasswordColumn(const QString& table, const QString& column, const QList<PasswordColumn>& secret) {
    const QString t = table.trimmed(), c = column.trimmed();
    if (c.isEmpty()) return false;
    for (const auto& s : secret)
        if (s.table.trimmed().compare(t, Qt::CaseInsensitive) == 0 && s.column.trimmed().compare(c, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

bool isPasswordColumn(const Column& col, const QList<PasswordColumn>& secret) {
    if (!col.relation.trimmed().isEmpty()) return isPasswordColumn(col.relation, col.field, secret);
    for (const auto& s : secret)
        if (isPasswordColumn(s.table, col.name, {s})) return true;
    return false;
}

namespace {
// The row set with only the columns that `dropped` does not name.
RowSet keepColumns(const RowSet& rows, const std::function<bool(const Column&)>& dropped) {
    QList<int> keep;
    QList<Column> cols;
    for (int i = 0; i < rows.columnCount(); ++i) {
        const Column& c = rows.columns()[i];
        if (dropped(c)) continue;
        keep << i;
        cols << c;
    }
    if (keep.size() == rows.columnCount()) return rows;
    std::vector<QVariantList> data;
    data.reserve(size_t(rows.rowCount()));
    for (int r = 0; r < rows.rowCount(); ++r) {
        QVariantList row;
        for (int i : keep) row << rows.at(r, i);
        data.push_back(row);
    }
    return RowSet(cols, std::move(data));
}
} // namespace

RowSet withoutPasswordColumns(const RowSet& rows, const QList<PasswordColumn>& secret) {
    return keepColumns(rows, [&secret](const Column& c) { return isPasswordColumn(c, secret); });
}

RowSet withoutColumns(const RowSet& rows, const QStringList& drop) {
    return keepColumns(rows, [&drop](const Column& c) {
        for (const QString& d : drop)
            if (c.name.compare(d, Qt::CaseInsensitive) == 0) return true;
        return false;
    });
}

DictionaryListData dictionaryListData(Connection& conn, const QString& table, bool onlyActive) {
    DictionaryListData out;
    const QString t = table.trimmed().toUpper();
    if (!vl::db::sqltext::isPlainIdent(t) || !vl::db::TableExists(conn, t)) {
        out.error = QStringLiteral("Nincs ilyen tábla:") + t;
        return out;
    }
    // Every name spliced below comes from the catalogue.
    const QList<vl::db::TableColumn> catalogue = vl::db::TableColumns(conn, t);
    auto catalogueName = [&catalogue](const QString& name) -> QString {
        for (const auto& c : catalogue)
            if (c.name.compare(name.trimmed(), Qt::CaseInsensitive) == 0) return c.name;
        return QString();
    };
    out.table = t;

    QStringList fields;
    QString sortField;
    if (vl::db::TableExists(conn, QStringLiteral("VEZERLO"))) {
        const RowSet rs = conn.query(
            QStringLiteral("SELECT * FROM VEZERLO WHERE MODUL = :modul "
                           "AND (UPPER(NEZHETI_JOG) <> 'X' OR NEZHETI_JOG IS NULL) ORDER BY SORREND"),
            {{QStringLiteral("modul"), t}});
        const int cMezo = rs.indexOf(QStringLiteral("MEZO"));
        for (int i = 0; cMezo >= 0 && i < rs.rowCount(); ++i) {
            const QString name = catalogueName(rs.at(i, cMezo).toString());
            if (name.isEmpty()) continue;
            if (sortField.isEmpty()) sortField = name;
            if (!fields.contains(name)) fields << name;
        }
    }
    const QStringList keys = vl::db::PrimaryKeyList(conn, t);
    if (fields.isEmpty()) {
        for (const auto& c : catalogue) fields << c.name;
    } else {
        for (const QString& k : keys) {
            const QString name = catalogueName(k);
            if (!name.isEmpty() && !fields.contains(name, Qt::CaseInsensitive)) fields << name;
        }
    }
    const QList<PasswordColumn> secret = passwordColumnsOf(conn);
    QStringList printed;
    for (const QString& f : fields)
        if (!isPasswordColumn(t, f, secret)) printed << f;
    if (printed.isEmpty()) {
        out.error = QStringLiteral("A táblának nincs nyomtatható oszlopa: ") + t;
        return out;
    }

    QStringList select;
    for (const QString& f : printed) select << quoteIdent(f);
    QString sql = QStringLiteral("SELECT ") + select.join(QLatin1Char(',')) + QStringLiteral(" FROM ") + quoteIdent(t);
    if (onlyActive && !catalogueName(QStringLiteral("AKTIV")).isEmpty())
        sql += QStringLiteral(" WHERE (AKTIV='I' and not AKTIV is null)");
    if (!sortField.isEmpty()) {
        sql += QStringLiteral(" ORDER BY ") + quoteIdent(sortField);
    } else if (!keys.isEmpty()) {
        QStringList k;
        for (const QString& key : keys) {
            const QString name = catalogueName(key);
            if (!name.isEmpty()) k << quoteIdent(name);
        }
        if (!k.isEmpty()) sql += QStringLiteral(" ORDER BY ") + k.join(QLatin1Char(','));
    }
    out.rows = conn.query(sql);
    out.columns = printed;

    out.title = t;
    if (vl::db::TableExists(conn, QStringLiteral("TABLAK"))) {
        const RowSet cap = conn.query(QStringLiteral("SELECT MEGNEVEZES FROM TABLAK WHERE TABLANEV = :tablanev"),
                                      {{QStringLiteral("tablanev"), t}});
        if (!cap.isEmpty()) {
            const QString c = cap.at(0, 0).toString().trimmed();
            if (!c.isEmpty()) out.title = c;
        }
    }
    out.ok = true;
    return out;
}

} // namespace vl::reporting
