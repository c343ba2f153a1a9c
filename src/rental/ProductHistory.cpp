#include "rental/ProductHistory.h"

namespace vl::rental {

using vl::reporting::Align;
using vl::reporting::Band;
using vl::reporting::Field;
using vl::reporting::Font;
using vl::reporting::PrintContext;
using vl::reporting::Report;
using vl::reporting::Wrap;

const char* const ProductHistorySql =
    "SELECT F.BIZONYLAT, F.VERZIO, F.BERKEZD, F.BERVEG, F.KOMMENT, F.STATUS, F.UGYFELKOD, F.UGYFELCIM,"
    " K.KISZALL, K.VSZALL, U.NEV UGYFELNEV, C.NEV CIMNEV,"
    " CASE WHEN C.KOD IS NULL THEN ''"
    "  ELSE COALESCE(C.IRSZAM, '') || ' ' || COALESCE(C.VAROS, '') || ',' || COALESCE(C.UTCA, '') END CIM,"
    " S.NETTOAR, S.BERMENNY, S.BERMEGYSEG, R.NEV STATUSNEV"
    " FROM FORGKABIN K"
    " JOIN FORGFEJ F ON F.BIZONYLAT = K.BIZONYLAT AND F.VERZIO = K.VERZIO AND F.AKTIV = 'I'"
    " JOIN FORGSOR S ON S.BIZONYLAT = K.BIZONYLAT AND S.VERZIO = K.VERZIO AND S.TETELSOR = K.TETELSOR"
    " LEFT JOIN UGYFEL U ON U.KOD = F.UGYFELKOD"
    " LEFT JOIN UGYFELCIM C ON C.KOD = F.UGYFELCIM"
    " LEFT JOIN SZ_STATUSR R ON R.KOD = F.STATUS"
    " WHERE K.ARUKOD = :kod"
    " ORDER BY K.KISZALL, F.BIZONYLAT, K.TETELSOR, K.SORSZAM";

vl::db::RowSet productHistoryRows(vl::db::Connection& conn, const QString& product)
{
    auto tx = conn.begin(vl::db::TxMode::ReadOnly);
    vl::db::RowSet rows = tx->query(QString::fromLatin1(ProductHistorySql), {{QStringLiteral("kod"), product}});
    tx->commit();
    return rows;
}

QString noProductHistoryText() { return QStringLiteral("Nincs előzmény"); }

QString productHistoryAddress(const QString& address, const QString& siteName)
{
    if (siteName.trimmed().isEmpty()) return address;
    return address + QLatin1Char('\n') + siteName;
}

Report productHistoryReport(const QString& product, const vl::db::RowSet& rows)
{
    Report r;
    r.name = QStringLiteral("Tqrelozmeny");
    r.caption = QStringLiteral("Előzmény lista");
    r.orientation = QPageLayout::Landscape;
    r.margins = QMarginsF(10, 10, 10, 10);
    r.data = rows;
    r.printIfEmpty = true;

    const Font normal = Font::of(QStringLiteral("Arial"), 10);
    const Font small = Font::of(QStringLiteral("Arial"), 8);
    const Font bold = Font::of(QStringLiteral("Arial"), 10, true);

    // Columns (mm from the left margin of the 277 mm wide landscape page).
    struct Col { double x, w; };
    const Col bizonylat{0, 18}, status{19, 30}, ki{51, 21}, vissza{73, 21}, ugyfel{96, 66}, cim{164, 72},
        ar{238, 18}, menny{257, 9}, egyseg{267, 10};

    Band& ph = r.pageHeader;
    ph.name = QStringLiteral("PageHeaderBand1");
    ph.height = 16;
    ph.add(Field::label(QStringLiteral("QRLabel1"), 0, 0, 150, 7, QStringLiteral("Előzmény lista"),
                        Font::of(QStringLiteral("Arial"), 14, true)));
    ph.add(Field::label(QStringLiteral("QRLabel2"), 0, 9, 25, 5, QStringLiteral("Termék kód:"), bold));
    // The product number, set before printing.
    ph.add(Field::label(QStringLiteral("qrl_kod"), 26, 9, 80, 5, product, bold));

    Band& ch = r.columnHeader;
    ch.name = QStringLiteral("ColumnHeaderBand1");
    ch.height = 6;
    ch.frame = vl::reporting::FrameBottom;
    ch.add(Field::label(QStringLiteral("QRLabel3"), bizonylat.x, 0.5, status.x + status.w - bizonylat.x, 5,
                        QStringLiteral("Bizonylat és státusza"), bold));
    ch.add(Field::label(QStringLiteral("QRLabel4"), ki.x, 0.5, vissza.x + vissza.w - ki.x, 5,
                        QStringLiteral("Ki és visszaszállítás"), bold));
    ch.add(Field::label(QStringLiteral("QRLabel5"), ugyfel.x, 0.5, ugyfel.w, 5, QStringLiteral("ügyfél"), bold));
    ch.add(Field::label(QStringLiteral("QRLabel6"), cim.x, 0.5, cim.w, 5, QStringLiteral("Cím"), bold));
    ch.add(Field::label(QStringLiteral("QRLabel7"), ar.x, 0.5, egyseg.x + egyseg.w - ar.x, 5,
                        QStringLiteral("Nettó ár"), bold));

    Band& d = r.detail;
    d.name = QStringLiteral("DetailBand1");
    d.height = 5.5;
    d.add(Field::data(QStringLiteral("BIZONYLAT"), bizonylat.x, 0.5, bizonylat.w, 4.5, QStringLiteral("BIZONYLAT"), normal));
    d.add(Field::data(QStringLiteral("STATUSNEV"), status.x, 0.8, status.w, 4.2, QStringLiteral("STATUSNEV"), small));
    d.add(Field::data(QStringLiteral("KISZALL"), ki.x, 0.5, ki.w, 4.5, QStringLiteral("KISZALL"), normal));
    d.add(Field::data(QStringLiteral("VSZALL"), vissza.x, 0.5, vissza.w, 4.5, QStringLiteral("VSZALL"), normal));
    d.add(Field::data(QStringLiteral("UGYFELNEV"), ugyfel.x, 0.5, ugyfel.w, 4.5, QStringLiteral("UGYFELNEV"), normal));
    Field address = Field::computed(
        QStringLiteral("CIM"), cim.x, 0.5, cim.w, 4.5,
        [](const PrintContext& c) { return productHistoryAddress(c.text(QStringLiteral("CIM")), c.text(QStringLiteral("CIMNEV"))); },
        normal);
    address.wrap = Wrap::Word;
    address.autoHeight = true;
    d.add(address);
    d.add(Field::data(QStringLiteral("NETTOAR"), ar.x, 0.5, ar.w, 4.5, QStringLiteral("NETTOAR"), normal, Align::Right));
    d.add(Field::computed(
        QStringLiteral("BERMENNY"), menny.x, 0.5, menny.w, 4.5,
        [](const PrintContext& c) { return QStringLiteral("/") + c.text(QStringLiteral("BERMENNY")); }, normal,
        Align::Right));
    d.add(Field::data(QStringLiteral("BERMEGYSEG"), egyseg.x, 0.5, egyseg.w, 4.5, QStringLiteral("BERMEGYSEG"), normal));
    return r;
}

} // namespace vl::rental
