// The day sheet: how the day's activities and payments fold into lines, the
// filters, the marks, the summary, the sorting, the handover documents of the
// marked lines and the refusals, on a company made by the store routines.
#include "DaySheetFixture.h"

#include "operations/DaySheet.h"
#include "util/Error.h"

#include <QtTest>

using namespace vl::operations;
using namespace vl::operations::test;

namespace {
vl::shell::Session session() {
    vl::shell::Session s;
    s.userCode = QStringLiteral("TESZT");
    s.businessYear = 2026;
    return s;
}
} // namespace

class TstDaySheet : public QObject {
    Q_OBJECT
    Company co;
    std::unique_ptr<DaySheet> sheet;

    // "TEVKOD|TIPUS|SOFORKOD|DB|TERMEKKODOK|NETTO|KOMMENT|BIZONYLAT|NETTOFIZ|BRUTTOFIZ" of a case's
    // lines in building order; contract numbers written as #1, #2 in the case's order.
    QStringList linesOf(const QString& c) {
        QStringList out;
        const Site s = co.sites.value(c);
        for (const DaySheetLine& l : sheet->lines()) {
            if (l.ugyfelcim != s.site) continue;
            const auto& bs = co.contracts.value(c);
            QString numbers;
            for (const QString& n : l.bizonylat.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
                const int i = bs.indexOf(n.toLongLong());
                numbers += (i < 0 ? n : QStringLiteral("#%1").arg(i + 1)) + QLatin1Char(',');
            }
            out << QStringList{l.tevkod, l.tipus, l.soforkod, QString::number(l.db), l.termekkodok, l.netto,
                               l.komment, numbers, QString::number(l.nettofiz), QString::number(l.bruttofiz)}
                       .join(QLatin1Char('|'));
        }
        return out;
    }

    QVariantList column(const QString& name) {
        QVariantList out;
        const auto& rs = sheet->visible();
        for (int r = 0; r < rs.rowCount(); ++r) out << rs.at(r, rs.indexOf(name));
        return out;
    }

    qint64 tableCount(const QString& where = QString()) {
        return co.db.count(QStringLiteral("SELECT COUNT(*) FROM ") + sheet->tableName() + where);
    }

    // A payment row of a contract: "NETTO|BRUTTO|DATUM2|KOMMENT".
    QStringList payment(qint64 b, const QString& day) {
        auto rs = co.db.conn->query(QStringLiteral("SELECT NETTO, BRUTTO, DATUM2, KOMMENT FROM FORGFIZ WHERE BIZONYLAT = :b"
                                                   " AND DATUM = :d"), {{"b", b}, {"d", day}});
        if (!rs.next()) return {};
        return {QString::number(rs.integer("NETTO")), QString::number(rs.integer("BRUTTO")), rs.text("DATUM2"),
                rs.text("KOMMENT")};
    }

private slots:
    void initTestCase() {
        co.build();
        sheet = std::make_unique<DaySheet>(*co.db.conn, session(), 1.27);
        sheet->LoadDaySheet(QStringLiteral("20260504"));
        QCOMPARE(sheet->day(), kDay);
        QVERIFY(sheet->tableName().startsWith(QStringLiteral("TMP_TEVNAPLO")));
        QVERIFY(sheet->failedInserts().isEmpty());
    }

    void folding_data() {
        QTest::addColumn<QString>("site");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("like cabins merge")
            << "merge" << QStringList{"KA|Alap WC kabin|S1|2|101,102|4500|9000 Ft,  |#1,|9000|11430"};
        QTest::newRow("a driver splits them")
            << "driver" << QStringList{"KA|Alap WC kabin|S1|1|201|4500|4500 Ft,  |#1,|4500|5715",
                                       "KA|Alap WC kabin|S2|1|202|4500|4500 Ft,  |#1,|4500|5715"};
        QTest::newRow("NULL, empty and blank drivers are one")
            << "nodriver" << QStringList{"KA|Alap WC kabin||3|301,302,303|4500|13500 Ft,  |#1,|13500|17145"};
        QTest::newRow("two contracts share a line")
            << "shared" << QStringList{"KA|Alap WC kabin|S1|2|401,402|4500|9000 Ft,  |#1,#2,|9000|11430"};
        // 4500 -> 5715 and 3001 -> 3811 each rounded: 9526 (7501 x 1.27 in one would be 9526.27 -> 9526,
        // the last row's quantity so far x price x 1.27 would be 7623).
        QTest::newRow("priced rows add their rounded gross")
            << "priced" << QStringList{"KA|Alap WC kabin|S1|2|501,502|3001|7501 Ft,  |#1,|7501|9526",
                                       "SZK|Alap WC kabin|S1|3|501|1000|1000 Ft,  Extra|#1,|3000|3810"};
        QTest::newRow("two kinds of one display order")
            << "kinds" << QStringList{"SZ2|Alap WC kabin|S1|1|1001|700|700 Ft,  |#1,|700|889",
                                      "SZK|Alap WC kabin|S1|2|1001,1002|500|1000 Ft,  |#1,|1000|1270"};
        QTest::newRow("billing items of contracts not visited stay off")
            << "novisit" << QStringList{"KA|Zuhanykabin|S1|1|802|4500|4500 Ft,  |#2,|4500|5715"};
    }
    void folding() {
        QFETCH(QString, site);
        QFETCH(QStringList, lines);
        QCOMPARE(linesOf(site), lines);
    }

