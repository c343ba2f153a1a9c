#include "rental/CabinLabels.h"

#include "reporting/Fonts.h"
#include "shell/Ini.h"
#include "util/CabinScan.h"
#include "util/NumberFormat.h"

#include <QRegularExpression>
#include <QSet>
#include <algorithm>
#include <optional>

namespace vl::rental {

using namespace vl::reporting;
using vl::db::Params;
using vl::db::RowSet;

namespace {

constexpr double kPaperW = 210.0;
constexpr double kPaperH = 297.0;
constexpr double kEps = 0.001;
constexpr double kPtMm = 25.4 / 72.0;

// A cabin number's value ("007" is 7); none for a code of another form.
std::optional<qint64> codeValue(const QString& code) {
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,18}$"));
    const QString t = code.trimmed();
    if (!digits.match(t).hasMatch()) return std::nullopt;
    return t.toLongLong();
}

QString mm(double v) { return vl::util::FormatGeneral(v) + QStringLiteral(" mm"); }

struct IniNumber {
    const char* key;
    double min, max;
    bool whole;
};

// One PKR.INI value: empty or missing keeps the default.
QString readValue(const IniNumber& n, double* value) {
    const QString key = QString::fromLatin1(n.key);
    const QString raw = vl::shell::IniValue(key).trimmed();
    if (raw.isEmpty()) return {};
    static const QRegularExpression whole(QStringLiteral("^[0-9]{1,4}$"));
    static const QRegularExpression decimal(QStringLiteral("^[0-9]{1,4}([.,][0-9]{1,2})?$"));
    bool ok = (n.whole ? whole : decimal).match(raw).hasMatch();
    const double v = ok ? QString(raw).replace(QLatin1Char(','), QLatin1Char('.')).toDouble(&ok) : 0.0;
    if (!ok || v < n.min - kEps || v > n.max + kEps) {
        return QStringLiteral("A PKR.INI %1 beállítása hibás: \"%2\" (%3 és %4 közötti %5 kell).")
            .arg(key, raw.left(40), vl::util::FormatGeneral(n.min), vl::util::FormatGeneral(n.max),
                 n.whole ? QStringLiteral("egész szám") : QStringLiteral("szám (milliméter)"));
    }
    *value = v;
    return {};
}

Font font(double size, bool bold = false) { return Font::of(QStringLiteral("Arial"), size, bold); }

// The largest point size, at most `size`, at which the text fits the width.
double fittingSize(const QString& text, double size, double widthMm, bool bold) {
    while (size > 6 && textWidthMm(font(size, bold), text) > widthMm) size -= 0.5;
    return size;
}

// A text field whose font shrinks until its text fits its width.
Field fitted(const QString& name, double x, double y, double w, double h, const Font& f, Align align,
             std::function<QString(const PrintContext&)> expr) {
    Field fd = Field::computed(name, x, y, w, h, std::move(expr), f, align);
    fd.onPrint = [w](FieldPrint& p, PrintContext&) {
        p.font.pointSize = fittingSize(p.text, p.font.pointSize, w, p.font.bold);
    };
    return fd;
}

QString phoneText(const LabelCompany& c) {
    return c.phone.trimmed().isEmpty() ? QString() : QStringLiteral("Tel.: ") + c.phone.trimmed();
}

} // namespace

// ---------------------------------------------------------------- layout

QString LabelLayoutRefusal(const LabelLayout& l) {
    const double across = l.left + l.columns * l.width + (l.columns - 1) * l.columnGap;
    const double down = l.top + l.rows * l.height + (l.rows - 1) * l.rowGap;
    if (across > kPaperW + kEps)
        return QStringLiteral("A címkék nem férnek el az A4-es lap szélességében: %1 bal margó + %2 × %3 + %4 × %5 köz = %6 "
                              "(legfeljebb 210 mm). Ellenőrizze a PKR.INI CIMKEBAL, CIMKEOSZLOP, CIMKESZELESSEG és "
                              "CIMKEOSZLOPKOZ beállítását.")
            .arg(mm(l.left)).arg(l.columns).arg(mm(l.width)).arg(l.columns - 1).arg(mm(l.columnGap), mm(across));
    if (down > kPaperH + kEps)
        return QStringLiteral("A címkék nem férnek el az A4-es lap magasságában: %1 felső margó + %2 × %3 + %4 × %5 köz = %6 "
                              "(legfeljebb 297 mm). Ellenőrizze a PKR.INI CIMKEFELSO, CIMKESOR, CIMKEMAGASSAG és "
                              "CIMKESORKOZ beállítását.")
            .arg(mm(l.top)).arg(l.rows).arg(mm(l.height)).arg(l.rows - 1).arg(mm(l.rowGap), mm(down));
    return {};
}

