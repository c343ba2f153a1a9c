#include "billing/CashPayments.h"
#include "customers/CustomerSearch.h"

#include "db/Catalogue.h"
#include "reporting/Masks.h"
#include "util/NumberFormat.h"
#include "util/Texts.h"

#include <QPageLayout>
#include <vector>
#include <algorithm>
#include <QHash>

namespace vl::billing {

using vl::reporting::Align;
using vl::reporting::Field;
using vl::reporting::Font;
using vl::reporting::PrintContext;
using vl::reporting::Report;

namespace {

const char* const kSql =
    "SELECT COALESCE(C.IRSZAM, '') || ' ' || COALESCE(C.VAROS, '') || ', ' || COALESCE(C.UTCA, '') CIM,"
    " T.DATUM, T.DATUM2, T.NETTO, S.NEV ALLAPOT, T.TEVALLAPOT, T.BIZONYLAT, U.NEV"
    " FROM FORGFIZ T JOIN FORGFEJ F ON F.BIZONYLAT = T.BIZONYLAT AND F.VERZIO = T.VERZIO"
    " JOIN UGYFEL U ON U.KOD = F.UGYFELKOD"
    " LEFT JOIN UGYFELCIM C ON C.KOD = F.UGYFELCIM"
    " LEFT JOIN SZ_STATUST S ON S.KOD = T.TEVALLAPOT"
    " WHERE F.AKTIV = 'I' AND F.UGYFELKOD = :ugyfelkod AND T.TEVKOD = 'FIZ'"
    " ORDER BY T.DATUM DESC, T.BIZONYLAT, T.TEVSORSZAM";

const QString kTitle = QStringLiteral("Korábbi készpénz kifizetések");
const QString kMask = QStringLiteral("###,###,##0");

Font plain(double size = 9, bool bold = false) { return Font::of(QStringLiteral("Arial"), size, bold); }

} // namespace

vl::db::RowSet CashPaymentRows(vl::db::Transaction& tx, const QString& customerKey) {
    return tx.query(QString::fromLatin1(kSql), {{QStringLiteral("ugyfelkod"), customerKey.trimmed()}});
}

vl::db::RowSet DueUnpaidPeriods(vl::db::Transaction& tx, const QString& fromDay, const QString& day) {
    // Two narrow reads joined here: the unpaid periods of the days (the DATUM
    // index), and the running contracts they belong to with their customer's
    // name and site. Joining and sorting the wide rows in the server cost
    // several times the periods themselves. The customers' places in the
    // order of their names come from the names' index (NameRanks), so the
    // order is the one an ORDER BY on them gives.
    const vl::db::Params p{{QStringLiteral("tol"), fromDay}, {QStringLiteral("datum"), day}};
    const QString unpaid = QStringLiteral(
        " WHERE T.DATUM BETWEEN :tol AND :datum"
        " AND T.TEVALLAPOT IN (SELECT KOD FROM SZ_STATUST WHERE MODOSITHATO IN ('I', 'i'))");
    const vl::db::RowSet periods = tx.query(
        QStringLiteral("SELECT T.BIZONYLAT, T.VERZIO, T.DATUM, T.DATUM2, T.NETTO, T.BRUTTO FROM FORGFIZ T") + unpaid, p);
    const vl::db::RowSet contracts = tx.query(
        QStringLiteral("SELECT F.BIZONYLAT, F.VERZIO, F.UGYFELKOD, U.NEV UGYFEL,"
                       " COALESCE(C.IRSZAM, '') || ' ' || COALESCE(C.VAROS, '') || ', ' || COALESCE(C.UTCA, '') CIM"
                       " FROM (SELECT DISTINCT T.BIZONYLAT, T.VERZIO FROM FORGFIZ T") + unpaid +
            QStringLiteral(") D JOIN FORGFEJ F ON F.BIZONYLAT = D.BIZONYLAT AND F.VERZIO = D.VERZIO"
                           " JOIN UGYFEL U ON U.KOD = F.UGYFELKOD"
                           " LEFT JOIN UGYFELCIM C ON C.KOD = F.UGYFELCIM"
                           " WHERE F.AKTIV = 'I' AND F.STATUS = 'FO'"),
        p);
    const QHash<QString, qint64> nameRank = vl::customers::NameRanks(tx);
    QHash<QPair<qint64, qint64>, int> contractRow;
    contractRow.reserve(contracts.rowCount());
    for (int r = 0; r < contracts.rowCount(); ++r)
        contractRow.insert({contracts.at(r, 0).toLongLong(), contracts.at(r, 1).toLongLong()}, r);
    auto rankOf = [&](int c) { return nameRank.value(vl::util::WithoutTrailingBlanks(contracts.at(c, 2).toString())); };
    struct Joined {
        int period, contract;
        qint64 nameRank, bizonylat;
        QString datum;
    };
    std::vector<Joined> joined;
    joined.reserve(size_t(periods.rowCount()));
    for (int r = 0; r < periods.rowCount(); ++r) {
        const qint64 b = periods.at(r, 0).toLongLong();
        const auto c = contractRow.constFind({b, periods.at(r, 1).toLongLong()});
        if (c == contractRow.constEnd()) continue;
        joined.push_back({r, *c, rankOf(*c), b, periods.at(r, 2).toString()});
    }
    // By day, customer and contract (the day is 'yyyy.mm.dd'); the order of
    // the reads keeps equal keys as they came.
    std::stable_sort(joined.begin(), joined.end(), [](const Joined& x, const Joined& y) {
        if (const int c = x.datum.compare(y.datum)) return c < 0;
        if (x.nameRank != y.nameRank) return x.nameRank < y.nameRank;
        return x.bizonylat < y.bizonylat;
    });
    QList<vl::db::Column> cols;
    for (int i = 0; i < 6; ++i) cols << periods.columns().at(i);
    for (int i = 2; i < 5; ++i) cols << contracts.columns().at(i);
    std::vector<QVariantList> rows;
    rows.reserve(joined.size());
    for (const Joined& j : joined) {
        QVariantList row = periods.row(j.period);
        const QVariantList& c = contracts.row(j.contract);
        row << c.at(2) << c.at(3) << c.at(4);
        rows.push_back(std::move(row));
    }
    return vl::db::RowSet(std::move(cols), std::move(rows));
}

vl::db::RowSet BilledPerMonth(vl::db::Connection& conn, vl::db::Transaction& tx, const QString& from,
                              const QString& to) {
    const QString cash = QStringLiteral(
        "SELECT SUBSTRING(T.DATUM FROM 1 FOR 7) HONAP, T.NETTO KESZPENZ, CAST(0 AS BIGINT) MELLEKLET FROM FORGFIZ T"
        " JOIN SZ_STATUST S ON S.KOD = T.TEVALLAPOT"
        " JOIN FORGFEJ F ON F.BIZONYLAT = T.BIZONYLAT AND F.VERZIO = T.VERZIO"
        " WHERE T.DATUM BETWEEN :tol AND :ig AND S.MODOSITHATO = 'N' AND F.AKTIV = 'I' AND F.STATUS <> 'X'");
    const QString printed = QStringLiteral(
        " UNION ALL SELECT SUBSTRING(DATUMIG FROM 1 FOR 7) HONAP, CAST(0 AS BIGINT) KESZPENZ, NETTO MELLEKLET"
        " FROM MELLEKLETNYOMT WHERE DATUMIG BETWEEN :tol AND :ig");
    const bool hasPrinted = vl::db::TableExists(conn, QStringLiteral("MELLEKLETNYOMT"));
    return tx.query(QStringLiteral("SELECT HONAP, SUM(KESZPENZ) KESZPENZ, SUM(MELLEKLET) MELLEKLET FROM (") + cash +
                        (hasPrinted ? printed : QString()) + QStringLiteral(") GROUP BY HONAP ORDER BY HONAP"),
                    {{QStringLiteral("tol"), from}, {QStringLiteral("ig"), to}});
}

vl::db::RowSet CashPaymentRows(vl::db::Connection& conn, const QString& customerKey) {
    auto tx = conn.begin(vl::db::TxMode::ReadOnly);
    vl::db::RowSet rs = CashPaymentRows(*tx, customerKey);
    tx->commit();
    return rs;
}

QString CustomerName(vl::db::Connection& conn, const QString& customerKey) {
    auto tx = conn.begin(vl::db::TxMode::ReadOnly);
    vl::db::RowSet rs = tx->query(QStringLiteral("SELECT NEV FROM UGYFEL WHERE KOD = :kod"),
                                  {{QStringLiteral("kod"), customerKey.trimmed()}});
    const QString n = rs.next() ? rs.text(QStringLiteral("NEV")).trimmed() : QString();
    tx->commit();
    return n;
}

Report CashPaymentReport(const vl::db::RowSet& rows, const QString& customerName) {
    Report r;
    r.name = QStringLiteral("Tqrkpfiz");
    r.caption = kTitle;
    r.orientation = QPageLayout::Portrait;
    r.data = rows;
    r.pageHeader.height = 20;
    r.pageHeader.add(Field::label(QStringLiteral("QRL_cim"), 0, 0, 120, 7, kTitle, plain(14, true)));
    r.pageHeader.add(Field::computed(QStringLiteral("QRL_keszult"), 110, 0, 80, 5, [](const PrintContext& c) {
        return QStringLiteral("Készült: ") + c.printTimeText();
    }, plain(8), Align::Right));
    r.pageHeader.add(Field::page(QStringLiteral("QRL_oldal"), 150, 6, 40, 5, QStringLiteral("Oldal: {page}"), plain(8),
                                 Align::Right));
    r.pageHeader.add(Field::computed(QStringLiteral("QRL_partner"), 0, 9, 190, 6, [customerName](const PrintContext& c) {
        const QString n = c.data().rowCount() ? c.data().at(0, c.data().indexOf(QStringLiteral("NEV"))).toString().trimmed()
                                              : QString();
        return QStringLiteral("Partner:") + (n.isEmpty() ? customerName : n);
    }, plain(10, true)));
    r.columnHeader.height = 6;
    r.columnHeader.frame = vl::reporting::FrameBottom;
    r.columnHeader.add(Field::label(QStringLiteral("h_cim"), 0, 0.5, 80, 5, QStringLiteral("Cím"), plain(9, true)));
    r.columnHeader.add(Field::label(QStringLiteral("h_datum"), 82, 0.5, 28, 5, QStringLiteral("Kifizetés dátuma"), plain(9, true)));
    r.columnHeader.add(Field::label(QStringLiteral("h_datum2"), 112, 0.5, 24, 5, QStringLiteral("Érvényessége"), plain(9, true)));
    r.columnHeader.add(Field::label(QStringLiteral("h_netto"), 138, 0.5, 24, 5, QStringLiteral("Nettó összeg"), plain(9, true),
                                    Align::Right));
    r.columnHeader.add(Field::label(QStringLiteral("h_allapot"), 164, 0.5, 26, 5, QStringLiteral("Státusz"), plain(9, true)));
    r.detail.height = 5;
    Field cim = Field::data(QStringLiteral("QRL_cimd"), 0, 0, 80, 5, QStringLiteral("CIM"), plain(9));
    cim.wrap = vl::reporting::Wrap::Word;
    cim.autoHeight = true;
    r.detail.add(cim);
    r.detail.add(Field::data(QStringLiteral("QRL_datum"), 82, 0, 28, 5, QStringLiteral("DATUM"), plain(9)));
    r.detail.add(Field::data(QStringLiteral("QRL_datum2"), 112, 0, 24, 5, QStringLiteral("DATUM2"), plain(9)));
    r.detail.add(Field::data(QStringLiteral("QRL_netto"), 138, 0, 24, 5, QStringLiteral("NETTO"), plain(9), Align::Right, kMask));
    r.detail.add(Field::data(QStringLiteral("QRL_allapot"), 164, 0, 26, 5, QStringLiteral("ALLAPOT"), plain(9)));
    r.addSum(QStringLiteral("netto"), QStringLiteral("NETTO"));
    r.summary.height = 12;
    r.summary.frame = vl::reporting::FrameTop;
    r.summary.add(Field::computed(QStringLiteral("QRL_db"), 0, 1, 80, 5, [](const PrintContext& c) {
        return QStringLiteral("Összes tétel ") + QString::number(c.data().rowCount());
    }, plain(9, true)));
    r.summary.add(Field::computed(QStringLiteral("QRL_ossz"), 82, 1, 80, 5, [](const PrintContext& c) {
        return QStringLiteral("Nettó összesen ") + vl::util::FormatNumber(c.sum(QStringLiteral("netto")), kMask);
    }, plain(9, true), Align::Right));
    r.summary.add(Field::label(QStringLiteral("QRL_megj"), 0, 6.5, 190, 5,
                               QStringLiteral("Az összeg minden felsorolt időszakot tartalmaz, állapotától függetlenül "
                                              "(a Státusz oszlop mutatja, mi fizetett)."),
                               plain(8)));
    return r;
}

Report CashPaymentReportOf(vl::db::Connection& conn, const QString& customerKey) {
    return CashPaymentReport(CashPaymentRows(conn, customerKey), CustomerName(conn, customerKey));
}

} // namespace vl::billing