    // Gross amounts follow the VAT factor given, each row rounded on its own.
    void grossByVatFactor_data() {
        QTest::addColumn<double>("factor");
        QTest::addColumn<QString>("site");
        QTest::addColumn<qint64>("gross");
        QTest::newRow("25 %, two cabins") << 1.25 << "merge" << qint64(2 * 5625);
        QTest::newRow("25 %, 4500 and 3001") << 1.25 << "priced" << qint64(5625 + 3751);
        QTest::newRow("5 %, 4500 and 3001") << 1.05 << "priced" << qint64(4725 + 3151);
    }
    void grossByVatFactor() {
        QFETCH(double, factor);
        QFETCH(QString, site);
        QFETCH(qint64, gross);
        DaySheet other(*co.db.conn, session(), factor);
        other.LoadDaySheet(kDay);
        const DaySheetLine* l = nullptr;
        for (const DaySheetLine& x : other.lines())
            if (x.ugyfelcim == co.sites.value(site).site && x.tevkod == "KA") l = &x;
        QVERIFY(l);
        QCOMPARE(l->bruttofiz, gross);
        QCOMPARE(co.db.count(QStringLiteral("SELECT BRUTTOFIZ FROM %1 WHERE TSORSZAM = :t").arg(other.tableName()),
                             {{"t", l->tsorszam}}),
                 gross);
    }

    // The payment line after the site's delivery takes its rental quantity and
    // unit; a payment line first at its site has 0 and none. Earlier planned
    // periods of a visited contract are listed, a paid one is not.
    void paymentLines() {
        const qint64 b = co.contracts.value("payafter").first();
        const QStringList p = payment(b, kDay);
        QCOMPARE(p.size(), 4);
        const QStringList after = linesOf("payafter");
        QCOMPARE(after.size(), 2);
        QVERIFY2(after[0].startsWith("KIH|Prémium WC kabin kézmosóval|S2|1|601|"), qPrintable(after[0]));
        const QString amount = p[0];
        QCOMPARE(after[1], QStringLiteral("FIZ||%1|1||%2 / 2 Hét|%2 Ft,  %3 -> %4, %5|#1,|%2|%6")
                               .arg(after[1].section('|', 2, 2), amount, kDay, p[2], p[3], p[1]));

        const qint64 g = co.contracts.value("paybefore").first();
        const QStringList before = linesOf("paybefore");
        QCOMPARE(before.size(), 2);
        QStringList periods;
        qint64 net = 0, gross = 0, last = 0;
        auto due = co.db.conn->query("SELECT DATUM FROM FORGFIZ WHERE BIZONYLAT = :b AND DATUM <= :d AND TEVALLAPOT = 'T'"
                                     " ORDER BY DATUM", {{"b", g}, {"d", kDay}});
        int count = 0;
        while (due.next()) {
            const QString d = due.text("DATUM");
            const QStringList q = payment(g, d);
            QCOMPARE(q.size(), 4);
            periods << QStringLiteral(" %1 -> %2,").arg(d, q[2]);
            net += q[0].toLongLong();
            gross += q[1].toLongLong();
            last = q[0].toLongLong();
            ++count;
        }
        QVERIFY(count >= 2);
        QCOMPARE(co.db.count("SELECT COUNT(*) FROM FORGFIZ WHERE BIZONYLAT = :b AND DATUM < :d AND TEVALLAPOT = 'E'",
                             {{"b", g}, {"d", kDay}}), qint64(1));
        const QStringList f = before[0].split('|');
        QCOMPARE(f[0], QStringLiteral("FIZ"));
        QCOMPARE(f[3], QString::number(count));
        QCOMPARE(f[5], QStringLiteral("%1 / 0 ").arg(last));
        QCOMPARE(f[6], QStringLiteral("%1 Ft, %2 ").arg(net).arg(periods.join(QString())));
        QCOMPARE(f[8].toLongLong(), net);
        QCOMPARE(f[9].toLongLong(), gross);
        QVERIFY2(before[1].startsWith("ELL|Alap WC kabin||1|701||"), qPrintable(before[1]));
        // The line keeps its four billing items by key.
        const DaySheetLine* l = nullptr;
        for (const auto& x : sheet->lines())
            if (x.ugyfelcim == co.sites.value("paybefore").site && x.tevkod == "FIZ") l = &x;
        QVERIFY(l);
        QCOMPARE(l->sources.size(), count);
        for (const SourceRow& s : l->sources) {
            QVERIFY(s.payment);
            QCOMPARE(s.bizonylat, g);
        }
    }