LabelLayoutRead ReadLabelLayout() {
    LabelLayoutRead r;
    LabelLayout& l = r.layout;
    double columns = l.columns, rows = l.rows;
    const std::pair<IniNumber, double*> keys[] = {
        {{"CIMKEOSZLOP", 1, 10, true}, &columns},       {{"CIMKESOR", 1, 30, true}, &rows},
        {{"CIMKESZELESSEG", 20, 210, false}, &l.width}, {{"CIMKEMAGASSAG", 10, 297, false}, &l.height},
        {{"CIMKEBAL", 0, 100, false}, &l.left},         {{"CIMKEFELSO", 0, 100, false}, &l.top},
        {{"CIMKEOSZLOPKOZ", 0, 50, false}, &l.columnGap}, {{"CIMKESORKOZ", 0, 50, false}, &l.rowGap}};
    QStringList wrong;
    for (const auto& [key, value] : keys) {
        const QString why = readValue(key, value);
        if (!why.isEmpty()) wrong << why;
    }
    l.columns = int(columns);
    l.rows = int(rows);
    r.refusal = wrong.isEmpty() ? LabelLayoutRefusal(l) : wrong.join(QLatin1Char('\r'));
    return r;
}

// ---------------------------------------------------------------- which cabins

bool ParseLabelCodes(const QString& text, LabelRequest* request, QString* refusal) {
    static const QRegularExpression single(QStringLiteral("^[0-9]{1,18}$"));
    static const QRegularExpression range(QStringLiteral("^([0-9]{1,18})\\s*-\\s*([0-9]{1,18})$"));
    qint64 count = 0;
    LabelRequest out = *request;
    out.codes.clear();
    out.ranges.clear();
    const QStringList parts = text.split(QLatin1Char(','));
    for (const QString& raw : parts) {
        const QString p = raw.trimmed();
        if (single.match(p).hasMatch()) {
            out.codes << p;
            ++count;
        } else if (const auto m = range.match(p); m.hasMatch()) {
            const qint64 from = m.captured(1).toLongLong(), to = m.captured(2).toLongLong();
            if (from > to) {
                *refusal = QStringLiteral("A kabinszámok tartománya visszafelé halad: %1 (a kisebb szám áll elöl, például 5-9).")
                               .arg(p);
                return false;
            }
            out.ranges << qMakePair(from, to);
            count += to - from + 1;
        } else {
            *refusal = QStringLiteral("Nem kabinszám és nem tartomány: \"%1\" (például 1,2,5-9).").arg(p.left(40));
            return false;
        }
        if (count > MaxLabelCodes) {
            *refusal = QStringLiteral("Túl sok kabinszám: legfeljebb %1 címke kérhető egyszerre.")
                           .arg(vl::util::FormatAmount(double(MaxLabelCodes)));
            return false;
        }
    }
    *request = out;
    return true;
}

