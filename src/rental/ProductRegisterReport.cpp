#include "rental/ProductRegisterReport.h"

#include "util/NumberFormat.h"

namespace vl::rental {

using namespace vl::reporting;

QString CompanyName(vl::db::Transaction& tx) {
    const auto rs = tx.query(QStringLiteral("SELECT NEV FROM CEG"));
    return rs.isEmpty() ? QString() : rs.at(0, 0).toString();
}

Report ProductListReport(const vl::db::RowSet& list, const QString& companyName, const QString& filterText,
                         const QDateTime& printTime) {
    Report r;
    r.name = QStringLiteral("Tqrtermeklista");
    r.caption = QStringLiteral("Termék lista");
    r.orientation = QPageLayout::Landscape;
    r.data = list;
    r.printTime = printTime;
    const Font small = Font::of(QStringLiteral("Arial"), 8);
    const Font bold = Font::of(QStringLiteral("Arial"), 8, true);
    const double W = r.pageWidth();

    Band& ph = r.pageHeader;
    ph.name = QStringLiteral("PageHeaderBand1");
    ph.height = 22;
    ph.add(Field::label(QStringLiteral("qrl_ceg"), 0, 0, 120, 5, companyName, Font::of(QStringLiteral("Arial"), 10, true)));
    ph.add(Field::label(QStringLiteral("qrl_cim"), 0, 6, W, 7, QStringLiteral("Termék lista"),
                        Font::of(QStringLiteral("Arial"), 14, true), Align::Center));
    ph.add(Field::label(QStringLiteral("qrl_keszult"), W - 70, 0, 18, 5, QStringLiteral("Készült:"), small));
    ph.add(Field::computed(QStringLiteral("qrs_keszult"), W - 52, 0, 52, 5,
                           [](const PrintContext& c) { return c.printTimeText(); }, small));
    ph.add(Field::label(QStringLiteral("qrl_szuro"), 0, 15, 30, 5, QStringLiteral("Szűrő feltételek:"), small));
    ph.add(Field::label(QStringLiteral("qrs_szuro"), 30, 15, W - 30, 5, filterText, small));

    struct Col { const char* name; const char* title; const char* column; double w; };
    const Col cols[] = {{"KOD", "Kód", "KOD", 16},          {"TIPUS", "Megnevezés", "TIPUS", 55},
                        {"STATUS", "Státusz", "STATUS", 28}, {"UGYFEL", "Partner", "UGYFEL", 58},
                        {"CIM", "Cím", "CIM", 76},           {"KISZALL", "Kihelyezve", "KISZALL", 20},
                        {"VSZALL", "Terv.visszavét.", "VSZALL", 24}};
    Band& ch = r.columnHeader;
    ch.name = QStringLiteral("ColumnHeaderBand1");
    ch.height = 6;
    ch.frame = FrameBottom;
    Band& d = r.detail;
    d.name = QStringLiteral("DetailBand1");
    d.height = 4.5;
    double x = 0;
    for (const Col& c : cols) {
        ch.add(Field::label(QStringLiteral("qrl_") + QString::fromLatin1(c.name).toLower(), x, 1, c.w - 1, 4.5,
                            QString::fromUtf8(c.title), bold));
        d.add(Field::data(QString::fromLatin1(c.name), x, 0, c.w - 1, 4.5, QString::fromLatin1(c.column), small));
        x += c.w;
    }

    // Counted before each detail row by its status class.
    r.onStart = [](PrintContext& c) {
        c.var(QStringLiteral("szabad")) = 0;
        c.var(QStringLiteral("foglalt")) = 0;
        c.var(QStringLiteral("egyeb")) = 0;
    };
    d.beforePrint = [](BandPrint&, PrintContext& c) {
        const QString k = c.text(QStringLiteral("KIADHATO")).trimmed();
        const QString v = k == QLatin1String("I")   ? QStringLiteral("szabad")
                          : k == QLatin1String("N") ? QStringLiteral("foglalt")
                                                    : QStringLiteral("egyeb");
        c.var(v) = c.var(v).toInt() + 1;
    };

    Band& s = r.summary;
    s.name = QStringLiteral("SummaryBand1");
    s.height = 26;
    s.frame = FrameTop;
    struct Counter { const char* name; const char* title; std::function<int(const PrintContext&)> value; };
    auto var = [](const char* n) {
        return [n](const PrintContext& c) { return c.var(QString::fromLatin1(n)).toInt(); };
    };
    const Counter counters[] = {
        {"qrs_osszes", "Összes termék:",
         [](const PrintContext& c) {
             return c.var(QStringLiteral("szabad")).toInt() + c.var(QStringLiteral("foglalt")).toInt() +
                    c.var(QStringLiteral("egyeb")).toInt();
         }},
        {"qrs_szabad", "Szabad:", var("szabad")},
        {"qrs_foglalt", "Bérlés alatt", var("foglalt")},
        {"qrs_egyeb", "Sérült, egyéb:", var("egyeb")}};
    double y = 2;
    for (const Counter& c : counters) {
        s.add(Field::label(QString::fromLatin1(c.name).replace(QStringLiteral("qrs"), QStringLiteral("qrl")), 0, y, 35,
                           5, QString::fromUtf8(c.title), bold));
        auto value = c.value;
        s.add(Field::computed(QString::fromLatin1(c.name), 35, y, 20, 5,
                              [value](const PrintContext& ctx) { return vl::util::FormatAmount(value(ctx)); }, bold,
                              Align::Right));
        y += 5.5;
    }
    return r;
}

} // namespace vl::rental