    // Every line keeps the keys of the rows behind it.
    void sourceKeys() {
        for (const DaySheetLine& l : sheet->lines()) {
            qint64 db = 0;
            for (const SourceRow& s : l.sources) {
                db += s.mennyiseg;
                QVERIFY(l.contracts.contains(s.bizonylat));
                if (s.payment) continue;
                QCOMPARE(co.db.count(QStringLiteral("SELECT COUNT(*) FROM FORGTEV WHERE BIZONYLAT = :b AND VERZIO = :v"
                                                    " AND TETELSOR = :t AND SORSZAM = :s AND DATUM = :d AND TEVSORSZAM = :n"
                                                    " AND TEVKOD = :k AND TEVALLAPOT = :a"),
                                     {{"b", s.bizonylat}, {"v", s.verzio}, {"t", s.tetelsor}, {"s", s.sorszam},
                                      {"d", s.datum}, {"n", s.tevsorszam}, {"k", s.tevkod}, {"a", s.tevallapot}}),
                         qint64(1));
            }
            QCOMPARE(db, l.db);
        }
    }

    // A missing city leaves the rest of the address and the site's remark.
    void addressWithMissingPart() {
        for (const DaySheetLine& l : sheet->lines())
            if (l.ugyfelcim == co.sites.value("address").site)
                QCOMPARE(l.cim, QStringLiteral("1119  Kilenc utca 9. Hátsó kapu"));
        QCOMPARE(co.db.count(QStringLiteral("SELECT COUNT(*) FROM %1 WHERE CIM = '1119  Kilenc utca 9. Hátsó kapu'")
                                 .arg(sheet->tableName())),
                 qint64(1));
    }

    // A missing driver is stored as NULL in the work table.
    void missingDriverIsNull() {
        QCOMPARE(tableCount(QStringLiteral(" WHERE SOFORKOD = '' OR SOFORKOD = ' '")), qint64(0));
        QVERIFY(tableCount(QStringLiteral(" WHERE SOFORKOD IS NULL")) >= 2);
    }

