#include "drivers/DriverDay.h"

#include "rental/ActivityImages.h"

#include "operations/PhoneMarks.h"

#include "db/SchemaRegistry.h"
#include "rental/Numbering.h"
#include "rental/Schedule.h"
#include "rental/WorkCalendar.h"
#include "util/Dates.h"
#include "util/NumberFormat.h"
#include "util/Numbers.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QUrl>

namespace vl::drivers {

using vl::db::RowSet;

namespace {

// The driver's rows of the day, as the day sheet picks them (DaySheetSourceRows)
// and the daily list prints them: the activities of the day on active, not
// cancelled contracts, and the billing rows of the cash contracts visited that
// day (those of the day and the earlier ones still planned), both of this
// driver and without the deleted and moved ones. A paid billing row stays on
// the phone (the driver sees it was collected). In the daily list's order:
// address, customer, site; within a site the day sheet's order of its rows.
// %1 is the source column of the activity (T.FORRAS, or NULL in a database
// without it): one of two fixed texts.
const QString kDaySql = QStringLiteral(
    "SELECT COALESCE(UC.IRSZAM, '')||' '||COALESCE(UC.VAROS, '')||' '||COALESCE(UC.UTCA, '') CIM,"
    " U.NEV UGYFEL, F.UGYFELCIM, 'T' FAJTA, SZT.SORREND, T.TEVKOD, SZC.NEV TIPUS, T.TEVALLAPOT RENDALL,"
    " T.BIZONYLAT, T.VERZIO, T.TETELSOR, T.SORSZAM, T.DATUM, T.TEVSORSZAM, T.DATUM2, K.ARUKOD,"
    " CAST(0 AS BIGINT) NETTO, T.TEVALLAPOT, SZT.NEV TEVNEV, ST.NEV STATUS, ST.MODOSITHATO, T.KOMMENT,"
    " UC.NEV CIMNEV, UC.IRSZAM, UC.VAROS, UC.UTCA, UC.SZEMELY, UC.TELEFON, UC.WEKOMMENT, %1 FORRAS"
    " FROM FORGTEV T"
    " JOIN FORGFEJ F ON F.BIZONYLAT = T.BIZONYLAT AND F.VERZIO = T.VERZIO"
    " JOIN SZ_TEVEKENY SZT ON SZT.KOD = T.TEVKOD"
    " JOIN SZ_STATUST ST ON ST.KOD = T.TEVALLAPOT"
    " JOIN FORGSOR S ON S.BIZONYLAT = F.BIZONYLAT AND S.VERZIO = F.VERZIO AND S.TETELSOR = T.TETELSOR"
    " JOIN SZ_ARUCSOP SZC ON SZC.KOD = S.ARUCSOPORT"
    " JOIN FORGKABIN K ON K.BIZONYLAT = T.BIZONYLAT AND K.VERZIO = T.VERZIO AND K.TETELSOR = T.TETELSOR"
    "  AND K.SORSZAM = T.SORSZAM"
    " JOIN UGYFEL U ON U.KOD = F.UGYFELKOD"
    " JOIN UGYFELCIM UC ON UC.KOD = F.UGYFELCIM"
    " WHERE T.DATUM = :datum AND TRIM(T.SOFORKOD) = CAST(:sofor AS VARCHAR(250)) AND F.AKTIV = 'I' AND F.STATUS <> 'X'"
    " AND COALESCE(ST.MODOSITHATO, '') NOT IN ('X', 'n')"
    " UNION ALL "
    "SELECT COALESCE(UC.IRSZAM, '')||' '||COALESCE(UC.VAROS, '')||' '||COALESCE(UC.UTCA, '') CIM,"
    " U.NEV UGYFEL, F.UGYFELCIM, 'F' FAJTA, 0 SORREND, 'FIZ' TEVKOD, '' TIPUS, '' RENDALL,"
    " T.BIZONYLAT, T.VERZIO, 0 TETELSOR, 0 SORSZAM, T.DATUM, T.TEVSORSZAM, T.DATUM2, '' ARUKOD,"
    " T.NETTO, T.TEVALLAPOT, SZT.NEV TEVNEV, ST.NEV STATUS, ST.MODOSITHATO, T.KOMMENT,"
    " UC.NEV CIMNEV, UC.IRSZAM, UC.VAROS, UC.UTCA, UC.SZEMELY, UC.TELEFON, UC.WEKOMMENT, CAST(NULL AS VARCHAR(20)) FORRAS"
    // From the contracts visited that day to their billing rows by the key,
    // never from the billing rows' dates (the date index would walk every
    // earlier period of every contract).
    " FROM (SELECT DISTINCT FT.BIZONYLAT FROM FORGTEV FT JOIN SZ_STATUST FS ON FS.KOD = FT.TEVALLAPOT"
    "  WHERE FT.DATUM = :datum AND FS.MODOSITHATO IN ('I', 'i', 'N')) D"
    " JOIN FORGFIZ T ON T.BIZONYLAT = D.BIZONYLAT"
    " JOIN FORGFEJ F ON F.BIZONYLAT = T.BIZONYLAT AND F.VERZIO = T.VERZIO"
    " JOIN SZ_FIZMOD FM ON FM.KOD = F.FIZMOD"
    " JOIN SZ_TEVEKENY SZT ON SZT.KOD = 'FIZ'"
    " JOIN SZ_STATUST ST ON ST.KOD = T.TEVALLAPOT"
    " JOIN UGYFEL U ON U.KOD = F.UGYFELKOD"
    " JOIN UGYFELCIM UC ON UC.KOD = F.UGYFELCIM"
    " WHERE (T.DATUM||'' = :datum OR (T.DATUM||'' < :datum AND ST.MODOSITHATO IN ('I', 'i')))"
    " AND TRIM(T.SOFORKOD) = CAST(:sofor AS VARCHAR(250)) AND FM.KP = 'I' AND F.AKTIV = 'I' AND F.STATUS <> 'X'"
    " AND COALESCE(ST.MODOSITHATO, '') NOT IN ('X', 'n')"
    " ORDER BY 1, 2, 3, 4 DESC, 5, 6, 7, 8, 9, 11, 12, 13, 14");

// The key the phone sends back for a row: the marks' own.
QString activityKey(qint64 b, qint64 v, qint64 line, qint64 item, const QString& day, qint64 seq) {
    vl::operations::PhoneKey k;
    k.bizonylat = b;
    k.verzio = v;
    k.tetelsor = line;
    k.sorszam = item;
    k.datum = day;
    k.tevsorszam = seq;
    return k.text();
}
QString paymentKey(qint64 b, qint64 v, const QString& day, qint64 seq) {
    vl::operations::PhoneKey k;
    k.payment = true;
    k.bizonylat = b;
    k.verzio = v;
    k.datum = day;
    k.tevsorszam = seq;
    return k.text();
}

QString addressOf(const QString& irszam, const QString& varos, const QString& utca) {
    QStringList head;
    for (const QString& p : {irszam.trimmed(), varos.trimmed()})
        if (!p.isEmpty()) head << p;
    QStringList all;
    if (!head.isEmpty()) all << head.join(QLatin1Char(' '));
    if (!utca.trimmed().isEmpty()) all << utca.trimmed();
    return all.join(QStringLiteral(", "));
}

QJsonObject withoutVersion(const DriverDay& d, bool withImages = false) {
    QJsonArray sites;
    for (const DaySite& s : d.sites) {
        QJsonArray acts, cash;
        for (const DayActivity& a : s.activities) {
            QJsonObject o{{QStringLiteral("key"), a.key},
                                    {QStringLiteral("code"), a.code},
                                    {QStringLiteral("name"), a.name},
                                    {QStringLiteral("cabin"), a.cabin},
                                    {QStringLiteral("type"), a.type},
                                    {QStringLiteral("state"), a.state},
                                    {QStringLiteral("stateName"), a.stateName},
                                    {QStringLiteral("class"), a.stateClass},
                                    {QStringLiteral("remark"), a.remark},
                                    {QStringLiteral("fromPhone"), a.fromPhone},
                                    {QStringLiteral("signable"), a.signable}};
            if (withImages) o.insert(QStringLiteral("images"), a.images);
            acts.append(o);
        }
        for (const DayCash& c : s.cash)
            cash.append(QJsonObject{{QStringLiteral("key"), c.key},
                                    {QStringLiteral("contract"), c.contract},
                                    {QStringLiteral("from"), c.from},
                                    {QStringLiteral("to"), c.to},
                                    {QStringLiteral("gross"), c.gross},
                                    {QStringLiteral("grossText"), vl::util::FormatAmount(double(c.gross))},
                                    {QStringLiteral("state"), c.state},
                                    {QStringLiteral("stateName"), c.stateName},
                                    {QStringLiteral("class"), c.stateClass}});
        sites.append(QJsonObject{{QStringLiteral("customer"), s.customer},
                                 {QStringLiteral("site"), s.site},
                                 {QStringLiteral("address"), s.address},
                                 {QStringLiteral("geo"), s.geo},
                                 {QStringLiteral("contact"), s.contact},
                                 {QStringLiteral("phone"), s.phone},
                                 {QStringLiteral("weekendRemark"), s.weekendRemark},
                                 {QStringLiteral("activities"), acts},
                                 {QStringLiteral("cash"), cash},
                                 {QStringLiteral("cashGross"), s.cashGross},
                                 {QStringLiteral("cashGrossText"), vl::util::FormatAmount(double(s.cashGross))}});
    }
    return QJsonObject{{QStringLiteral("driver"), d.driver},
                       {QStringLiteral("name"), d.name},
                       {QStringLiteral("date"), d.date},
                       {QStringLiteral("dayName"), d.dayName},
                       {QStringLiteral("dayKind"), d.dayKind},
                       {QStringLiteral("sites"), sites},
                       {QStringLiteral("cashGross"), d.cashGross},
                       {QStringLiteral("cashGrossText"), vl::util::FormatAmount(double(d.cashGross))}};
}

} // namespace

QJsonObject DriverDay::toJson() const {
    QJsonObject o = withoutVersion(*this, true);
    o.insert(QStringLiteral("version"), version);
    return o;
}

QString DriverName(vl::db::Transaction& tx, const QString& driverCode) {
    const RowSet rs = tx.query(QStringLiteral("SELECT NEV FROM SZ_SOFOR WHERE KOD = CAST(:kod AS VARCHAR(250)) AND AKTIV = 'I'"),
                               {{QStringLiteral("kod"), driverCode.trimmed()}});
    return rs.isEmpty() ? QString() : rs.at(0, 0).toString().trimmed();
}

DriverDay ReadDriverDay(vl::db::Transaction& tx, const QString& driverCode, const QString& day, double vatFactor) {
    DriverDay d;
    d.driver = driverCode.trimmed();
    d.name = DriverName(tx, d.driver);
    d.date = day;
    d.dayName = vl::util::DayNameOf(day, QString());
    d.dayKind = vl::rental::WorkCalendar::load(tx).describe(vl::rental::gen::toDate(day));

    // The source of a row is read only where the activities have that column.
    const QString source = vl::db::SchemaRegistry::columnExists(tx, QStringLiteral("FORGTEV"), QStringLiteral("FORRAS"))
                               ? QStringLiteral("T.FORRAS")
                               : QStringLiteral("CAST(NULL AS VARCHAR(20))");
    RowSet rs = tx.query(kDaySql.arg(source), {{QStringLiteral("datum"), day}, {QStringLiteral("sofor"), d.driver}});
    // The pictures of the day's activities, counted once for the day.
    const QHash<QString, int> images = vl::db::SchemaRegistry::tableExists(tx, QStringLiteral("FORGKEP"))
                                           ? vl::rental::CountImagesOfDay(tx, day)
                                           : QHash<QString, int>{};
    QString lastSite;
    while (rs.next()) {
        const QString siteKey = rs.text(QStringLiteral("CIM")) + QChar(0) + rs.text(QStringLiteral("UGYFEL")) + QChar(0) +
                                rs.text(QStringLiteral("UGYFELCIM"));
        if (d.sites.isEmpty() || siteKey != lastSite) {
            lastSite = siteKey;
            DaySite s;
            s.customer = rs.text(QStringLiteral("UGYFEL")).trimmed();
            s.site = rs.text(QStringLiteral("CIMNEV")).trimmed();
            s.address = addressOf(rs.text(QStringLiteral("IRSZAM")), rs.text(QStringLiteral("VAROS")),
                                  rs.text(QStringLiteral("UTCA")));
            s.geo = QStringLiteral("geo:0,0?q=") + QString::fromLatin1(QUrl::toPercentEncoding(s.address));
            s.contact = rs.text(QStringLiteral("SZEMELY")).trimmed();
            s.phone = rs.text(QStringLiteral("TELEFON")).trimmed();
            s.weekendRemark = rs.text(QStringLiteral("WEKOMMENT")).trimmed();
            d.sites.append(s);
        }
        DaySite& s = d.sites.last();
        const qint64 b = rs.integer(QStringLiteral("BIZONYLAT")), v = rs.integer(QStringLiteral("VERZIO"));
        const QString rowDay = rs.text(QStringLiteral("DATUM")).trimmed();
        const qint64 seq = rs.integer(QStringLiteral("TEVSORSZAM"));
        const QString state = rs.text(QStringLiteral("TEVALLAPOT")).trimmed();
        const QString stateName = rs.text(QStringLiteral("STATUS")).trimmed();
        const QString stateClass = rs.text(QStringLiteral("MODOSITHATO")).trimmed();
        if (rs.text(QStringLiteral("FAJTA")) == QStringLiteral("T")) {
            DayActivity a;
            a.key = activityKey(b, v, rs.integer(QStringLiteral("TETELSOR")), rs.integer(QStringLiteral("SORSZAM")),
                                rowDay, seq);
            a.code = rs.text(QStringLiteral("TEVKOD")).trimmed();
            a.name = rs.text(QStringLiteral("TEVNEV")).trimmed();
            a.cabin = rs.text(QStringLiteral("ARUKOD")).trimmed();
            a.type = rs.text(QStringLiteral("TIPUS")).trimmed();
            a.state = state;
            a.stateName = stateName;
            a.stateClass = stateClass;
            a.remark = rs.text(QStringLiteral("KOMMENT")).trimmed();
            a.fromPhone = rs.text(QStringLiteral("FORRAS")).trimmed().compare(QStringLiteral("telefon"), Qt::CaseInsensitive) == 0;
            a.signable = a.code == QLatin1String("KIH") || a.code == QLatin1String("VSZ");
            a.images = images.value(QStringLiteral("%1.%2.%3.%4.%5.%6")
                                        .arg(b).arg(v).arg(rs.integer(QStringLiteral("TETELSOR")))
                                        .arg(rs.integer(QStringLiteral("SORSZAM"))).arg(rowDay).arg(seq));
            s.activities.append(a);
        } else {
            DayCash c;
            c.key = paymentKey(b, v, rowDay, seq);
            c.contract = b;
            c.from = rowDay;
            c.to = rs.text(QStringLiteral("DATUM2")).trimmed();
            c.gross = vl::util::RoundHalfAway(double(rs.integer(QStringLiteral("NETTO"))) * vatFactor);
            c.state = state;
            c.stateName = stateName;
            c.stateClass = stateClass;
            if (stateClass == QStringLiteral("I") || stateClass == QStringLiteral("i")) {
                s.cashGross += c.gross;
                d.cashGross += c.gross;
            }
            s.cash.append(c);
        }
    }
    // Everything shown, in one digest: any change of the office changes it.
    d.version = QString::fromLatin1(
        QCryptographicHash::hash(QJsonDocument(withoutVersion(d)).toJson(QJsonDocument::Compact), QCryptographicHash::Sha256)
            .toHex());
    return d;
}

QJsonObject DriverDayAnswer(vl::db::Connection& conn, const QString& driverCode, const QString& day,
                            const QStringList& days) {
    auto tx = conn.begin(vl::db::TxMode::ReadOnly);
    const DriverDay dd = ReadDriverDay(*tx, driverCode, day, vl::rental::Td::DefaultVatFactor(*tx));
    QJsonArray reasons;
    vl::db::RowSet rs = vl::operations::PhoneReasons(*tx);
    while (rs.next())
        reasons.append(QJsonObject{{QStringLiteral("code"), rs.text(QStringLiteral("KOD")).trimmed()},
                                   {QStringLiteral("name"), rs.text(QStringLiteral("NEV")).trimmed()}});
    tx->commit();
    QJsonObject o = dd.toJson();
    o.insert(QStringLiteral("days"), QJsonArray::fromStringList(days));
    o.insert(QStringLiteral("reasons"), reasons);
    return o;
}

} // namespace vl::drivers