LabelSetResult ReadLabels(vl::db::Transaction& tx, const LabelRequest& request) {
    const QString group = request.groupCode.trimmed();
    if (!group.isEmpty() &&
        tx.query(QStringLiteral("SELECT KOD FROM SZ_ARUCSOP WHERE KOD = :kod"), {{QStringLiteral("kod"), group}}).isEmpty())
        return LabelSetResult::refusal(QStringLiteral("Nincs ilyen termékcsoport: ") + group);

    QString sql = QStringLiteral(
        "SELECT A.KOD, A.ARUCSOPORT, CS.NEV CSOPORT FROM ARU A LEFT OUTER JOIN SZ_ARUCSOP CS ON CS.KOD = A.ARUCSOPORT");
    Params p;
    if (!group.isEmpty()) {
        sql += QStringLiteral(" WHERE A.ARUCSOPORT = :arucsoport");
        p.push_back({QStringLiteral("arucsoport"), group});
    }
    RowSet rs = tx.query(sql, p);
    struct Row { std::optional<qint64> value; CabinLabel label; };
    QList<Row> rows;
    while (rs.next()) {
        Row r;
        r.label.code = rs.text(QStringLiteral("KOD")).trimmed();
        r.label.groupName = rs.text(QStringLiteral("CSOPORT")).trimmed();
        if (r.label.groupName.isEmpty()) r.label.groupName = rs.text(QStringLiteral("ARUCSOPORT")).trimmed();
        r.value = codeValue(r.label.code);
        rows << r;
    }
    // The register's order: numbers by their value, other codes after them.
    std::stable_sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) {
        if (a.value.has_value() != b.value.has_value()) return a.value.has_value();
        if (a.value && *a.value != *b.value) return *a.value < *b.value;
        return a.label.code < b.label.code;
    });

    const bool chosen = !request.codes.isEmpty() || !request.ranges.isEmpty();
    QSet<qint64> wanted;
    for (const QString& c : request.codes)
        if (const auto v = codeValue(c)) wanted.insert(*v);
    auto inRange = [&request](qint64 v) {
        return std::any_of(request.ranges.begin(), request.ranges.end(),
                           [v](const auto& r) { return v >= r.first && v <= r.second; });
    };
    LabelSet set;
    QSet<qint64> found;
    QList<int> rangesHit(request.ranges.size(), 0);
    for (const Row& r : rows) {
        if (chosen) {
            if (!r.value || (!wanted.contains(*r.value) && !inRange(*r.value))) continue;
            found.insert(*r.value);
            for (int i = 0; i < request.ranges.size(); ++i)
                if (*r.value >= request.ranges[i].first && *r.value <= request.ranges[i].second) ++rangesHit[i];
        }
        set.labels << r.label;
    }
    QStringList missing;
    for (const QString& c : request.codes)
        if (const auto v = codeValue(c); v && !found.contains(*v) && !missing.contains(c.trimmed())) missing << c.trimmed();
    for (int i = 0; i < request.ranges.size(); ++i)
        if (rangesHit[i] == 0)
            missing << QStringLiteral("%1-%2").arg(request.ranges[i].first).arg(request.ranges[i].second);
    if (!missing.isEmpty()) {
        const QString where = group.isEmpty() ? QStringLiteral("a nyilvántartásban")
                                              : QStringLiteral("a(z) %1 termékcsoportban").arg(group);
        QStringList shown = missing.mid(0, 20);
        if (missing.size() > shown.size()) shown << QStringLiteral("… (%1 szám)").arg(missing.size());
        return LabelSetResult::refusal(QStringLiteral("Nincs ilyen kabin %1: %2").arg(where, shown.join(QStringLiteral(", "))));
    }
    if (set.labels.isEmpty())
        return LabelSetResult::refusal(group.isEmpty() ? QStringLiteral("Nincs nyomtatandó címke: a nyilvántartásban nincs kabin.")
                                                       : QStringLiteral("Nincs nyomtatandó címke: a(z) %1 termékcsoportban nincs kabin.").arg(group));
    const RowSet ceg = tx.query(QStringLiteral("SELECT NEV, TELEFON FROM CEG"));
    if (!ceg.isEmpty()) {
        set.company.name = ceg.at(0, 0).toString().trimmed();
        set.company.phone = ceg.at(0, 1).toString().trimmed();
    }
    LabelSetResult r = LabelSetResult::done();
    static_cast<LabelSet&>(r) = set;
    return r;
}

// ---------------------------------------------------------------- the reports

Report LabelSheetReport(const QList<CabinLabel>& labels, const LabelCompany& company, const LabelLayout& l) {
    Report r;
    r.name = QStringLiteral("Tqrcimke");
    r.caption = QStringLiteral("Kabin címkék");
    r.printIfEmpty = false;
    // A page holds exactly `rows` rows: the bottom margin takes what is left.
    const double pitchV = l.height + l.rowGap;
    r.margins = QMarginsF(l.left, l.top, 0, kPaperH - l.top - l.rows * pitchV);

    // One data row per row of labels: K1, CS1, K2, CS2, ...
    QList<vl::db::Column> cols;
    for (int c = 1; c <= l.columns; ++c) {
        cols << vl::db::Column{QStringLiteral("K%1").arg(c), vl::db::ColType::Text, 20, 0, {}, {}};
        cols << vl::db::Column{QStringLiteral("CS%1").arg(c), vl::db::ColType::Text, 60, 0, {}, {}};
    }
    std::vector<QVariantList> rows;
    for (int i = 0; i < labels.size(); i += l.columns) {
        QVariantList row;
        for (int c = 0; c < l.columns; ++c) {
            const bool has = i + c < labels.size();
            row << (has ? labels[i + c].code : QString()) << (has ? labels[i + c].groupName : QString());
        }
        rows.push_back(row);
    }
    r.data = RowSet(cols, std::move(rows));

    // The label's parts, scaled with its height (36 mm: the default sheet).
    const double k = l.height / 36.0;
    const double pad = qMin(2.5 * k, l.width * 0.05);
    const double side = qMin(l.height - 2 * pad, l.width * 0.48);
    const double textW = l.width - side - 2 * pad;
    const double small = qMax(5.0, 7.0 * k);
    const double smallH = lineHeightMm(font(small));
    const QString phone = phoneText(company);

    Band& d = r.detail;
    d.name = QStringLiteral("DetailBand1");
    d.height = pitchV;
    for (int c = 1; c <= l.columns; ++c) {
        const QString kod = QStringLiteral("K%1").arg(c), csop = QStringLiteral("CS%1").arg(c);
        const QString n = QString::number(c);
        const double x0 = (c - 1) * (l.width + l.columnGap);
        const double tx = x0 + side + pad;
        d.add(Field::qrCodes(QStringLiteral("qr_") + n, x0 + pad, (l.height - side) / 2, side, side,
                             [kod](const PrintContext& ctx) { return vl::util::CabinLabelText(ctx.text(kod)); }));
        const double numberH = l.height * 0.36;
        d.add(fitted(QStringLiteral("kabin_") + n, tx, pad, textW, numberH, font(numberH / kPtMm / 1.25, true),
                     Align::Left, [kod](const PrintContext& ctx) { return ctx.text(kod).trimmed(); }));
        Field g = Field::data(QStringLiteral("csoport_") + n, tx, pad + numberH, textW, 2 * lineHeightMm(font(8 * k)), csop,
                              font(qMax(5.0, 8 * k)));
        g.wrap = Wrap::Word;
        d.add(g);
        const double bottom = l.height - pad;
        d.add(fitted(QStringLiteral("ceg_") + n, tx, bottom - 2 * smallH, textW, smallH, font(small, true), Align::Left,
                     [company](const PrintContext&) { return company.name; }));
        d.add(fitted(QStringLiteral("telefon_") + n, tx, bottom - smallH, textW, smallH, font(small), Align::Left,
                     [phone](const PrintContext&) { return phone; }));
    }
    // The last row's empty places print nothing.
    const int columns = l.columns;
    d.beforePrint = [columns](BandPrint& b, PrintContext& ctx) {
        for (int c = 1; c <= columns; ++c) {
            if (!ctx.text(QStringLiteral("K%1").arg(c)).trimmed().isEmpty()) continue;
            const QString suffix = QStringLiteral("_%1").arg(c);
            for (FieldPrint& f : b.fields)
                if (f.name.endsWith(suffix)) f.visible = false;
        }
    };
    return r;
}