    void filters_data() {
        QTest::addColumn<QString>("customerCase");
        QTest::addColumn<QString>("driver");
        QTest::addColumn<bool>("noDriver");
        QTest::addColumn<bool>("hideDeleted");
        QTest::addColumn<QString>("expect"); // the visible lines' "UGYFELKOD/SOFORKOD" rule
        QTest::newRow("everything") << "" << "" << false << false << "all";
        QTest::newRow("deleted hidden") << "" << "" << false << true << "live";
        QTest::newRow("one customer") << "merge" << "" << false << true << "customer";
        QTest::newRow("one driver") << "" << "S2" << false << true << "driver";
        QTest::newRow("no driver, whatever driver is chosen") << "" << "S1" << true << true << "nodriver";
        QTest::newRow("customer and driver") << "driver" << "S2" << false << true << "customer+driver";
        QTest::newRow("no driver at one customer") << "nodriver" << "" << true << true << "nodriver";
        QTest::newRow("no driver, deleted shown") << "" << "" << true << false << "nodriver";
    }
    void filters() {
        QFETCH(QString, customerCase);
        QFETCH(QString, driver);
        QFETCH(bool, noDriver);
        QFETCH(bool, hideDeleted);
        QFETCH(QString, expect);
        DaySheetFilter f;
        f.customerKey = customerCase.isEmpty() ? QString() : co.sites.value(customerCase).customer;
        f.driverCode = driver;
        f.noDriver = noDriver;
        f.hideDeleted = hideDeleted;
        sheet->FilterDaySheet(f);
        int want = 0;
        for (const DaySheetLine& l : sheet->lines()) {
            bool in = true;
            if (!f.customerKey.isEmpty()) in &= l.ugyfelkod == f.customerKey;
            if (noDriver) in &= l.soforkod.isEmpty();
            else if (!driver.isEmpty()) in &= l.soforkod == driver;
            if (hideDeleted) in &= l.modosithato != "X";
            want += in ? 1 : 0;
        }
        QVERIFY(want > 0);
        QCOMPARE(sheet->visible().rowCount(), want);
        if (expect == "all") QCOMPARE(want, sheet->lines().size());
        if (expect == "live") QVERIFY(want < sheet->lines().size());
        if (expect.contains("driver") || expect == "nodriver")
            for (const QVariant& v : column("SOFORKOD"))
                QCOMPARE(v.isNull() ? QString() : v.toString().trimmed(), noDriver ? QString() : driver);
        // The summary counts the visible lines by activity, in order of first appearance.
        QStringList codes;
        QHash<QString, qint64> totals;
        const auto& rs = sheet->visible();
        for (int r = 0; r < rs.rowCount(); ++r) {
            const QString k = rs.at(r, rs.indexOf("TEVKOD")).toString();
            if (!codes.contains(k)) codes << k;
            totals[k] += rs.at(r, rs.indexOf("DB")).toLongLong();
        }
        QCOMPARE(sheet->Atevsum().size(), codes.size());
        QStringList text;
        for (int i = 0; i < codes.size(); ++i) {
            QCOMPARE(sheet->Atevsum()[i].code, codes[i]);
            QCOMPARE(sheet->Atevsum()[i].total, totals[codes[i]]);
            text << sheet->Atevsum()[i].name + ":" + QString::number(totals[codes[i]]);
        }
        QCOMPARE(sheet->summaryText(), text.join(", "));
    }

    // The summary of one customer's lines.
    void summaryOfOneCustomer() {
        DaySheetFilter f;
        f.customerKey = co.sites.value("priced").customer;
        sheet->FilterDaySheet(f);
        QCOMPARE(sheet->summaryText(), QStringLiteral("Karbantartás (ürítés, takarítás):2, Rendkívüli szippantás:3"));
    }

    // Marks keep their order; a changed filter clears them (and the column),
    // the same filter and a new order keep them.
    void marks() {
        DaySheetFilter f;
        sheet->FilterDaySheet(f);
        struct Step { int line; QList<int> marks; };
        const QList<Step> steps{{3, {3}}, {1, {3, 1}}, {5, {3, 1, 5}}, {3, {1, 5}}};
        for (const Step& s : steps) {
            QVERIFY(sheet->ToggleLineMark(s.line));
            QCOMPARE(sheet->marks(), s.marks);
        }
        QCOMPARE(tableCount(" WHERE SELECTED = 'X'"), qint64(2));
        QCOMPARE(tableCount(" WHERE SELECTED = 'X' AND TSORSZAM IN (1, 5)"), qint64(2));
        QVERIFY(!sheet->ToggleLineMark(9999));
        sheet->FilterDaySheet(f);
        QCOMPARE(sheet->marks(), (QList<int>{1, 5}));
        QVERIFY(sheet->SortBy("SOFOR"));
        QCOMPARE(sheet->marks(), (QList<int>{1, 5}));
        f.driverCode = "S1";
        sheet->FilterDaySheet(f);
        QVERIFY(sheet->marks().isEmpty());
        QCOMPARE(tableCount(" WHERE SELECTED = 'X'"), qint64(0));
        // A new load clears them too.
        QVERIFY(sheet->ToggleLineMark(2));
        sheet->LoadDaySheet(kDay);
        QVERIFY(sheet->marks().isEmpty());
        QCOMPARE(tableCount(" WHERE SELECTED = 'X'"), qint64(0));
        sheet->FilterDaySheet(DaySheetFilter());
    }

