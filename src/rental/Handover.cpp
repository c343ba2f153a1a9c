#include "rental/Handover.h"

#include "db/DisplayText.h"
#include "rental/ActivityImages.h"

#include "reporting/Masks.h"
#include "util/NumberFormat.h"
#include "rental/Billing.h"
#include "rental/Numbering.h"
#include "shell/Ini.h"
#include "util/CabinScan.h"
#include "util/Numbers.h"

#include <QSet>
#include <algorithm>

namespace vl::rental {

using vl::db::Params;
using vl::db::RowSet;
using vl::db::Transaction;
using namespace vl::reporting;

namespace {

// Planned ("I", "i") or done ("N"): what may stand on a document.
const QString kShown = QStringLiteral("(SELECT KOD FROM SZ_STATUST WHERE MODOSITHATO IN ('I', 'i', 'N'))");

// The lines the activity touches on the day, quantities summed per driver,
// line and price; then the charged occasional activities from the day to the
// second day (a second day of "1" and ESETI "X" leave that half empty). A
// missing driver is one driver whether NULL, empty or blank.
const QString kLines = QStringLiteral(
    "SELECT SUM(T.MENNYISEG) MENNYISEG, T.TEVKOD, COALESCE(TRIM(T.SOFORKOD), '') SOFORKOD, T.DATUM, S.TETELSOR, "
    "S.NETTOAR, S.M_EGYSEG, S.BERMENNY, S.BERMEGYSEG, S.KARERTEK, A.NEV, ST.NEV TEVNEV "
    "FROM FORGTEV T, FORGSOR S, SZ_ARUCSOP A, SZ_TEVEKENY ST "
    "WHERE T.BIZONYLAT = :bizonylat AND T.VERZIO = :verzio AND T.TEVKOD = :tevkod AND T.DATUM = :datum "
    "AND T.TEVALLAPOT IN %1 "
    "AND S.BIZONYLAT = T.BIZONYLAT AND S.VERZIO = T.VERZIO AND S.TETELSOR = T.TETELSOR AND A.KOD = S.ARUCSOPORT "
    "AND ST.KOD = T.TEVKOD "
    "GROUP BY T.TEVKOD, COALESCE(TRIM(T.SOFORKOD), ''), T.DATUM, S.TETELSOR, S.NETTOAR, S.M_EGYSEG, S.BERMENNY, "
    "S.BERMEGYSEG, S.KARERTEK, A.NEV, ST.NEV "
    "UNION "
    "SELECT SUM(T.MENNYISEG) MENNYISEG, T.TEVKOD, COALESCE(TRIM(T.SOFORKOD), '') SOFORKOD, T.DATUM, S.TETELSOR, "
    "T.NETTOAR, S.M_EGYSEG, S.BERMENNY, S.BERMEGYSEG, 0 KARERTEK, A.NEV, ST.NEV TEVNEV "
    "FROM FORGTEV T, FORGSOR S, SZ_ARUCSOP A, SZ_TEVEKENY ST "
    "WHERE T.BIZONYLAT = :bizonylat AND T.VERZIO = :verzio AND T.DATUM >= :datum AND T.DATUM <= :datum2 "
    "AND T.TEVALLAPOT IN %1 "
    "AND S.BIZONYLAT = T.BIZONYLAT AND S.VERZIO = T.VERZIO AND S.TETELSOR = T.TETELSOR AND A.KOD = S.ARUCSOPORT "
    "AND ST.KOD = T.TEVKOD AND ST.ESETI = :eseti "
    "GROUP BY T.TEVKOD, COALESCE(TRIM(T.SOFORKOD), ''), T.DATUM, S.TETELSOR, T.NETTOAR, S.M_EGYSEG, S.BERMENNY, "
    "S.BERMEGYSEG, S.KARERTEK, A.NEV, ST.NEV "
    "HAVING SUM(T.MENNYISEG * T.NETTOAR) <> 0 "
    "ORDER BY 4, 3, 5, 2").arg(kShown);

const QString kHeader = QStringLiteral(
    "SELECT F.BERKEZD, F.BERVEG, FM.NEV FIZMOD, F.KOMMENT, BM.NEV BERMOD, U.NEV UGYFEL, U.IRSZAM, U.VAROS, U.UTCA, "
    "U.ADOSZAM, UC.NEV CIM, UC.IRSZAM CIMIRSZAM, UC.VAROS CIMVAROS, UC.UTCA CIMUTCA "
    "FROM FORGFEJ F LEFT JOIN SZ_FIZMOD FM ON FM.KOD = F.FIZMOD LEFT JOIN SZ_BERMOD BM ON BM.KOD = F.BERMOD "
    "LEFT JOIN UGYFEL U ON U.KOD = F.UGYFELKOD LEFT JOIN UGYFELCIM UC ON UC.KOD = F.UGYFELCIM "
    "WHERE F.BIZONYLAT = :bizonylat AND F.VERZIO = :verzio");

qint64 lineNet(const PrintContext& c) { return c.integer(QStringLiteral("MENNYISEG")) * c.integer(QStringLiteral("NETTOAR")); }

QString money(double v, const QString& mask = QStringLiteral("###,###,##0")) { return vl::util::FormatNumber(v, mask); }

// The closing text as lines (CR LF, LF or CR separated).
QStringList textLines(const QString& t) {
    QString s = t;
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return s.split(QLatin1Char('\n'));
}

struct HeaderValues {
    QString sorszam, ugyfel, ugyfelCim, cimNev, cimCim, adoszam, bermod, kelte, vege, fizmod;
};

// The page header both documents share: the lessor filled in, the rest as given.
void addPageHeader(Report& r, const HandoverCompany& co, const HeaderValues& h) {
    const Font small = Font::of(QStringLiteral("Arial"), 8);
    const Font normal = Font::of(QStringLiteral("Arial"), 9);
    const Font bold = Font::of(QStringLiteral("Arial"), 9, true);
    Band& ph = r.pageHeader;
    ph.name = QStringLiteral("PageHeaderBand1");
    ph.height = 66;
    ph.add(Field::label(QStringLiteral("qrl_sorszam"), 0, 0, 60, 5, QStringLiteral("Sorszám: ") + h.sorszam, bold));
    ph.add(Field::label(QStringLiteral("qrl_cim"), 50, 0, 90, 7, QStringLiteral("Átadás-átvételi bizonylat"),
                        Font::of(QStringLiteral("Arial"), 14, true), Align::Center));
    ph.add(Field::page(QStringLiteral("qrl_lap"), 150, 0, 40, 5, QStringLiteral("{page}. lap"), normal, Align::Right));

    ph.add(Field::box(QStringLiteral("box_berbeado"), 0, 10, 93, 40));
    ph.add(Field::label(QStringLiteral("qrl_berbeado"), 2, 11, 60, 4.5, QStringLiteral("Bérbeadó:"), small));
    ph.add(Field::label(QStringLiteral("qrs_cegnev"), 2, 16, 89, 5, co.nev, bold));
    ph.add(Field::label(QStringLiteral("qrs_cegvaros"), 2, 21.5, 89, 4.5, (co.irszam + QLatin1Char(' ') + co.varos).trimmed(), normal));
    ph.add(Field::label(QStringLiteral("qrs_cegutca"), 2, 26, 89, 4.5, co.utca, normal));
    if (!co.adoszam.trimmed().isEmpty())
        ph.add(Field::label(QStringLiteral("qrs_cegadoszam"), 2, 31, 89, 4.5,
                            QStringLiteral("Adószám: ") + co.adoszam.trimmed(), normal));

    ph.add(Field::box(QStringLiteral("box_berlo"), 97, 10, 93, 40));
    ph.add(Field::label(QStringLiteral("qrl_berlo"), 99, 11, 60, 4.5, QStringLiteral("Bérlő:"), small));
    ph.add(Field::label(QStringLiteral("qrs_ugyfel"), 99, 16, 89, 5, h.ugyfel, bold));
    ph.add(Field::label(QStringLiteral("qrs_ugyfelcim"), 99, 21.5, 89, 4.5, h.ugyfelCim, normal));
    ph.add(Field::label(QStringLiteral("qrl_szallcim"), 99, 27, 26, 4.5, QStringLiteral("Szállítási cím"), small));
    ph.add(Field::label(QStringLiteral("qrs_cimnev"), 125, 27, 63, 4.5, h.cimNev, normal));
    ph.add(Field::label(QStringLiteral("qrs_cimcim"), 99, 32, 89, 5, h.cimCim, bold));
    ph.add(Field::label(QStringLiteral("qrs_adoszam"), 99, 38, 89, 4.5, QStringLiteral("Adószám: ") + h.adoszam, normal));

    const char* const titles[] = {"Bérbeadás típusa", "Bérbeadás kelte", "Bérbeadás vége", "Fizetési mód"};
    const QString values[] = {h.bermod, h.kelte, h.vege, h.fizmod};
    for (int i = 0; i < 4; ++i) {
        const double x = i * 47.5;
        ph.add(Field::box(QStringLiteral("box_%1").arg(i + 1), x, 53, 47.5, 11));
        ph.add(Field::label(QStringLiteral("qrl_fej%1").arg(i + 1), x + 1.5, 54, 44, 4.5, QString::fromUtf8(titles[i]), small));
        ph.add(Field::label(QStringLiteral("qrs_fej%1").arg(i + 1), x + 1.5, 58.5, 44, 5, values[i], bold));
    }
}

// Column titles of the lines under the driver's name.
void addColumnTitles(Band& b, double y, bool prices) {
    const Font bold = Font::of(QStringLiteral("Arial"), 8, true);
    b.add(Field::label(QStringLiteral("qrl_no"), 0, y, 10, 4.5, QStringLiteral("No."), bold));
    b.add(Field::label(QStringLiteral("qrl_termek"), 10, y, 55, 4.5, QStringLiteral("Termék"), bold));
    b.add(Field::label(QStringLiteral("qrl_mennyiseg"), 65, y, 25, 4.5, QStringLiteral("Mennyiség"), bold, Align::Right));
    Field ar = Field::label(QStringLiteral("qrl_nettoar"), 90, y, 45, 4.5, QStringLiteral("Nettó bérleti díj"), bold, Align::Right);
    ar.visible = prices;
    b.add(ar);
    Field ertek = Field::label(QStringLiteral("qrl_ertek"), 135, y, 27, 4.5, QStringLiteral("Nettó érték"), bold, Align::Right);
    ertek.visible = prices;
    b.add(ertek);
    b.add(Field::label(QStringLiteral("qrl_kar"), 162, y, 28, 4.5, QStringLiteral("N. kárérték/db"), bold, Align::Right));
}

Field memo(const QString& name, double y, const QString& text) {
    Field f = Field::label(name, 0, y, 190, 4.5, text, Font::of(QStringLiteral("Arial"), 9));
    f.wrap = Wrap::Word;
    f.autoHeight = true;
    return f;
}

QString closingText(const HandoverCompany& co) { return QStringLiteral("\n") + textLines(co.atadveg).join(QLatin1Char('\n')); }

QString pageKeyOf(const PrintContext& c) {
    return HandoverPageKey(c.text(QStringLiteral("SOFORKOD")), c.text(QStringLiteral("DATUM")));
}

// The receivers' place: per signature the picture sitting on a line, the
// receiver's name under it; a page's signatures side by side, the latest on
// the right edge.
Band signatureBand(const QList<HandoverSignature>& signatures) {
    const Font small = Font::of(QStringLiteral("Arial"), 8);
    const Font normal = Font::of(QStringLiteral("Arial"), 9);
    constexpr double kWidth = 60, kGap = 5, kRight = 190;
    Band b;
    b.name = QStringLiteral("ChildBand3");
    b.height = 37;
    QHash<QString, int> onPage;
    for (const HandoverSignature& s : signatures) ++onPage[s.page];
    QHash<QString, int> slot;
    for (int i = 0; i < signatures.size(); ++i) {
        const HandoverSignature& s = signatures[i];
        const int k = slot[s.page]++;
        const double x = kRight - kWidth - (onPage.value(s.page) - 1 - k) * (kWidth + kGap);
        const QString page = s.page;
        auto onlyOnItsPage = [page](FieldPrint& fp, PrintContext& c) { fp.visible = fp.visible && pageKeyOf(c) == page; };
        QList<Field> fields{
            Field::label(QStringLiteral("qrl_alairas_%1").arg(i + 1), x, 4, kWidth, 4.5, QStringLiteral("Átvevő aláírása:"), small),
            Field::pictureData(QStringLiteral("qri_alairas_%1").arg(i + 1), x, 8.5, kWidth, 22, s.image, Align::Center),
            Field::hline(QStringLiteral("line_alairas_%1").arg(i + 1), x, 31, kWidth),
            Field::label(QStringLiteral("qrs_atvevo_%1").arg(i + 1), x, 31.5, kWidth, 4.5,
                         QStringLiteral("Átvevő: ") + s.receiver, normal, Align::Center)};
        fields[1].alignBottom = true;
        for (Field& f : fields) {
            f.onPrint = onlyOnItsPage;
            b.add(f);
        }
    }
    QSet<QString> pages;
    for (const HandoverSignature& s : signatures) pages << s.page;
    b.beforePrint = [pages](BandPrint& bp, PrintContext& c) { bp.print = pages.contains(pageKeyOf(c)); };
    return b;
}

} // namespace

QString NoHandoverLinesText() {
    return QStringLiteral("Nincs szállításra vonatkozó információ megadva erre a szerződésre.");
}

HandoverCompany ReadHandoverCompany(Transaction& tx) {
    HandoverCompany c;
    auto rs = tx.query(QStringLiteral("SELECT NEV, IRSZAM, VAROS, UTCA, ADOSZAM, NYOMTPELD, ATADVEG FROM CEG"));
    if (rs.next()) {
        c.nev = rs.text(QStringLiteral("NEV"));
        c.irszam = rs.text(QStringLiteral("IRSZAM"));
        c.varos = rs.text(QStringLiteral("VAROS"));
        c.utca = rs.text(QStringLiteral("UTCA"));
        c.adoszam = rs.text(QStringLiteral("ADOSZAM"));
        c.nyomtpeld = int(rs.integer(QStringLiteral("NYOMTPELD")));
        c.atadveg = rs.text(QStringLiteral("ATADVEG"));
    }
    return c;
}

QString TakeBackDocumentDate(Transaction& tx, qint64 bizonylat, qint64 verzio, qint64 tetelsor, qint64 sorszam) {
    const Params key{{QStringLiteral("b"), bizonylat}, {QStringLiteral("v"), verzio},
                     {QStringLiteral("t"), tetelsor}, {QStringLiteral("s"), sorszam}};
    auto rs = tx.query(QStringLiteral(
        "SELECT T.DATUM, ST.MODOSITHATO FROM FORGTEV T JOIN SZ_STATUST ST ON ST.KOD = T.TEVALLAPOT "
        "WHERE T.BIZONYLAT = :b AND T.VERZIO = :v AND T.TETELSOR = :t AND T.SORSZAM = :s AND T.TEVKOD = 'VSZ' "
        "AND ST.MODOSITHATO IN ('I', 'i', 'N') "
        "ORDER BY CASE WHEN ST.MODOSITHATO = 'N' THEN 0 ELSE 1 END, T.DATUM DESC"), key);
    if (rs.next()) return rs.text(QStringLiteral("DATUM"));
    rs = tx.query(QStringLiteral(
        "SELECT VSZALLT FROM FORGKABIN WHERE BIZONYLAT = :b AND VERZIO = :v AND TETELSOR = :t AND SORSZAM = :s"), key);
    return rs.next() ? rs.text(QStringLiteral("VSZALLT")).trimmed() : QString();
}

HandoverRequest ResolveHandoverDates(Transaction& tx, const HandoverRequest& request) {
    HandoverRequest r = request;
    r.datum = r.datum.trimmed();
    r.datum2 = r.datum2.trimmed();
    if (r.datum.isEmpty() && r.bizonylat >= 0) {
        if (r.tevkod.trimmed() == QLatin1String("VSZ")) {
            const Params key{{QStringLiteral("b"), r.bizonylat}, {QStringLiteral("v"), r.verzio}};
            auto rs = tx.query(QStringLiteral(
                "SELECT MAX(T.DATUM) FROM FORGTEV T WHERE T.BIZONYLAT = :b AND T.VERZIO = :v AND T.TEVKOD = 'VSZ' "
                "AND T.TEVALLAPOT IN ") + kShown, key);
            if (!rs.isEmpty()) r.datum = rs.at(0, 0).toString().trimmed();
            if (r.datum.isEmpty()) {
                rs = tx.query(QStringLiteral(
                    "SELECT MAX(VSZALLT) FROM FORGKABIN WHERE BIZONYLAT = :b AND VERZIO = :v"), key);
                if (!rs.isEmpty()) r.datum = rs.at(0, 0).toString().trimmed();
            }
        } else {
            r.datum = CutoffBeforeMaintenance(tx, r.bizonylat, r.verzio);
        }
    }
    if (r.datum2.isEmpty()) r.datum2 = r.datum;
    return r;
}

bool HandoverCabinCodes() {
    return vl::shell::IniValue(QStringLiteral("ATADASQR")).trimmed().toUpper() == QLatin1String("I");
}

QString HandoverPageKey(const QString& driverCode, const QString& day) {
    return driverCode.trimmed() + QLatin1Char('|') + day.trimmed();
}

namespace {

// The signatures of the document's activity kind and days, each on the page
// of its activity's driver and day (a page the document has), per page the
// latest of each receiver, at most kHandoverSignaturesPerPage, oldest first.
QList<HandoverSignature> readSignatures(Transaction& tx, const HandoverData& d) {
    const HandoverRequest& r = d.request;
    QSet<QString> pages;
    for (int i = 0; i < d.lines.rowCount(); ++i)
        pages << HandoverPageKey(d.lines.at(i, d.lines.indexOf(QStringLiteral("SOFORKOD"))).toString(),
                                 vl::db::displayText(d.lines.at(i, d.lines.indexOf(QStringLiteral("DATUM")))));
    if (pages.isEmpty()) return {};
    const QString to = r.datum2 > r.datum ? r.datum2 : r.datum;
    // Per page, per receiver: the latest one.
    QHash<QString, QHash<QString, ActivityImageInfo>> latest;
    for (const ActivityImageInfo& i : ListContractImages(tx, r.bizonylat, r.verzio, r.tevkod.trimmed(), r.datum, to)) {
        if (i.kind != ActivityImageKind::Signature || i.receiver.trimmed().isEmpty()) continue;
        auto rs = tx.query(QStringLiteral("SELECT COALESCE(TRIM(SOFORKOD), '') SOFORKOD FROM FORGTEV WHERE BIZONYLAT = :b"
                                          " AND VERZIO = :v AND TETELSOR = :t AND SORSZAM = :s AND DATUM = :d"
                                          " AND TEVSORSZAM = :q AND TEVALLAPOT IN ") + kShown,
                           {{QStringLiteral("b"), i.key.bizonylat}, {QStringLiteral("v"), i.key.verzio},
                            {QStringLiteral("t"), i.key.tetelsor}, {QStringLiteral("s"), i.key.sorszam},
                            {QStringLiteral("d"), i.key.datum}, {QStringLiteral("q"), i.key.tevsorszam}});
        if (!rs.next()) continue;
        const QString page = HandoverPageKey(rs.text(QStringLiteral("SOFORKOD")), i.key.datum);
        if (!pages.contains(page)) continue;
        const QString who = i.receiver.trimmed().toLower();
        auto& perReceiver = latest[page];
        const auto it = perReceiver.constFind(who);
        if (it == perReceiver.constEnd() || it->when < i.when || (it->when == i.when && it->id < i.id))
            perReceiver.insert(who, i);
    }
    QStringList order(pages.begin(), pages.end());
    order.sort();
    QList<HandoverSignature> out;
    for (const QString& page : order) {
        QList<ActivityImageInfo> kept = latest.value(page).values();
        std::sort(kept.begin(), kept.end(), [](const ActivityImageInfo& a, const ActivityImageInfo& b) {
            return a.when != b.when ? a.when < b.when : a.id < b.id;
        });
        if (kept.size() > kHandoverSignaturesPerPage) kept = kept.mid(kept.size() - kHandoverSignaturesPerPage);
        for (const ActivityImageInfo& i : kept) {
            HandoverSignature s;
            s.page = page;
            s.receiver = i.receiver.trimmed();
            s.when = i.when;
            s.image = ReadActivityImage(tx, i.id);
            if (!s.image.isEmpty()) out << s;
        }
    }
    return out;
}

} // namespace

HandoverData LoadHandover(Transaction& tx, const HandoverRequest& request) {
    HandoverData d;
    d.cabinCodes = HandoverCabinCodes();
    d.request = ResolveHandoverDates(tx, request);
    d.company = ReadHandoverCompany(tx);
    d.vatFactor = Td::DefaultVatFactor(tx);
    const HandoverRequest& r = d.request;
    d.lines = tx.query(kLines, {{QStringLiteral("bizonylat"), r.bizonylat},
                                {QStringLiteral("verzio"), r.verzio},
                                {QStringLiteral("tevkod"), r.tevkod.trimmed()},
                                {QStringLiteral("datum"), r.datum},
                                {QStringLiteral("datum2"), r.prices ? r.datum2 : QStringLiteral("1")},
                                {QStringLiteral("eseti"), r.prices ? QStringLiteral("I") : QStringLiteral("X")}});
    const Params key{{QStringLiteral("bizonylat"), r.bizonylat}, {QStringLiteral("verzio"), r.verzio}};
    d.header = tx.query(kHeader, key);
    // A billing period that starts on the day (not cancelled, not moved).
    auto fiz = tx.query(QStringLiteral(
        "SELECT DATUM, DATUM2 FROM FORGFIZ WHERE BIZONYLAT = :bizonylat AND VERZIO = :verzio AND DATUM = :datum "
        "AND TEVALLAPOT IN ") + kShown + QStringLiteral(" ORDER BY TEVSORSZAM"),
        {{QStringLiteral("bizonylat"), r.bizonylat}, {QStringLiteral("verzio"), r.verzio},
         {QStringLiteral("datum"), r.datum}});
    if (fiz.next())
        d.periodText = QStringLiteral("Időszak: ") + fiz.text(QStringLiteral("DATUM")) + QStringLiteral(" -> ") +
                       fiz.text(QStringLiteral("DATUM2"));
    for (int i = 0; i < d.lines.rowCount(); ++i) {
        const QString driver = d.lines.at(i, d.lines.indexOf(QStringLiteral("SOFORKOD"))).toString().trimmed();
        if (!driver.isEmpty() && !d.driverNames.contains(driver)) {
            const auto rs = tx.query(QStringLiteral("SELECT NEV FROM SZ_SOFOR WHERE KOD = :kod"),
                                     {{QStringLiteral("kod"), driver}});
            d.driverNames.insert(driver, rs.isEmpty() ? QString() : rs.at(0, 0).toString());
        }
        const qint64 line = d.lines.at(i, d.lines.indexOf(QStringLiteral("TETELSOR"))).toLongLong();
        if (!d.cabins.contains(line)) {
            auto rs = tx.query(QStringLiteral(
                "SELECT ARUKOD FROM FORGKABIN WHERE BIZONYLAT = :bizonylat AND VERZIO = :verzio AND TETELSOR = :tetelsor "
                "ORDER BY SORSZAM"),
                {{QStringLiteral("bizonylat"), r.bizonylat}, {QStringLiteral("verzio"), r.verzio},
                 {QStringLiteral("tetelsor"), line}});
            QStringList codes;
            while (rs.next()) {
                const QString c = rs.text(QStringLiteral("ARUKOD")).trimmed();
                if (!c.isEmpty() && c != QLatin1String("*")) codes << c;
            }
            d.cabins.insert(line, codes.join(QLatin1Char(',')));
        }
    }
    if (r.bizonylat >= 0) d.signatures = readSignatures(tx, d);
    return d;
}

Report HandoverReport(const HandoverData& d) {
    Report r;
    r.name = QStringLiteral("Tqratadas");
    r.caption = QStringLiteral("Átadás-átvételi bizonylat");
    r.data = d.lines;
    const bool prices = d.request.prices;
    const double vat = d.vatFactor;

    HeaderValues h;
    h.sorszam = QString::number(d.request.bizonylat);
    RowSet head = d.header;
    if (head.next()) {
        h.ugyfel = head.text(QStringLiteral("UGYFEL"));
        h.ugyfelCim = head.text(QStringLiteral("IRSZAM")) + QLatin1Char(' ') + head.text(QStringLiteral("VAROS")) +
                      QStringLiteral(", ") + head.text(QStringLiteral("UTCA"));
        h.cimNev = head.text(QStringLiteral("CIM"));
        h.cimCim = head.text(QStringLiteral("CIMIRSZAM")) + QLatin1Char(' ') + head.text(QStringLiteral("CIMVAROS")) +
                   QStringLiteral(", ") + head.text(QStringLiteral("CIMUTCA"));
        h.adoszam = head.text(QStringLiteral("ADOSZAM"));
        h.bermod = head.text(QStringLiteral("BERMOD"));
        h.vege = head.text(QStringLiteral("BERVEG"));
        h.fizmod = head.text(QStringLiteral("FIZMOD"));
    }
    if (!d.lines.isEmpty()) h.kelte = d.lines.at(0, d.lines.indexOf(QStringLiteral("DATUM"))).toString();
    addPageHeader(r, d.company, h);
    const QString komment = head.rowCount() > 0 ? head.at(0, head.indexOf(QStringLiteral("KOMMENT"))).toString().trimmed()
                                                : QString();
    Band remark;
    remark.name = QStringLiteral("ChildBand1");
    remark.height = 6;
    remark.add(memo(QStringLiteral("qrs_komment"), 0.5, komment));
    remark.enabled = !komment.isEmpty();
    r.pageHeader.children << remark;

    const Font normal = Font::of(QStringLiteral("Arial"), 9);
    const Font bold = Font::of(QStringLiteral("Arial"), 9, true);

    r.addSum(QStringLiteral("netto"), [](const PrintContext& c) { return double(lineNet(c)); });
    r.addSum(QStringLiteral("brutto"), [vat](const PrintContext& c) {
        return double(vl::util::RoundHalfAway(double(lineNet(c)) * vat));
    });

    // One group per driver and day, each on a new page.
    Group& g = r.addGroup(QStringLiteral("sofor"), {});
    g.key = [](const PrintContext& c) { return c.text(QStringLiteral("SOFORKOD")).trimmed() + QLatin1Char('|') + c.text(QStringLiteral("DATUM")); };
    g.newPage = true;
    g.header.name = QStringLiteral("GroupHeaderBand1");
    g.header.height = 14;
    g.header.frame = FrameBottom;
    const QHash<QString, QString> drivers = d.driverNames;
    g.header.add(Field::computed(QStringLiteral("qrs_sofor"), 0, 1, 150, 5,
                                 [drivers](const PrintContext& c) {
                                     return QStringLiteral("Gépjármű-vezető: ") +
                                            drivers.value(c.text(QStringLiteral("SOFORKOD")).trimmed());
                                 }, bold));
    addColumnTitles(g.header, 8, prices);

    Band& det = r.detail;
    det.name = QStringLiteral("DetailBand1");
    det.height = 10.5;
    det.add(Field::computed(QStringLiteral("qrs_no"), 0, 0.5, 10, 4.5,
                            [](const PrintContext& c) { return QString::number(c.count(QStringLiteral("sofor"))); }, normal));
    det.add(Field::data(QStringLiteral("NEV"), 10, 0.5, 55, 4.5, QStringLiteral("NEV"), normal));
    det.add(Field::computed(QStringLiteral("qrs_mennyiseg"), 65, 0.5, 25, 4.5,
                            [](const PrintContext& c) {
                                return c.text(QStringLiteral("MENNYISEG")) + QLatin1Char(' ') + c.text(QStringLiteral("M_EGYSEG"));
                            }, normal, Align::Right));
    Field ar = Field::computed(QStringLiteral("qrs_nettoar"), 90, 0.5, 45, 4.5,
                               [](const PrintContext& c) {
                                   const QString unit = c.text(QStringLiteral("TEVKOD")).trimmed() == QLatin1String("KA")
                                                            ? QStringLiteral(" /alk.")
                                                            : QStringLiteral(" / ") + c.text(QStringLiteral("BERMENNY")) +
                                                                  QLatin1Char(' ') + c.text(QStringLiteral("BERMEGYSEG"));
                                   return money(c.number(QStringLiteral("NETTOAR"))) + unit;
                               }, normal, Align::Right);
    ar.visible = prices;
    det.add(ar);
    Field ertek = Field::computed(QStringLiteral("qrs_ertek"), 135, 0.5, 27, 4.5,
                                  [](const PrintContext& c) { return money(double(lineNet(c))); }, normal, Align::Right);
    ertek.visible = prices;
    det.add(ertek);
    det.add(Field::data(QStringLiteral("KARERTEK"), 162, 0.5, 28, 4.5, QStringLiteral("KARERTEK"), normal, Align::Right,
                        QStringLiteral("###,###,###")));
    const QHash<qint64, QString> cabins = d.cabins;
    Field kabin = Field::computed(QStringLiteral("qrs_kabinok"), 10, 5.5, 110, 4.5,
                                  [cabins](const PrintContext& c) { return cabins.value(c.integer(QStringLiteral("TETELSOR"))); },
                                  normal);
    kabin.wrap = Wrap::Word;
    kabin.autoHeight = true;
    det.add(kabin);
    det.add(Field::data(QStringLiteral("DATUM"), 120, 5.5, 20, 4.5, QStringLiteral("DATUM"), normal));
    det.add(Field::data(QStringLiteral("TEVNEV"), 140, 5.5, 50, 4.5, QStringLiteral("TEVNEV"), normal));
    // The cabins' QR codes with their numbers, under the line (PKR.INI ATADASQR).
    Band codes;
    codes.name = QStringLiteral("ChildBand2");
    codes.enabled = d.cabinCodes;
    codes.add(Field::qrCodes(QStringLiteral("qrs_kabinqr"), 10, 0.5, 180, 18,
                             [cabins](const PrintContext& c) {
                                 const QString line = cabins.value(c.integer(QStringLiteral("TETELSOR")));
                                 QStringList lines;
                                 for (const QString& k : line.split(QLatin1Char(','), Qt::SkipEmptyParts))
                                     lines << vl::util::CabinLabelText(k) + QLatin1Char('\t') + k;
                                 return lines.join(QLatin1Char('\n'));
                             }, Font::of(QStringLiteral("Arial"), 8)));
    // A line's codes once on a driver's document, though its rent and fee rows both name its cabins.
    codes.beforePrint = [](BandPrint& b, PrintContext& c) {
        const QString key = QStringLiteral("qr|") + c.text(QStringLiteral("SOFORKOD")).trimmed() + QLatin1Char('|') +
                            c.text(QStringLiteral("DATUM")) + QLatin1Char('|') + c.text(QStringLiteral("TETELSOR"));
        b.print = !c.var(key).toBool();
        c.var(key) = true;
    };
    det.children << codes;

    Band& f = g.footer;
    f.name = QStringLiteral("GroupFooterBand1");
    f.frame = FrameTop;
    f.height = 24;
    Field period = memo(QStringLiteral("qrs_idoszak"), 1, d.periodText);
    period.visible = !d.periodText.isEmpty();
    f.add(period);
    Field nt = Field::label(QStringLiteral("qrl_netto"), 60, 7, 75, 4.5, QStringLiteral("Nettó érték összesen"), bold, Align::Right);
    Field nv = Field::computed(QStringLiteral("qrs_netto"), 135, 7, 27, 4.5,
                               [](const PrintContext& c) { return money(c.sum(QStringLiteral("netto"), QStringLiteral("sofor"))); },
                               bold, Align::Right);
    Field bt = Field::label(QStringLiteral("qrl_brutto"), 60, 12, 75, 4.5, QStringLiteral("Fizetendő ÁFÁs érték összesen"), bold,
                            Align::Right);
    Field bv = Field::computed(QStringLiteral("qrs_brutto"), 135, 12, 27, 4.5,
                               [](const PrintContext& c) { return money(c.sum(QStringLiteral("brutto"), QStringLiteral("sofor"))); },
                               bold, Align::Right);
    for (Field* x : {&nt, &nv, &bt, &bv}) {
        x->visible = prices;
        f.add(*x);
    }
    // The closing text: once, at the end of each driver's document.
    f.add(memo(QStringLiteral("qrs_zaro"), 18, closingText(d.company)));
    // The receivers' signatures under it, on the right, in the receiver's
    // place: only on a page that has one, only in a document that has any.
    if (!d.signatures.isEmpty()) f.children << signatureBand(d.signatures);
    return r;
}

Report BlankHandoverReport(const HandoverCompany& company) {
    Report r;
    r.name = QStringLiteral("Tqratadas2");
    r.caption = QStringLiteral("Átadás-átvételi bizonylat");
    r.printIfEmpty = true;
    addPageHeader(r, company, HeaderValues());
    const Font bold = Font::of(QStringLiteral("Arial"), 9, true);
    Band& s = r.summary;
    s.name = QStringLiteral("SummaryBand1");
    s.height = 120;
    s.add(Field::label(QStringLiteral("qrl_sofor"), 0, 1, 150, 5, QStringLiteral("Gépjármű-vezető:"), bold));
    addColumnTitles(s, 8, true);
    // Ruled lines for the handwritten rows.
    for (int i = 0; i < 10; ++i) s.add(Field::hline(QStringLiteral("line_%1").arg(i + 1), 0, 13 + i * 8, 190));
    s.add(Field::label(QStringLiteral("qrl_netto"), 60, 95, 75, 4.5, QStringLiteral("Nettó érték összesen"), bold, Align::Right));
    s.add(Field::label(QStringLiteral("qrl_brutto"), 60, 101, 75, 4.5, QStringLiteral("Fizetendő ÁFÁs érték összesen"), bold,
                       Align::Right));
    s.add(memo(QStringLiteral("qrs_zaro"), 108, closingText(company)));
    return r;
}

int ReadHandoverCopies(vl::db::Connection& conn) {
    auto tx = conn.begin(vl::db::TxMode::ReadOnly);
    const int copies = ReadHandoverCompany(*tx).nyomtpeld;
    tx->commit();
    return copies;
}

vl::reporting::Report LoadHandoverDocument(vl::db::Connection& conn, const HandoverRequest& request, bool* empty) {
    auto tx = conn.begin(vl::db::TxMode::ReadOnly);
    if (request.bizonylat == -1) {
        if (empty) *empty = false;
        auto r = BlankHandoverReport(ReadHandoverCompany(*tx));
        tx->commit();
        return r;
    }
    const HandoverData d = LoadHandover(*tx, request);
    tx->commit();
    if (empty) *empty = d.lines.isEmpty();
    return HandoverReport(d);
}

} // namespace vl::rental