Report LargeLabelReport(const QList<CabinLabel>& labels, const LabelCompany& company, LabelPaper paper) {
    Report r;
    r.name = QStringLiteral("Tqrcimkenagy");
    r.caption = QStringLiteral("Kabin címke");
    r.printIfEmpty = false;
    r.paper = QPageSize(paper == LabelPaper::A6 ? QPageSize::A6 : QPageSize::A5);
    const QSizeF size = r.paper.size(QPageSize::Millimeter);
    const double k = size.width() / 148.0;     // A5: 1, A6: about 0.71
    const double margin = 8 * k;
    r.margins = QMarginsF(margin, margin, margin, margin);
    QList<vl::db::Column> cols{{QStringLiteral("KOD"), vl::db::ColType::Text, 20, 0, {}, {}},
                               {QStringLiteral("CSOPORT"), vl::db::ColType::Text, 60, 0, {}, {}}};
    std::vector<QVariantList> rows;
    for (const CabinLabel& c : labels) rows.push_back({c.code, c.groupName});
    r.data = RowSet(cols, std::move(rows));

    const double W = r.pageWidth(), H = r.pageHeight();
    Band& d = r.detail;
    d.name = QStringLiteral("DetailBand1");
    d.height = H;   // one label per page
    const double numberH = 42 * k;
    d.add(fitted(QStringLiteral("kabin"), 0, 0, W, numberH, font(numberH / kPtMm / 1.2, true), Align::Center,
                 [](const PrintContext& ctx) { return ctx.text(QStringLiteral("KOD")).trimmed(); }));
    const double side = qMin(W, H * 0.55);
    d.add(Field::qrCodes(QStringLiteral("qr"), (W - side) / 2, numberH + 2 * k, side, side, [](const PrintContext& ctx) {
        return vl::util::CabinLabelText(ctx.text(QStringLiteral("KOD")));
    }));
    const double y = numberH + side + 6 * k;
    const Font groupFont = font(18 * k, true);
    d.add(fitted(QStringLiteral("csoport"), 0, y, W, lineHeightMm(groupFont), groupFont, Align::Center,
                 [](const PrintContext& ctx) { return ctx.text(QStringLiteral("CSOPORT")); }));
    const Font companyFont = font(13 * k, true), phoneFont = font(13 * k);
    const double phoneH = lineHeightMm(phoneFont);
    d.add(fitted(QStringLiteral("ceg"), 0, H - 2 * phoneH, W, phoneH, companyFont, Align::Center,
                 [company](const PrintContext&) { return company.name; }));
    const QString phone = phoneText(company);
    d.add(fitted(QStringLiteral("telefon"), 0, H - phoneH, W, phoneH, phoneFont, Align::Center,
                 [phone](const PrintContext&) { return phone; }));
    d.add(Field::hline(QStringLiteral("vonal"), 0, H - 2 * phoneH - 2 * k, W, 0.3));
    return r;
}

} // namespace vl::rental