    // Sorting by a "*" column: by it, then the address; other columns refused.
    void sorting() {
        QVERIFY(sheet->SortBy("sofor"));
        QCOMPARE(sheet->orderColumn(), QStringLiteral("SOFOR"));
        // Each driver's lines together, the lines without a driver first.
        const QVariantList names = column("SOFOR");
        QStringList seen;
        for (int i = 0; i < names.size(); ++i) {
            const QString n = names[i].toString();
            if (i > 0 && n == names[i - 1].toString()) continue;
            QVERIFY2(!seen.contains(n), qPrintable(n));
            if (i > 0) QVERIFY(!n.isEmpty());
            seen << n;
        }
        QVERIFY(seen.size() >= 3);
        QVERIFY(!sheet->SortBy("KOMMENT"));
        QVERIFY(!sheet->SortBy("CIM; DROP TABLE FORGTEV"));
        QCOMPARE(sheet->orderColumn(), QStringLiteral("SOFOR"));
        QVERIFY(sheet->SortBy("CIM"));
    }

    // Handover documents: marked delivery lines give their contracts from the kept keys.
    void handoverDocuments() {
        sheet->FilterDaySheet(DaySheetFilter());
        try {
            HandoverDocuments(*sheet);
            QFAIL("no refusal");
        } catch (const vl::RuleRefusal& e) {
            QCOMPARE(e.text(), QStringLiteral("Nincs kijelölve tétel"));
        }
        int kih = 0, ka = 0;
        for (const DaySheetLine& l : sheet->lines()) {
            if (l.tevkod == "KIH" && !kih) kih = l.tsorszam;
            if (l.tevkod == "KA" && !ka) ka = l.tsorszam;
        }
        QVERIFY(kih && ka);
        QVERIFY(sheet->ToggleLineMark(ka));
        QVERIFY(sheet->ToggleLineMark(kih));
        const QList<HandoverDoc> docs = HandoverDocuments(*sheet);
        QCOMPARE(docs.size(), 1);
        QCOMPARE(docs[0].contract, co.contracts.value("payafter").first());
        QCOMPARE(docs[0].activity, QStringLiteral("KIH"));
        DaySheetFilter f;
        f.customerKey = co.sites.value("merge").customer;
        sheet->FilterDaySheet(f);
        try {
            HandoverDocuments(*sheet);
            QFAIL("no refusal");
        } catch (const vl::RuleRefusal& e) {
            QCOMPARE(e.text(), QStringLiteral("Nincs erre a napra szállítás"));
        }
        sheet->FilterDaySheet(DaySheetFilter());
    }

    // A day without activities: no lines, an empty summary; billing items alone never appear.
    void emptyDay() {
        QVERIFY(co.db.count("SELECT COUNT(*) FROM FORGFIZ WHERE DATUM = '2026.05.09'") >= 0);
        DaySheet other(*co.db.conn, session(), 1.27);
        other.LoadDaySheet(QStringLiteral("2026.05.10"));
        QCOMPARE(other.lines().size(), 0);
        QCOMPARE(other.visible().rowCount(), 0);
        QCOMPARE(other.summaryText(), QString());
        QVERIFY(other.tableName() != sheet->tableName());
    }

    // Bad input: an invalid day, quotes and accents, unknown customers and drivers; nothing written.
    void badInput_data() {
        QTest::addColumn<QString>("day");
        QTest::addColumn<QString>("customer");
        QTest::addColumn<QString>("driver");
        QTest::addColumn<QString>("message");
        QTest::newRow("impossible day") << "2026.02.30" << "" << "" << "Hibás dátum: 2026.02.30";
        QTest::newRow("text as day") << "holnap'" << "" << "" << "Hibás dátum: holnap'";
        QTest::newRow("quoted customer") << kDay << "1' OR '1'='1" << "" << "Nincs ilyen ügyfél: 1' OR '1'='1";
        QTest::newRow("accented driver") << kDay << "" << "Ödön\"" << "Nincs ilyen sofőr: Ödön\"";
        QTest::newRow("unknown customer") << kDay << "999999" << "" << "Nincs ilyen ügyfél: 999999";
    }
    void badInput() {
        QFETCH(QString, day);
        QFETCH(QString, customer);
        QFETCH(QString, driver);
        QFETCH(QString, message);
        const qint64 rows = tableCount();
        const auto before = sheet->visible().rowCount();
        try {
            if (day != kDay) sheet->LoadDaySheet(day);
            DaySheetFilter f;
            f.customerKey = customer;
            f.driverCode = driver;
            sheet->FilterDaySheet(f);
            QFAIL("no refusal");
        } catch (const vl::RuleRefusal& e) {
            QCOMPARE(e.text(), message);
        }
        QCOMPARE(tableCount(), rows);
        QCOMPARE(sheet->visible().rowCount(), before);
        QCOMPARE(sheet->day(), kDay);
    }

