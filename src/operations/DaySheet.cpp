#include "DaySheet.h"
#include "rental/ActivityImages.h"

#include "rental/Schedule.h"
#include "rental/WorkCalendar.h"
#include "db/SchemaRegistry.h"
#include "db/SqlText.h"
#include "db/TxScope.h"
#include "shell/Queries.h"
#include "util/Dates.h"
#include "util/Error.h"
#include "util/Numbers.h"
#include "util/Texts.h"

#include <QHash>
#include <QThread>

namespace vl::operations {

using vl::db::Params;
using vl::db::RowSet;

namespace {

const QString kTemplate = QStringLiteral("TEVNAPLO");

// Activities of the day on the active, not cancelled contracts, and the
// billing items of the contracts that have a visit (planned, planned again or
// done) on the day: those of the day, and the earlier ones still planned.
// Status literals are tested by their class. Address parts may be missing one
// by one; a missing driver is NULL, '' or blanks alike and comes back as ''.
// The order keeps each site's rows together and each line's rows in one run:
// address, customer, site, activity display order, activity code, product
// type, driver, status.
const QString kSourceSql = QStringLiteral(
    "SELECT COALESCE(UC.IRSZAM, '')||' '||COALESCE(UC.VAROS, '')||' '||COALESCE(UC.UTCA, '') CIM,"
    " U.NEV UGYFEL, F.UGYFELCIM, SZT.SORREND, T.TEVKOD, SZC.NEV TIPUS, COALESCE(TRIM(T.SOFORKOD), '') SOFORKOD,"
    " T.TEVALLAPOT, SZT.NEV TEVNEV, SZS.NEV SOFOR, T.BIZONYLAT, T.VERZIO, T.TETELSOR, T.SORSZAM, T.DATUM,"
    " T.DATUM2, T.TEVSORSZAM, T.MENNYISEG, T.NETTOAR, CAST(0 AS BIGINT) BRUTTO, T.KEPZETT, K.ARUKOD,"
    " ST.NEV STATUS, ST.MODOSITHATO, ST.SZIN, UC.KOMMENT CIMKOMMENT, F.UGYFELKOD, SZT.ESETI, S.BERMENNY,"
    " S.BERMEGYSEG, T.KOMMENT, FM.KP, T.EREDETINAP, T.FORRAS, T.FORRASSOFOR, FSZ.NEV FORRASSOFORNEV"
    " FROM FORGTEV T"
    " JOIN FORGFEJ F ON F.BIZONYLAT = T.BIZONYLAT AND F.VERZIO = T.VERZIO"
    " JOIN SZ_TEVEKENY SZT ON SZT.KOD = T.TEVKOD"
    " JOIN SZ_STATUST ST ON ST.KOD = T.TEVALLAPOT"
    " JOIN SZ_FIZMOD FM ON FM.KOD = F.FIZMOD"
    " JOIN FORGSOR S ON S.BIZONYLAT = F.BIZONYLAT AND S.VERZIO = F.VERZIO AND S.TETELSOR = T.TETELSOR"
    " JOIN SZ_ARUCSOP SZC ON SZC.KOD = S.ARUCSOPORT"
    " JOIN FORGKABIN K ON K.BIZONYLAT = T.BIZONYLAT AND K.VERZIO = T.VERZIO AND K.TETELSOR = T.TETELSOR"
    "  AND K.SORSZAM = T.SORSZAM"
    " JOIN UGYFEL U ON U.KOD = F.UGYFELKOD"
    " JOIN UGYFELCIM UC ON UC.KOD = F.UGYFELCIM"
    " LEFT JOIN SZ_SOFOR SZS ON SZS.KOD = T.SOFORKOD"
    " LEFT JOIN SZ_SOFOR FSZ ON FSZ.KOD = T.FORRASSOFOR"
    " WHERE T.DATUM = :datum AND F.AKTIV = 'I' AND F.STATUS <> 'X'"
    " UNION ALL "
    "SELECT COALESCE(UC.IRSZAM, '')||' '||COALESCE(UC.VAROS, '')||' '||COALESCE(UC.UTCA, '') CIM,"
    " U.NEV UGYFEL, F.UGYFELCIM, SZT.SORREND, 'FIZ' TEVKOD, '' TIPUS, COALESCE(TRIM(T.SOFORKOD), '') SOFORKOD,"
    " T.TEVALLAPOT, SZT.NEV TEVNEV, SZS.NEV SOFOR, T.BIZONYLAT, T.VERZIO, 0 TETELSOR, 0 SORSZAM, T.DATUM,"
    " T.DATUM2, T.TEVSORSZAM, 1 MENNYISEG, T.NETTO NETTOAR, T.BRUTTO, 'K' KEPZETT, '*' ARUKOD,"
    " ST.NEV STATUS, ST.MODOSITHATO, ST.SZIN, UC.KOMMENT CIMKOMMENT, F.UGYFELKOD, SZT.ESETI, 0 BERMENNY,"
    " ' ' BERMEGYSEG, T.KOMMENT, 'I' KP, CAST(NULL AS VARCHAR(10)) EREDETINAP, T.FORRAS, T.FORRASSOFOR,"
    " FSZ.NEV FORRASSOFORNEV"
    // From the contracts visited that day to their billing rows by the key,
    // never from the billing rows' dates (the date index would walk every
    // earlier period of every contract).
    " FROM (SELECT DISTINCT FT.BIZONYLAT FROM FORGTEV FT JOIN SZ_STATUST FS ON FS.KOD = FT.TEVALLAPOT"
    "  WHERE FT.DATUM = :datum AND FS.MODOSITHATO IN ('I', 'i', 'N')) D"
    " JOIN FORGFIZ T ON T.BIZONYLAT = D.BIZONYLAT"
    " JOIN FORGFEJ F ON F.BIZONYLAT = T.BIZONYLAT AND F.VERZIO = T.VERZIO"
    " JOIN SZ_TEVEKENY SZT ON SZT.KOD = 'FIZ'"
    " JOIN SZ_STATUST ST ON ST.KOD = T.TEVALLAPOT"
    " JOIN UGYFEL U ON U.KOD = F.UGYFELKOD"
    " JOIN UGYFELCIM UC ON UC.KOD = F.UGYFELCIM"
    " LEFT JOIN SZ_SOFOR SZS ON SZS.KOD = T.SOFORKOD"
    " LEFT JOIN SZ_SOFOR FSZ ON FSZ.KOD = T.FORRASSOFOR"
    " WHERE (T.DATUM||'' = :datum OR (T.DATUM||'' < :datum AND ST.MODOSITHATO IN ('I', 'i')))"
    " AND F.AKTIV = 'I' AND F.STATUS <> 'X'"
    " ORDER BY 1, 2, 3, 4, 5, 6, 7, 8, 11, 13, 14, 15, 17");

const QString kInsertSql = QStringLiteral(
    "INSERT INTO %1 (SELECTED, TSORSZAM, UGYFEL, CIM, DB, TIPUS, TEVNEV, SOFOR, STATUS, TERMEKKODOK, NETTO,"
    " KOMMENT, BIZONYLAT, TEVALLAPOT, UGYFELKOD, UGYFELCIM, MODOSITHATO, TEVKOD, SOFORKOD, SZIN, NETTOFIZ,"
    " BRUTTOFIZ) VALUES (:selected, :tsorszam, :ugyfel, :cim, :db, :tipus, :tevnev, :sofor, :status,"
    " :termekkodok, :netto, :komment, :bizonylat, :tevallapot, :ugyfelkod, :ugyfelcim, :modosithato, :tevkod,"
    " :soforkod, :szin, :nettofiz, :bruttofiz)");

QString cut(const QString& s, int n) { return s.left(n); }

QVariant orNull(const QString& s) { return s.isEmpty() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(s); }

} // namespace

QString NoTemplateText() { return QStringLiteral("TMP minta (TEVNAPLO) nincs meg"); }

QString PhoneSourceText() { return QStringLiteral("telefon"); }
QString PhoneMarkColorName() { return QStringLiteral("FAKÓSÁRGA"); }
QString PhoneMarkedText() { return QStringLiteral("Telefonról jelölve"); }

const QStringList& SortableColumns() {
    static const QStringList c{QStringLiteral("SELECTED"), QStringLiteral("UGYFEL"), QStringLiteral("CIM"),
                               QStringLiteral("TEVNEV"), QStringLiteral("SOFOR")};
    return c;
}

QString DaySheetSourceSql() { return kSourceSql; }

RowSet DaySheetSourceRows(vl::db::Transaction& tx, const QString& day) {
    return tx.query(kSourceSql, {{QStringLiteral("datum"), day}});
}

RowSet OverdueVisits(vl::db::Transaction& tx, const QString& fromDay, const QString& day) {
    // Grouped first (the DATUM index, one row per day, contract and activity),
    // the names joined to the groups only.
    return tx.query(
        QStringLiteral(
            "SELECT G.DATUM, G.BIZONYLAT, G.VERZIO, G.TEVKOD, SZT.NEV TEVNEV, G.DB, G.ARUKOD, G.SOFORKOD,"
            " SZS.NEV SOFOR, F.UGYFELKOD, U.NEV UGYFEL,"
            " COALESCE(UC.IRSZAM, '')||' '||COALESCE(UC.VAROS, '')||' '||COALESCE(UC.UTCA, '') CIM"
            " FROM (SELECT T.DATUM, T.BIZONYLAT, T.VERZIO, T.TEVKOD, COUNT(*) DB, MIN(T.ARUKOD) ARUKOD,"
            "  MIN(COALESCE(TRIM(T.SOFORKOD), '')) SOFORKOD"
            "  FROM FORGTEV T"
            "  WHERE T.DATUM >= :tol AND T.DATUM < :datum"
            "  AND T.TEVALLAPOT IN (SELECT KOD FROM SZ_STATUST WHERE MODOSITHATO IN ('I', 'i'))"
            "  GROUP BY T.DATUM, T.BIZONYLAT, T.VERZIO, T.TEVKOD) G"
            " JOIN FORGFEJ F ON F.BIZONYLAT = G.BIZONYLAT AND F.VERZIO = G.VERZIO"
            " JOIN SZ_TEVEKENY SZT ON SZT.KOD = G.TEVKOD"
            " JOIN UGYFEL U ON U.KOD = F.UGYFELKOD"
            " JOIN UGYFELCIM UC ON UC.KOD = F.UGYFELCIM"
            " LEFT JOIN SZ_SOFOR SZS ON SZS.KOD = G.SOFORKOD"
            " WHERE F.AKTIV = 'I' AND F.STATUS <> 'X'"
            " ORDER BY G.DATUM, U.NEV, G.BIZONYLAT, G.TEVKOD"),
        {{QStringLiteral("tol"), fromDay}, {QStringLiteral("datum"), day}});
}

RowSet VisitsPerDay(vl::db::Transaction& tx, const QString& from, const QString& to) {
    // Counted by state on the DATUM index alone; the states' classes and the
    // drivers' names are joined to the counts.
    return tx.query(
        QStringLiteral(
            "SELECT G.DATUM, G.SOFORKOD, MAX(SZS.NEV) SOFOR,"
            " SUM(CASE WHEN ST.MODOSITHATO = 'N' THEN G.DB ELSE 0 END) ELVEGEZVE,"
            " SUM(CASE WHEN ST.MODOSITHATO IN ('I', 'i') THEN G.DB ELSE 0 END) TERVEZETT"
            " FROM (SELECT T.DATUM, COALESCE(TRIM(T.SOFORKOD), '') SOFORKOD, T.TEVALLAPOT, COUNT(*) DB FROM FORGTEV T"
            "  WHERE T.DATUM BETWEEN :tol AND :ig GROUP BY 1, 2, 3) G"
            " JOIN SZ_STATUST ST ON ST.KOD = G.TEVALLAPOT"
            " LEFT JOIN SZ_SOFOR SZS ON SZS.KOD = G.SOFORKOD"
            " GROUP BY 1, 2 ORDER BY 1, 2"),
        {{QStringLiteral("tol"), from}, {QStringLiteral("ig"), to}});
}

QList<DaySheetLine> FoldDaySheet(const RowSet& rows, double vatFactor) {
    QList<DaySheetLine> out;
    const RowSet& rs = rows;
    const int cCim = rs.indexOf(QStringLiteral("CIM")), cUgyfel = rs.indexOf(QStringLiteral("UGYFEL")),
              cSite = rs.indexOf(QStringLiteral("UGYFELCIM")), cTevkod = rs.indexOf(QStringLiteral("TEVKOD")),
              cTipus = rs.indexOf(QStringLiteral("TIPUS")), cSofor = rs.indexOf(QStringLiteral("SOFORKOD")),
              cAll = rs.indexOf(QStringLiteral("TEVALLAPOT"));
    // A column's place is looked up once per name, not once per value.
    QHash<const char*, int> places;
    auto place = [&](const char* col) {
        auto it = places.constFind(col);
        if (it == places.constEnd()) it = places.insert(col, rs.indexOf(QString::fromLatin1(col)));
        return *it;
    };
    auto txt = [&](int r, const char* col) {
        const QVariant& v = rs.at(r, place(col));
        return v.isNull() ? QString() : v.toString();
    };
    auto num = [&](int r, const char* col) { return rs.at(r, place(col)).toLongLong(); };
    auto same = [&](int a, int b, std::initializer_list<int> cols) {
        for (int c : cols) {
            const QVariant x = rs.at(a, c), y = rs.at(b, c);
            if ((x.isNull() ? QString() : x.toString()) != (y.isNull() ? QString() : y.toString())) return false;
        }
        return true;
    };

    qint64 rentQty = 0;
    QString rentUnit;
    int r = 0;
    const int n = rs.rowCount();
    while (r < n) {
        if (r == 0 || !same(r, r - 1, {cCim, cUgyfel, cSite})) {
            rentQty = 0;
            rentUnit.clear();
        }
        // One line: the run of rows of this site with the same activity,
        // product type, driver and status.
        int end = r + 1;
        while (end < n && same(end, r, {cCim, cUgyfel, cSite, cTevkod, cTipus, cSofor, cAll})) ++end;

        DaySheetLine l;
        l.tsorszam = int(out.size()) + 1;
        l.tevkod = txt(r, "TEVKOD");
        const bool payLine = l.tevkod == QStringLiteral("FIZ");
        l.ugyfel = txt(r, "UGYFEL");
        l.ugyfelkod = txt(r, "UGYFELKOD");
        l.ugyfelcim = txt(r, "UGYFELCIM");
        l.tipus = txt(r, "TIPUS");
        l.tevnev = txt(r, "TEVNEV");
        l.sofor = txt(r, "SOFOR");
        l.soforkod = txt(r, "SOFORKOD");
        l.status = txt(r, "STATUS");
        l.tevallapot = txt(r, "TEVALLAPOT");
        l.modosithato = txt(r, "MODOSITHATO");
        l.szin = txt(r, "SZIN");
        const QString firstRemark = txt(r, "KOMMENT");
        const QString siteRemark = txt(r, "CIMKOMMENT");
        if (!payLine) {
            rentQty = num(r, "BERMENNY");
            rentUnit = txt(r, "BERMEGYSEG");
        }
        l.cim = txt(r, "CIM") + QLatin1Char(' ') + siteRemark;

        qint64 unitPrice = 0, priceSum = 0;
        QStringList products, origins, phoneDrivers;
        QString periods;
        for (int i = r; i < end; ++i) {
            SourceRow s;
            s.payment = txt(i, "TEVKOD") == QStringLiteral("FIZ") && num(i, "TETELSOR") == 0;
            s.bizonylat = num(i, "BIZONYLAT");
            s.verzio = num(i, "VERZIO");
            s.tetelsor = num(i, "TETELSOR");
            s.sorszam = num(i, "SORSZAM");
            s.datum = txt(i, "DATUM");
            s.tevsorszam = num(i, "TEVSORSZAM");
            s.tevkod = txt(i, "TEVKOD");
            s.tevallapot = txt(i, "TEVALLAPOT");
            s.soforkod = txt(i, "SOFORKOD");
            s.arukod = txt(i, "ARUKOD");
            s.komment = txt(i, "KOMMENT");
            // A visit the calendar moved here shows the day it came from.
            if (const QString o = txt(i, "EREDETINAP").trimmed(); !o.isEmpty() && !origins.contains(o)) origins << o;
            s.mennyiseg = num(i, "MENNYISEG");
            s.nettoar = num(i, "NETTOAR");
            s.kp = txt(i, "KP");
            l.sources << s;
            // Marked from a phone (a billing row: while it stays paid, the
            // only mark a phone gives it).
            if (txt(i, "FORRAS").trimmed() == PhoneSourceText() &&
                (!s.payment || txt(i, "MODOSITHATO") == QStringLiteral("N"))) {
                l.sources.last().fromPhone = true;
                const QString code = txt(i, "FORRASSOFOR").trimmed(), name = txt(i, "FORRASSOFORNEV").trimmed();
                const QString who = name.isEmpty() ? code : code + QLatin1Char(' ') + name;
                if (!phoneDrivers.contains(who)) phoneDrivers << who;
            }

            l.db += s.mennyiseg;
            if (!l.contracts.contains(s.bizonylat)) l.contracts << s.bizonylat;
            if (!payLine) products << s.arukod;
            if (payLine || txt(i, "ESETI") == QStringLiteral("I")) {
                unitPrice = s.nettoar;
                priceSum += s.nettoar;
                l.nettofiz += s.mennyiseg * s.nettoar;
                const qint64 brutto = num(i, "BRUTTO");
                l.bruttofiz += brutto != 0 ? s.mennyiseg * brutto
                                           : vl::util::RoundHalfAway(double(s.mennyiseg * s.nettoar) * vatFactor);
            }
            if (payLine)
                periods += QLatin1Char(' ') + s.datum + QStringLiteral(" -> ") + txt(i, "DATUM2") + QLatin1Char(',');
        }
        QString numbers;
        for (qint64 b : l.contracts) numbers += QString::number(b) + QLatin1Char(',');
        l.bizonylat = cut(numbers, 80);
        l.termekkodok = products.join(QLatin1Char(','));
        QString remark = periods + QLatin1Char(' ') + firstRemark;
        if (!origins.isEmpty()) remark += QStringLiteral(" Eredeti nap: ") + origins.join(QStringLiteral(", "));
        if (priceSum != 0) remark = QString::number(priceSum) + QStringLiteral(" Ft, ") + remark;
        if (!phoneDrivers.isEmpty()) {
            l.fromPhone = true;
            l.szin = PhoneMarkColorName();
            remark = PhoneMarkedText() + QStringLiteral(" (") + phoneDrivers.join(QStringLiteral(", ")) +
                     QStringLiteral("), ") + remark.trimmed();
        }
        l.komment = remark;
        if (unitPrice == 0)
            l.netto.clear();
        else if (!payLine)
            l.netto = QString::number(unitPrice);
        else
            l.netto = QString::number(unitPrice) + QStringLiteral(" / ") + QString::number(rentQty) +
                      QLatin1Char(' ') + rentUnit;
        l.netto = cut(l.netto, 30);
        out << l;
        r = end;
    }
    return out;
}

DaySheet::DaySheet(vl::db::Connection& conn, const vl::shell::Session& session, double vatFactor)
    : conn_(&conn), session_(session), vat_(vatFactor) {}

void DaySheet::ensureTable() {
    if (!table_.isEmpty()) return;
    {
        auto tx = conn_->begin(vl::db::TxMode::ReadOnly);
        if (!vl::db::SchemaRegistry::tableExists(*tx, kTemplate)) throw vl::RuleRefusal(NoTemplateText());
    }
    QString name;
    for (int attempt = 0; attempt < 50; ++attempt) {
        name = vl::util::StampedName(kTemplate + session_.userCode, QStringLiteral("TMP_"));
        auto tx = conn_->begin(vl::db::TxMode::ReadOnly);
        if (!vl::db::SchemaRegistry::tableExists(*tx, name)) break;
        tx.reset();
        QThread::msleep(2);
    }
    if (!vl::shell::CopyTableDef(*conn_, nullptr, session_, kTemplate, name, true, true))
        throw vl::RuleRefusal(NoTemplateText());
    table_ = name;
}

void DaySheet::LoadDaySheet(const QString& typedDay) {
    const QString day = vl::util::NormalizeDateText(typedDay);
    if (day.isEmpty())
        throw vl::RuleRefusal(QStringLiteral("Hibás dátum: ") + typedDay.trimmed(), QStringLiteral("LoadDaySheet"));
    ensureTable();
    const QString t = vl::db::sqltext::quoteIdent(table_);
    QList<DaySheetLine> lines;
    QStringList failed;
    {
        vl::db::TxScope tx(*conn_, nullptr);
        lines = FoldDaySheet(DaySheetSourceRows(*tx, day), vat_);
        const QHash<QString, int> pictures = vl::rental::CountImagesOfDay(*tx, day);
        for (DaySheetLine& l : lines)
            for (const SourceRow& r : l.sources) {
                if (r.payment) continue;
                vl::rental::ActivityKey k{r.bizonylat, r.verzio, r.tetelsor, r.sorszam, r.datum.trimmed(), r.tevsorszam};
                l.images += pictures.value(k.text());
            }
        dayKind_ = vl::rental::WorkCalendar::load(*tx).describe(vl::rental::gen::toDate(day));
        tx->exec(QStringLiteral("DELETE FROM ") + t);
        auto ins = tx->prepare(kInsertSql.arg(t));
        for (const DaySheetLine& l : lines) {
            ins->bind(QStringLiteral("selected"), QStringLiteral(" "));
            ins->bind(QStringLiteral("tsorszam"), l.tsorszam);
            ins->bind(QStringLiteral("ugyfel"), cut(l.ugyfel, 60));
            ins->bind(QStringLiteral("cim"), l.cim);
            ins->bind(QStringLiteral("db"), l.db);
            ins->bind(QStringLiteral("tipus"), cut(l.tipus, 60));
            ins->bind(QStringLiteral("tevnev"), cut(l.tevnev, 60));
            ins->bind(QStringLiteral("sofor"), cut(l.sofor, 60));
            ins->bind(QStringLiteral("status"), cut(l.status, 60));
            ins->bind(QStringLiteral("termekkodok"), l.termekkodok);
            ins->bind(QStringLiteral("netto"), l.netto);
            ins->bind(QStringLiteral("komment"), l.komment);
            ins->bind(QStringLiteral("bizonylat"), l.bizonylat);
            ins->bind(QStringLiteral("tevallapot"), l.tevallapot);
            ins->bind(QStringLiteral("ugyfelkod"), l.ugyfelkod);
            ins->bind(QStringLiteral("ugyfelcim"), l.ugyfelcim);
            ins->bind(QStringLiteral("modosithato"), l.modosithato);
            ins->bind(QStringLiteral("tevkod"), l.tevkod);
            ins->bind(QStringLiteral("soforkod"), orNull(l.soforkod));
            ins->bind(QStringLiteral("szin"), cut(l.szin, 30));
            ins->bind(QStringLiteral("nettofiz"), l.nettofiz);
            ins->bind(QStringLiteral("bruttofiz"), l.bruttofiz);
            try {
                ins->execute();
            } catch (const vl::db::DbError& e) {
                if (e.isConnectionLost() || e.isCancelled()) throw;
                failed << l.ugyfel + QLatin1Char(' ') + l.cim + QLatin1Char(' ') + l.bizonylat;
            }
        }
        tx.commit();
    }
    day_ = day;
    lines_ = lines;
    failed_ = failed;
    marks_.clear();
    reopen();
}

QString DaySheet::filterLine() const {
    QStringList c;
    if (!filter_.customerKey.isEmpty()) c << QStringLiteral("UGYFELKOD = :ugyfelkod");
    if (filter_.noDriver)
        c << QStringLiteral("(SOFORKOD IS NULL OR TRIM(SOFORKOD) = '')");
    else if (!filter_.driverCode.isEmpty())
        c << QStringLiteral("TRIM(SOFORKOD) = :soforkod");
    if (filter_.hideDeleted) c << QStringLiteral("(MODOSITHATO IS NULL OR MODOSITHATO <> 'X')");
    return c.isEmpty() ? QString() : QStringLiteral(" WHERE ") + c.join(QStringLiteral(" AND "));
}

Params DaySheet::filterParams() const {
    Params p;
    if (!filter_.customerKey.isEmpty()) p.push_back({QStringLiteral("ugyfelkod"), filter_.customerKey});
    if (!filter_.noDriver && !filter_.driverCode.isEmpty())
        p.push_back({QStringLiteral("soforkod"), filter_.driverCode.trimmed()});
    return p;
}

QString DaySheet::orderLine() const {
    QString o = QStringLiteral(" ORDER BY ") + order_;
    if (order_ != QStringLiteral("CIM")) o += QStringLiteral(", CIM");
    return o + QStringLiteral(", TSORSZAM");
}

void DaySheet::reopen() {
    if (table_.isEmpty()) return;
    visible_ = conn_->query(QStringLiteral("SELECT * FROM ") + vl::db::sqltext::quoteIdent(table_) + filterLine() +
                               orderLine(),
                           filterParams());
    sum_.clear();
    const int cCode = visible_.indexOf(QStringLiteral("TEVKOD")), cName = visible_.indexOf(QStringLiteral("TEVNEV")),
              cDb = visible_.indexOf(QStringLiteral("DB"));
    for (int r = 0; r < visible_.rowCount(); ++r) {
        const QString code = visible_.at(r, cCode).toString();
        auto it = std::find_if(sum_.begin(), sum_.end(), [&](const TTevsum& s) { return s.code == code; });
        if (it == sum_.end()) {
            sum_.append({code, visible_.at(r, cName).toString(), 0});
            it = sum_.end() - 1;
        }
        it->total += visible_.at(r, cDb).toLongLong();
    }
}

void DaySheet::CheckFilter(vl::db::Transaction& tx, const DaySheetFilter& f) {
    if (!f.customerKey.isEmpty() &&
        tx.query(QStringLiteral("SELECT 1 FROM UGYFEL WHERE KOD = :k"), {{QStringLiteral("k"), f.customerKey}}).isEmpty())
        throw vl::RuleRefusal(QStringLiteral("Nincs ilyen ügyfél: ") + f.customerKey, QStringLiteral("FilterDaySheet"));
    if (!f.noDriver && !f.driverCode.trimmed().isEmpty() &&
        tx.query(QStringLiteral("SELECT 1 FROM SZ_SOFOR WHERE KOD = :k"), {{QStringLiteral("k"), f.driverCode.trimmed()}})
            .isEmpty())
        throw vl::RuleRefusal(QStringLiteral("Nincs ilyen sofőr: ") + f.driverCode, QStringLiteral("FilterDaySheet"));
}

void DaySheet::FilterDaySheet(const DaySheetFilter& filter) {
    {
        auto tx = conn_->begin(vl::db::TxMode::ReadOnly);
        CheckFilter(*tx, filter);
    }
    if (!(filter == filter_) && !marks_.isEmpty() && !table_.isEmpty()) {
        conn_->exec(QStringLiteral("UPDATE ") + vl::db::sqltext::quoteIdent(table_) +
                   QStringLiteral(" SET SELECTED = ' ' WHERE SELECTED = 'X'"));
        marks_.clear();
    }
    filter_ = filter;
    filtered_ = true;
    reopen();
}

bool DaySheet::ToggleLineMark(int tsorszam) {
    if (table_.isEmpty() || !line(tsorszam)) return false;
    const bool on = !marks_.contains(tsorszam);
    const qint64 n = conn_->exec(QStringLiteral("UPDATE ") + vl::db::sqltext::quoteIdent(table_) +
                                    QStringLiteral(" SET SELECTED = :selected WHERE TSORSZAM = :tsorszam"),
                                {{QStringLiteral("selected"), on ? QStringLiteral("X") : QStringLiteral(" ")},
                                 {QStringLiteral("tsorszam"), tsorszam}});
    if (n == 0) return false;
    if (on)
        marks_.append(tsorszam);
    else
        marks_.removeAll(tsorszam);
    reopen();
    return true;
}

bool DaySheet::SortBy(const QString& column) {
    const QString c = column.trimmed().toUpper();
    if (!SortableColumns().contains(c)) return false;
    order_ = c;
    reopen();
    return true;
}

QString DaySheet::summaryText() const {
    QStringList parts;
    for (const TTevsum& s : sum_) parts << s.name + QLatin1Char(':') + QString::number(s.total);
    return parts.join(QStringLiteral(", "));
}

const DaySheetLine* DaySheet::line(int tsorszam) const {
    if (tsorszam >= 1 && tsorszam <= lines_.size() && lines_.at(tsorszam - 1).tsorszam == tsorszam)
        return &lines_.at(tsorszam - 1);
    return nullptr;
}

QList<HandoverDoc> HandoverDocuments(const DaySheet& sheet) {
    const auto& sum = sheet.Atevsum();
    const bool delivery = std::any_of(sum.begin(), sum.end(), [](const TTevsum& s) {
        return s.code == QStringLiteral("KIH") || s.code == QStringLiteral("VSZ");
    });
    if (!delivery) throw vl::RuleRefusal(QStringLiteral("Nincs erre a napra szállítás"), QStringLiteral("b_atadas"));
    if (sheet.marks().isEmpty()) throw vl::RuleRefusal(QStringLiteral("Nincs kijelölve tétel"), QStringLiteral("b_atadas"));
    QList<HandoverDoc> docs;
    for (int t : sheet.marks()) {
        const DaySheetLine* l = sheet.line(t);
        if (!l) continue;
        const QString code = l->tevkod.toUpper();
        if (code != QStringLiteral("KIH") && code != QStringLiteral("VSZ")) continue;
        QList<QPair<qint64, qint64>> seen;
        for (const SourceRow& s : l->sources) {
            if (seen.contains({s.bizonylat, s.verzio})) continue;
            seen.append({s.bizonylat, s.verzio});
            docs.append({s.bizonylat, s.verzio, l->tevkod});
        }
    }
    return docs;
}

} // namespace vl::operations
