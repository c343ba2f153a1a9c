#include "billing/AppendixReports.h"

#include "billing/AppendixCharge.h"
#include "reporting/Masks.h"
#include "util/NumberFormat.h"
#include "util/Texts.h"

#include <QDate>
#include <memory>

namespace vl::billing {

using vl::reporting::Align;
using vl::reporting::BandPrint;
using vl::reporting::Field;
using vl::reporting::Font;
using vl::reporting::FrameBottom;
using vl::reporting::Group;
using vl::reporting::PrintContext;
using vl::reporting::Report;
using vl::reporting::Wrap;
using vl::util::FormatNumber;

namespace {

const QString kTitle = QStringLiteral("Bérbeadási melléklet");
const QString kSummaryTitle = QStringLiteral("Összesített bérbeadási melléklet");

struct Cabin {
    qint64 bizonylat, tetelsor, sorszam;
    QString arukod;
};

// What the appendix keeps while it runs.
struct RunState {
    QList<Cabin> cabins;
    int lastLineCount = 0;
    int sitesStarted = 0;
    qint64 siteSum = 0, customerSum = 0;
    QList<QPair<QString, int>> siteRemaining, customerRemaining;
    void reset() {
        cabins.clear();
        lastLineCount = 0;
        sitesStarted = 0;
        siteSum = customerSum = 0;
        siteRemaining.clear();
        customerRemaining.clear();
    }
};

void addRemaining(QList<QPair<QString, int>>& list, const QString& name, int count) {
    for (auto& e : list)
        if (e.first == name.left(50)) {
            e.second += count;
            return;
        }
    list.append({name.left(50), count});
}

Font plain(double size = 9, bool bold = false) { return Font::of(QStringLiteral("Arial"), size, bold); }

} // namespace

QString AppendixPeriodCaption(const QString& from, const QString& to) {
    const QDate f = QDate::fromString(NormalizedDate(from), QStringLiteral("yyyy.MM.dd"));
    const QDate t = QDate::fromString(NormalizedDate(to, true), QStringLiteral("yyyy.MM.dd"));
    const qint64 d = (f.isValid() && t.isValid()) ? f.daysTo(t) : 0;
    return from + QStringLiteral(" -> ") + to + QStringLiteral(" (") + QString::number(d + 1) + QStringLiteral(" nap)");
}

QString RemainingProductsText(const QList<QPair<QString, int>>& entries) {
    QStringList lines;
    for (const auto& e : entries)
        if (e.second > 0)
            lines << vl::util::PadLeft(QString::number(e.second), QLatin1Char(' '), 3) + QStringLiteral(" Db. ")
                         + vl::util::PadRight(e.first, QLatin1Char(' '), 40);
    return lines.join(QLatin1Char('\n'));
}

Report AppendixReport(const AppendixReportInput& in) {
    auto st = std::make_shared<RunState>();
    const QString from = in.from, to = in.to;
    const bool sitePerPage = in.sitePerPage;

    Report r;
    r.name = QStringLiteral("Tqrmelleklet");
    r.caption = kTitle;
    r.orientation = QPageLayout::Landscape;
    r.data = in.rows;
    r.onStart = [st](PrintContext&) { st->reset(); };

    // 1. Page header.
    r.pageHeader.height = 20;
    r.pageHeader.add(Field::label(QStringLiteral("QRL_cim"), 0, 0, 120, 7, kTitle, plain(14, true)));
    r.pageHeader.add(Field::label(QStringLiteral("QRL_datum"), 0, 8, 120, 5, AppendixPeriodCaption(from, to), plain(10, true)));
    r.pageHeader.add(Field::computed(QStringLiteral("QRL_ido"), 130, 0, 80, 5,
                                     [](const PrintContext& c) { return c.printTimeText(); }, plain(8)));
    r.pageHeader.add(Field::page(QStringLiteral("QRL_oldal"), 237, 0, 40, 5, QStringLiteral("Oldal: {page}"), plain(8), Align::Right));
    r.pageHeader.add(Field::label(QStringLiteral("QRL_ceg"), 130, 8, 147, 5, in.company, plain(10, true), Align::Right));
    r.pageHeader.add(Field::label(QStringLiteral("QRL_info"), 0, 14, 120, 5,
                                  sitePerPage ? QStringLiteral("Címenként külön lapra") : QString(), plain(8)));

    // 2. Column header, on every page.
    r.columnHeader.height = 6;
    r.columnHeader.frame = FrameBottom;
    const struct { const char* name; double x, w; const char* text; Align a; } heads[] = {
        {"h_menny", 0, 12, "Menny.", Align::Right},
        {"h_nev", 14, 62, "Megnevezés, sorszámok", Align::Left},
        {"h_kisz", 78, 20, "Kiszállítás", Align::Left},
        {"h_vsz", 99, 24, "Visszaszállítás", Align::Left},
        {"h_ar", 124, 44, "Szerződéses ár", Align::Left},
        {"h_tev", 169, 34, "Tevékenység", Align::Left},
        {"h_nap", 204, 20, "Mennyiség", Align::Right},
        {"h_egys", 225, 25, "Nettó egységár", Align::Right},
        {"h_ertek", 251, 26, "Nettó érték", Align::Right}};
    for (const auto& h : heads)
        r.columnHeader.add(Field::label(QString::fromLatin1(h.name), h.x, 0.5, h.w, 5, QString::fromUtf8(h.text),
                                        plain(8, true), h.a));

    r.addSum(QStringLiteral("ertek"), QStringLiteral("NETTOERTEK"));
    r.addSum(QStringLiteral("nap"), QStringLiteral("ELSZNAP"));

    // The groups, outermost first (added before any is referred to: the list
    // may move them while it grows).
    r.addGroup(QStringLiteral("ugyfel"), {QStringLiteral("UGYFELKOD")});
    r.addGroup(QStringLiteral("cim"), {QStringLiteral("UGYFELKOD"), QStringLiteral("CIM")});
    r.addGroup(QStringLiteral("tev"), {QStringLiteral("UGYFELKOD"), QStringLiteral("CIM"), QStringLiteral("KABINTIPUS"),
                                       QStringLiteral("TEVEKENYSEG")});
    r.addGroup(QStringLiteral("ar"), {QStringLiteral("UGYFELKOD"), QStringLiteral("CIM"), QStringLiteral("KABINTIPUS"),
                                      QStringLiteral("TEVEKENYSEG"), QStringLiteral("KISZALL"), QStringLiteral("VSZALL"),
                                      QStringLiteral("NETTOAR")});
    Group& gu = r.groups[0];
    Group& gs = r.groups[1];
    Group& gt = r.groups[2];
    Group& gp = r.groups[3];

    // 3. Customer group (by key), each on a new page.
    gu.newPage = true;
    gu.header.height = 7;
    gu.header.add(Field::data(QStringLiteral("QRL_fizmod"), 0, 1, 40, 5, QStringLiteral("FIZMOD"), plain(10, true)));
    gu.header.add(Field::data(QStringLiteral("QRL_ugyfel"), 42, 1, 230, 5, QStringLiteral("UGYFELNEV"), plain(11, true)));
    gu.header.beforePrint = [st](BandPrint&, PrintContext& c) {
        if (c.repeatingHeader()) return;
        // The first site of a customer follows its header on the same page.
        c.setGroupNewPage(QStringLiteral("cim"), false);
        st->customerSum = 0;
        st->customerRemaining.clear();
    };

    // 4. Site group (the address), optionally each on a new page.
    gs.newPage = false;   // switched on after the first site when each site has its page
    gs.header.height = 6;
    gs.header.add(Field::computed(QStringLiteral("QRL_cim"), 0, 0.5, 270, 5,
                                  [](const PrintContext& c) { return QStringLiteral("Szállítási cím:") + c.text(QStringLiteral("CIM")); },
                                  plain(9, true)));
    gs.header.beforePrint = [st](BandPrint&, PrintContext& c) {
        if (c.repeatingHeader()) return;
        ++st->sitesStarted;
        st->siteSum = 0;
        st->siteRemaining.clear();
    };

    // 5. Activity group: no band of its own; a change ends the price group.
    gt.repeatHeader = false;

    // 6. Price group: an invisible header that empties the cabin list.
    gp.repeatHeader = false;
    gp.header.height = 0;
    gp.header.beforePrint = [st](BandPrint& b, PrintContext& c) {
        b.height = 0;
        if (!c.repeatingHeader()) st->cabins.clear();
    };

    // 7. Detail: invisible, collects the cabins of the price group.
    r.detail.height = 0;
    r.detail.beforePrint = [st](BandPrint& b, PrintContext& c) {
        b.height = 0;
        Cabin k{c.integer(QStringLiteral("BIZONYLAT")), c.integer(QStringLiteral("TETELSOR")),
                c.integer(QStringLiteral("SORSZAM")), c.text(QStringLiteral("ARUKOD")).left(5)};
        for (const Cabin& e : st->cabins)
            if (e.bizonylat == k.bizonylat && e.tetelsor == k.tetelsor && e.sorszam == k.sorszam) return;
        st->cabins.append(k);
    };

    // 8. Price-group footer: the appendix line.
    gp.footer.height = 10;
    gp.footer.add(Field::label(QStringLiteral("QRL_kabindb"), 0, 0, 12, 5, QString(), plain(9), Align::Right));
    gp.footer.add(Field::data(QStringLiteral("QRL_tipus"), 14, 0, 62, 5, QStringLiteral("KABINTIPUS"), plain(9, true)));
    gp.footer.add(Field::data(QStringLiteral("QRL_kisz"), 78, 0, 20, 5, QStringLiteral("KISZALL"), plain(9)));
    gp.footer.add(Field::data(QStringLiteral("QRL_vsz"), 99, 0, 24, 5, QStringLiteral("VSZALL"), plain(9)));
    gp.footer.add(Field::label(QStringLiteral("QRL_ar"), 124, 0, 44, 5, QString(), plain(9)));
    gp.footer.add(Field::data(QStringLiteral("QRL_tev"), 169, 0, 34, 5, QStringLiteral("TEVEKENYSEG"), plain(9)));
    gp.footer.add(Field::label(QStringLiteral("QRL_nap"), 204, 0, 20, 5, QString(), plain(9), Align::Right));
    gp.footer.add(Field::label(QStringLiteral("QRL_egysegar"), 225, 0, 25, 5, QString(), plain(9), Align::Right));
    gp.footer.add(Field::label(QStringLiteral("QRL_ertek"), 251, 0, 26, 5, QString(), plain(9, true), Align::Right));
    Field kabinok = Field::label(QStringLiteral("QRL_kabinok"), 14, 5, 185, 5, QString(), plain(8));
    kabinok.wrap = Wrap::Word;
    kabinok.autoHeight = true;
    gp.footer.add(kabinok);
    gp.footer.add(Field::label(QStringLiteral("QRL_minimal"), 200, 5, 77, 5, QString(), plain(8)));
    gp.footer.beforePrint = [st, from, to](BandPrint& b, PrintContext& c) {
        const QString kisz = c.text(QStringLiteral("KISZALL")).trimmed();
        const QString vsz = c.text(QStringLiteral("VSZALL")).trimmed();
        const QString mark = c.text(QStringLiteral("BERSZAMJEL")).trimmed();
        const QString unit = c.text(QStringLiteral("BERMEGYSEG")).trimmed();
        if (!(kisz <= to && (vsz.isEmpty() || vsz >= from))) {
            b.print = false;
            st->lastLineCount = 0;
            return;
        }
        const int count = int(st->cabins.size());
        st->lastLineCount = count;
        QString numbers;
        for (const Cabin& k : st->cabins) numbers += k.arukod + QStringLiteral(", ");
        const bool activity = mark == QLatin1String("-");
        const qint64 sum = qint64(c.sum(QStringLiteral("ertek"), QStringLiteral("ar")));
        b.field(QStringLiteral("QRL_kabindb"))->setText(QString::number(count));
        b.field(QStringLiteral("QRL_kabinok"))->setText(numbers);
        b.field(QStringLiteral("QRL_ar"))->setText(
            FormatNumber(c.number(QStringLiteral("NETTOAR")), QStringLiteral("###,###,###.##"))
            + (activity ? QStringLiteral("/") : QStringLiteral("/ ") + c.text(QStringLiteral("BERMENNY")))
            + QLatin1Char(' ') + unit);
        QString nap;
        if (unit != QLatin1String("Alk")) {
            nap = FormatNumber(c.sum(QStringLiteral("nap"), QStringLiteral("ar")), QStringLiteral("###,###,##0"));
            if (!activity) nap += QStringLiteral(" nap");
        }
        b.field(QStringLiteral("QRL_nap"))->setText(nap);
        b.field(QStringLiteral("QRL_egysegar"))->setText(
            FormatNumber(c.number(QStringLiteral("EGYSEGAR")), QStringLiteral("###,###,###.##")));
        b.field(QStringLiteral("QRL_ertek"))->setText(FormatNumber(double(sum), QStringLiteral("###,###,##0")));
        b.field(QStringLiteral("QRL_minimal"))->setText(c.text(QStringLiteral("MINARSZAMOL")) == QLatin1String("I")
                                                            ? QStringLiteral("Minimális bérleti díj fizetés")
                                                            : QString());
        // The totals add exactly the lines that print.
        st->siteSum += sum;
        st->customerSum += sum;
        if (vsz.isEmpty() && !activity) {
            addRemaining(st->siteRemaining, c.text(QStringLiteral("KABINTIPUS")), count);
            addRemaining(st->customerRemaining, c.text(QStringLiteral("KABINTIPUS")), count);
        }
    };

    // 9. Site footer: the site's total and its remaining products.
    gs.footer.height = 8;
    gs.footer.frame = vl::reporting::FrameTop;
    gs.footer.add(Field::label(QStringLiteral("QRL_cimossz_l"), 124, 0.5, 100, 5, QStringLiteral("Cím összesen nettó érték"), plain(9, true)));
    gs.footer.add(Field::label(QStringLiteral("QRL_cimossz"), 237, 0.5, 40, 5, QString(), plain(9, true), Align::Right));
    gs.footer.add(Field::label(QStringLiteral("qrl_cikkfej"), 0, 6, 200, 5, QString(), plain(8, true)));
    Field cikk = Field::label(QStringLiteral("qrl_cikksum"), 0, 11, 200, 4, QString(), Font::of(QStringLiteral("Courier New"), 8));
    cikk.autoHeight = true;
    gs.footer.add(cikk);
    gs.footer.beforePrint = [st, sitePerPage](BandPrint& b, PrintContext& c) {
        if (sitePerPage) c.setGroupNewPage(QStringLiteral("cim"), true);
        b.field(QStringLiteral("QRL_cimossz"))->setText(FormatNumber(double(st->siteSum), QStringLiteral("###,###,##0")));
        const QString text = RemainingProductsText(st->siteRemaining);
        b.field(QStringLiteral("qrl_cikksum"))->setText(text);
        b.field(QStringLiteral("qrl_cikkfej"))->setText(
            text.isEmpty() ? QString() : QStringLiteral("A szállítási címen bérletben maradó termékek az időszak végén:"));
        if (text.isEmpty()) b.height = 7;
        st->siteRemaining.clear();
    };

    // 10. Customer footer, unless each site has its own page.
    gu.footer.enabled = !sitePerPage;
    gu.footer.height = 8;
    gu.footer.add(Field::label(QStringLiteral("QRL_ugyfossz_l"), 124, 1, 100, 5, QStringLiteral("Ügyfél mind összesen nettó érték"), plain(9, true)));
    gu.footer.add(Field::label(QStringLiteral("QRL_ugyfossz"), 237, 1, 40, 5, QString(), plain(9, true), Align::Right));
    gu.footer.add(Field::label(QStringLiteral("qrl_cikkfeju"), 0, 7, 200, 5, QString(), plain(8, true)));
    Field cikku = Field::label(QStringLiteral("qrl_cikksumu"), 0, 12, 200, 4, QString(), Font::of(QStringLiteral("Courier New"), 8));
    cikku.autoHeight = true;
    gu.footer.add(cikku);
    gu.footer.beforePrint = [st](BandPrint& b, PrintContext&) {
        b.field(QStringLiteral("QRL_ugyfossz"))->setText(FormatNumber(double(st->customerSum), QStringLiteral("###,###,##0")));
        const QString text = st->sitesStarted > 1 ? RemainingProductsText(st->customerRemaining) : QString();
        b.field(QStringLiteral("qrl_cikksumu"))->setText(text);
        b.field(QStringLiteral("qrl_cikkfeju"))->setText(
            text.isEmpty() ? QString() : QStringLiteral("Az ügyfélnél bérletben maradó termékek az időszak végén:"));
        if (text.isEmpty()) b.height = 7;
        st->customerRemaining.clear();
    };
    return r;
}

QString SummaryFilterCaption(const QString& customer, const QString& payment, const QString& rentalMode) {
    QStringList parts;
    if (!customer.trimmed().isEmpty()) parts << QStringLiteral("Ügyfél:") + customer.trimmed();
    if (!payment.trimmed().isEmpty()) parts << QStringLiteral("Fiz.mód:") + payment.trimmed();
    if (!rentalMode.trimmed().isEmpty()) parts << QStringLiteral("Bérlet mód:") + rentalMode.trimmed();
    return parts.join(QStringLiteral("; "));
}

namespace {

Report summaryReport(const QString& name, const vl::db::RowSet& rows, const QString& from, const QString& to,
                     const QString& filterCaption, const QString& company, bool withSite) {
    Report r;
    r.name = name;
    r.caption = kSummaryTitle;
    r.orientation = QPageLayout::Portrait;
    r.data = rows;
    r.pageHeader.height = 24;
    r.pageHeader.add(Field::label(QStringLiteral("QRL_ceg"), 0, 0, 120, 5, company, plain(10, true)));
    r.pageHeader.add(Field::label(QStringLiteral("qrl_szuro"), 0, 6, 190, 5, filterCaption, plain(8)));
    r.pageHeader.add(Field::label(QStringLiteral("QRL_cim"), 0, 11, 130, 7, kSummaryTitle, plain(13, true)));
    r.pageHeader.add(Field::label(QStringLiteral("QRL_datum"), 0, 18, 120, 5, AppendixPeriodCaption(from, to), plain(9, true)));
    r.pageHeader.add(Field::computed(QStringLiteral("QRL_ido"), 130, 0, 60, 5,
                                     [](const PrintContext& c) { return c.printTimeText(); }, plain(8), Align::Right));
    r.pageHeader.add(Field::page(QStringLiteral("QRL_oldal"), 150, 6, 40, 5, QStringLiteral("Oldal: {page}"), plain(8), Align::Right));
    r.columnHeader.height = 6;
    r.columnHeader.frame = FrameBottom;
    r.columnHeader.add(Field::label(QStringLiteral("h_ugyfel"), 0, 0.5, 120, 5, QStringLiteral("Ügyfél"), plain(9, true)));
    r.columnHeader.add(Field::label(QStringLiteral("h_ertek"), 122, 0.5, 30, 5, QStringLiteral("Nettó érték"), plain(9, true), Align::Right));
    r.columnHeader.add(Field::label(QStringLiteral("h_fizmod"), 155, 0.5, 35, 5, QStringLiteral("Fizetési mód"), plain(9, true)));
    r.detail.height = 5;
    Field nev = Field::computed(QStringLiteral("QRL_ugyfel"), 0, 0, 120, 5, [withSite](const PrintContext& c) {
        return withSite ? c.text(QStringLiteral("UGYFELNEV")) + QStringLiteral("  ") + c.text(QStringLiteral("CIM"))
                        : c.text(QStringLiteral("UGYFELNEV"));
    }, plain(9));
    nev.wrap = Wrap::Word;
    nev.autoHeight = true;
    r.detail.add(nev);
    r.detail.add(Field::data(QStringLiteral("QRL_ertek"), 122, 0, 30, 5, QStringLiteral("NETTOERTEK"), plain(9), Align::Right,
                             QStringLiteral("##,###,##0")));
    r.detail.add(Field::data(QStringLiteral("QRL_fizmod"), 155, 0, 35, 5, QStringLiteral("FIZMOD"), plain(9)));
    r.addSum(QStringLiteral("ertek"), QStringLiteral("NETTOERTEK"));
    r.summary.height = 8;
    r.summary.frame = vl::reporting::FrameTop;
    r.summary.add(Field::label(QStringLiteral("QRL_mind_l"), 0, 1, 100, 5, QStringLiteral("Mind összesen"), plain(9, true)));
    r.summary.add(Field::computed(QStringLiteral("QRL_mind"), 122, 1, 30, 5, [](const PrintContext& c) {
        return FormatNumber(c.sum(QStringLiteral("ertek")), QStringLiteral("##,###,##0"));
    }, plain(9, true), Align::Right));
    return r;
}

} // namespace

Report SiteSummaryReport(const vl::db::RowSet& list, const QString& from, const QString& to,
                         const QString& filterCaption, const QString& company) {
    return summaryReport(QStringLiteral("Tqrmellist"), list, from, to, filterCaption, company, true);
}

Report CustomerSummaryReport(const vl::db::RowSet& totals, const QString& from, const QString& to,
                             const QString& filterCaption, const QString& company) {
    return summaryReport(QStringLiteral("Tqrmellist2"), totals, from, to, filterCaption, company, false);
}

QString CompanyName(vl::db::Connection& conn) {
    const auto rs = conn.query(QStringLiteral("SELECT * FROM CEG"));
    return rs.rowCount() ? rs.at(0, rs.indexOf(QStringLiteral("NEV"))).toString().trimmed() : QString();
}

} // namespace vl::billing