    // Loaded with a filter of its own: the list comes filtered from the one
    // load; a filter naming no customer is refused before anything is
    // written, the day, the table and the last filter stay as they were.
    void loadWithFilter() {
        DaySheetFilter f;
        f.customerKey = co.sites.value(QStringLiteral("driver")).customer;
        sheet->LoadDaySheet(kDay, f);
        QCOMPARE(sheet->filter(), f);
        QCOMPARE(column(QStringLiteral("UGYFELKOD")), (QVariantList{f.customerKey, f.customerKey}));
        const qint64 rows = tableCount();
        DaySheetFilter bad;
        bad.customerKey = QStringLiteral("999999");
        try {
            sheet->LoadDaySheet(QStringLiteral("2026.05.05"), bad);
            QFAIL("no refusal");
        } catch (const vl::RuleRefusal& e) {
            QCOMPARE(e.text(), QStringLiteral("Nincs ilyen ügyfél: 999999"));
        }
        QCOMPARE(sheet->day(), kDay);
        QCOMPARE(sheet->filter(), f);
        QCOMPARE(tableCount(), rows);
        sheet->LoadDaySheet(kDay, DaySheetFilter());
        QCOMPARE(sheet->visible().rowCount(), tableCount(QStringLiteral(" WHERE MODOSITHATO IS NULL OR MODOSITHATO <> 'X'")));
    }

    // Lines of one site and kind follow their product groups' names in
    // Hungarian order ("Cukor" before "Cs..."), neither the byte order of the
    // names nor the order of the groups' codes.
    void productGroupsInHungarianOrder() {
        {
            auto tx = co.db.conn->begin();
            tx->exec(QStringLiteral("INSERT INTO SZ_ARUCSOP (KOD, NEV, M_EGYSEG, KARAR) VALUES ('AAA', 'Csőkabin', 'db', 0)"));
            tx->exec(QStringLiteral("INSERT INTO SZ_ARUCSOP (KOD, NEV, M_EGYSEG, KARAR) VALUES ('ZZZ', 'Cukor kabin', 'db', 0)"));
            const Site s = co.addSite(*tx, QStringLiteral("Lambda Kft."), "1121", "Budapest", "Tizenegy utca 11.", "");
            co.contract(*tx, s, {Company::line("AAA", {"1101"}, "S1"), Company::line("ZZZ", {"1102"}, "S1")});
            co.sites.insert(QStringLiteral("groups"), s);
            tx->commit();
        }
        DaySheet other(*co.db.conn, session(), 1.27);
        other.LoadDaySheet(kDay);
        QStringList tipus;
        for (const DaySheetLine& l : other.lines())
            if (l.ugyfelcim == co.sites.value(QStringLiteral("groups")).site) tipus << l.tevkod + QLatin1Char('|') + l.tipus;
        QCOMPARE(tipus, (QStringList{QStringLiteral("KA|Cukor kabin"), QStringLiteral("KA|Csőkabin")}));
    }

    // Several days read one after the other in one read-only transaction (as
    // "Mai nap" reads today and the next days) each give exactly their own
    // rows: what one read found of its day does not stay for the next.
    void daysOneAfterAnotherInOneTransaction() {
        const QString tuesday = QStringLiteral("2026.05.05");
        auto alone = [&](const QString& day) {
            auto tx = co.db.conn->begin(vl::db::TxMode::ReadOnly);
            return DaySheetSourceRows(*tx, day);
        };
        auto rowsOf = [](const vl::db::RowSet& rs) {
            QList<QVariantList> out;
            for (int r = 0; r < rs.rowCount(); ++r) out << rs.row(r);
            return out;
        };
        const auto monday = rowsOf(alone(kDay)), next = rowsOf(alone(tuesday));
        QVERIFY(!monday.isEmpty());
        QVERIFY(!next.isEmpty());
        QVERIFY(monday != next);
        auto tx = co.db.conn->begin(vl::db::TxMode::ReadOnly);
        QCOMPARE(rowsOf(DaySheetSourceRows(*tx, kDay)), monday);
        QCOMPARE(rowsOf(DaySheetSourceRows(*tx, tuesday)), next);
        QCOMPARE(rowsOf(DaySheetSourceRows(*tx, QStringLiteral("2026.05.09"))), QList<QVariantList>());
        QCOMPARE(rowsOf(DaySheetSourceRows(*tx, kDay)), monday);
    }

    // The visits per day and driver count each activity by its state's class
    // (done, planned; a deleted one in neither), a driver's code with blanks
    // around it as the code, no driver and an empty one as one, a driver no
    // longer in the dictionary without a name; an activity whose state is not
    // in the dictionary is not counted at all.
    void visitsPerDayCounts() {
        const qint64 b = co.contracts.value(QStringLiteral("merge")).first();
        const QString mon = QStringLiteral("2026.09.07"), tue = QStringLiteral("2026.09.08");
        const QVariant none(QMetaType(QMetaType::QString));
        const struct {
            QString day;
            QVariant driver;
            const char* state;
        } rows[] = {{mon, QStringLiteral("S1"), "T"}, {mon, QStringLiteral(" S1  "), "E"}, {mon, none, "T"},
                    {mon, QStringLiteral(""), "T"},   {mon, QStringLiteral("S9"), "T"},    {mon, QStringLiteral("S2"), "ZZ"},
                    {mon, QStringLiteral("S1"), "X"}, {tue, QStringLiteral("S2"), "E"}};
        {
            auto tx = co.db.conn->begin();
            for (const auto& r : rows) {
                Company::activity(*tx, b, 1, 1, QStringLiteral("KA"), r.driver, 1, 0, QString(), r.day);
                tx->exec(QStringLiteral("UPDATE FORGTEV SET TEVALLAPOT = :s WHERE BIZONYLAT = :b AND DATUM = :d"
                                        " AND TEVSORSZAM = (SELECT MAX(TEVSORSZAM) FROM FORGTEV WHERE BIZONYLAT = :b"
                                        " AND DATUM = :d)"),
                         {{QStringLiteral("s"), QString::fromLatin1(r.state)}, {QStringLiteral("b"), b},
                          {QStringLiteral("d"), r.day}});
            }
            tx->commit();
        }
        auto tx = co.db.conn->begin(vl::db::TxMode::ReadOnly);
        const vl::db::RowSet rs = VisitsPerDay(*tx, mon, tue);
        QStringList got;
        for (int r = 0; r < rs.rowCount(); ++r) {
            QStringList cells;
            for (const QVariant& v : rs.row(r)) cells << (v.isNull() ? QStringLiteral("NULL") : v.toString());
            got << cells.join(QLatin1Char('|'));
        }
        QCOMPARE(got, (QStringList{QStringLiteral("2026.09.07||NULL|0|2"), QStringLiteral("2026.09.07|S1|Kovács Béla|1|1"),
                                   QStringLiteral("2026.09.07|S9|NULL|0|1"), QStringLiteral("2026.09.08|S2|Nagy Péter|1|0")}));
        QCOMPARE(rs.columns().at(3).name, QStringLiteral("ELVEGEZVE"));
        QCOMPARE(VisitsPerDay(*tx, QStringLiteral("2026.09.09"), QStringLiteral("2026.09.10")).rowCount(), 0);
    }

    // Without the template the load stops with its message and makes no table.
    void noTemplate() {
        co.db.conn->exec("DROP TABLE TEVNAPLO");
        const qint64 tables = co.db.count("SELECT COUNT(*) FROM RDB$RELATIONS WHERE RDB$RELATION_NAME STARTING WITH 'TMP_'");
        DaySheet other(*co.db.conn, session(), 1.27);
        try {
            other.LoadDaySheet(kDay);
            QFAIL("no refusal");
        } catch (const vl::RuleRefusal& e) {
            QCOMPARE(e.text(), QStringLiteral("TMP minta (TEVNAPLO) nincs meg"));
        }
        QVERIFY(other.tableName().isEmpty());
        QCOMPARE(co.db.count("SELECT COUNT(*) FROM RDB$RELATIONS WHERE RDB$RELATION_NAME STARTING WITH 'TMP_'"), tables);
    }
};

QTEST_GUILESS_MAIN(TstDaySheet)
#include "tst_daysheet.moc"
