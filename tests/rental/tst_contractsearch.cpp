// The rental lookup's rules: the search as one table of filter cases against
// the contract numbers expected in order; cancel, restore and reopen with
// their refusals, the contract's columns and the cabins' rows.
#include "RentalTestDb.h"

#include "rental/ContractSearch.h"
#include "rental/ProductRegister.h"
#include "rental/ProductStore.h"
#include "util/Dates.h"
#include "util/Error.h"
#include "util/MessageSink.h"

#include <QProcess>
#include <QtTest>
#include <functional>

using namespace vl::rental;
using vl::rental::test::TestDb;

namespace {

struct Case {
    const char* name;
    std::function<void(ContractFilter&)> set;
    QList<qint64> expected;
};

ContractFilter everything() {
    ContractFilter f;
    f.modes = {QStringLiteral("HT"), QStringLiteral("HO"), QStringLiteral("ALK")};
    f.statuses = {QStringLiteral("FO"), QStringLiteral("LEZ"), QStringLiteral("X")};
    return f;
}

// Customers 101..106 and their sites; contracts 1..7 of the search (7 inactive).
//   1 Ökör Kft./1011 HT FO  2026.01.10 ''          line ALAP driver S1: cabins 501, 502 (item driver S2)
//   2 Ökör Kft./1012 ALK LEZ 2026.02.01 2026.02.03  line ALAP: cabin 504 (back), done maintenance on 2026.02.02
//   3 okos Bt.       HT X   2026.01.05 ''
//   4 O'Brien 100% _x HT FO 2026.03.01 ''  filing "A'1%"  line VIP: cabin 503, planned delivery 2026.03.01
//   5 Bárány Zrt.    HO FO  2025.12.20 2026.06.30   line ALAP: cabin 501 (back)
//   6 Ba_ker         HT FO  2026.01.10 ''
const QList<Case>& cases() {
    static const QList<Case> c = {
        {"everything", [](ContractFilter&) {}, {6, 5, 4, 3, 1, 2}},
        {"mode ALK", [](ContractFilter& f) { f.modes = {"ALK"}; }, {2}},
        {"status FO", [](ContractFilter& f) { f.statuses = {"FO"}; }, {6, 5, 4, 1}},
        {"status X and LEZ", [](ContractFilter& f) { f.statuses = {"X", "LEZ"}; }, {3, 2}},
        {"rental period January",
         [](ContractFilter& f) { f.usePeriod = true; f.from = "2026.01.01"; f.to = "2026.01.31"; }, {6, 3, 1}},
        {"rental period undotted",
         [](ContractFilter& f) { f.usePeriod = true; f.from = "20260101"; f.to = "20260131"; }, {6, 3, 1}},
        {"rental period from only", [](ContractFilter& f) { f.usePeriod = true; f.from = "2026.02.01"; }, {4, 2}},
        {"rental period to only", [](ContractFilter& f) { f.usePeriod = true; f.to = "2025.12.31"; }, {5}},
        {"period not ticked", [](ContractFilter& f) { f.from = "2026.02.01"; f.to = "2026.02.01"; }, {6, 5, 4, 3, 1, 2}},
        {"activity period February",
         [](ContractFilter& f) { f.usePeriod = true; f.periodOfActivities = true; f.from = "2026.02.01"; f.to = "2026.02.28"; },
         {2}},
        {"activity period one day",
         [](ContractFilter& f) { f.usePeriod = true; f.periodOfActivities = true; f.from = "2026.03.01"; f.to = "2026.03.01"; },
         {4}},
        {"activity period empty bounds",
         [](ContractFilter& f) { f.usePeriod = true; f.periodOfActivities = true; }, {6, 5, 4, 3, 1, 2}},
        {"prefix lower", [](ContractFilter& f) { f.customerText = "ok"; }, {3, 1, 2}},
        {"prefix upper", [](ContractFilter& f) { f.customerText = "OK"; }, {3, 1, 2}},
        {"prefix accented upper", [](ContractFilter& f) { f.customerText = "ÖKÖR"; }, {1, 2}},
        {"prefix without accent", [](ContractFilter& f) { f.customerText = "bara"; }, {5}},
        {"prefix with apostrophe", [](ContractFilter& f) { f.customerText = "o'b"; }, {4}},
        {"prefix with percent and underscore", [](ContractFilter& f) { f.customerText = "o'brien 100% _"; }, {4}},
        {"percent is a character", [](ContractFilter& f) { f.customerText = "%"; }, {}},
        {"underscore is a character", [](ContractFilter& f) { f.customerText = "ba_"; }, {6}},
        {"inside the name is no prefix", [](ContractFilter& f) { f.customerText = "100%"; }, {}},
        {"blanks around the text", [](ContractFilter& f) { f.customerText = "  okos "; }, {3}},
        {"quote and statement", [](ContractFilter& f) { f.customerText = "x' OR 1=1 --"; }, {}},
        {"longer than any name", [](ContractFilter& f) { f.customerText = QString(61, QLatin1Char('o')); }, {}},
        {"chosen customer key wins", [](ContractFilter& f) { f.customerText = "okos"; f.customerKey = "101"; }, {1, 2}},
        {"chosen customer, one project",
         [](ContractFilter& f) { f.customerKey = "101"; f.allProjects = false; f.siteKey = "1012"; }, {2}},
        {"every project ignores the site",
         [](ContractFilter& f) { f.customerText = "Ökör"; f.allProjects = true; f.siteKey = "1012"; }, {1, 2}},
        {"site alone", [](ContractFilter& f) { f.allProjects = false; f.siteKey = "1012"; }, {2}},
        {"site of another customer", [](ContractFilter& f) { f.customerKey = "102"; f.allProjects = false; f.siteKey = "1012"; },
         {}},
        {"number", [](ContractFilter& f) { f.number = "4"; }, {4}},
        {"number with blanks", [](ContractFilter& f) { f.number = " 4 "; }, {4}},
        {"number of an inactive contract", [](ContractFilter& f) { f.number = "7"; }, {}},
        {"filing number", [](ContractFilter& f) { f.filing = "A'1%"; }, {4}},
        {"filing number is exact", [](ContractFilter& f) { f.filing = "A'"; }, {}},
        {"driver of a line", [](ContractFilter& f) { f.driver = "S1"; }, {1}},
        {"driver of an item", [](ContractFilter& f) { f.driver = "S2"; }, {1}},
        {"driver without contracts", [](ContractFilter& f) { f.driver = "S3"; }, {}},
        {"group VIP", [](ContractFilter& f) { f.group = "VIP"; }, {4}},
        {"group ALAP", [](ContractFilter& f) { f.group = "ALAP"; }, {5, 1, 2}},
        {"cabin out and back", [](ContractFilter& f) { f.cabin = "501"; }, {5, 1}},
        {"cabin of one contract", [](ContractFilter& f) { f.cabin = "503"; }, {4}},
        {"cabin nowhere", [](ContractFilter& f) { f.cabin = "999"; }, {}},
        {"mode, status and cabin",
         [](ContractFilter& f) { f.modes = {"HT"}; f.statuses = {"FO"}; f.cabin = "501"; }, {1}},
        {"customer and period",
         [](ContractFilter& f) { f.customerText = "ök"; f.usePeriod = true; f.from = "2026.02.01"; f.to = "2026.02.28"; }, {2}},
        {"customer, group and driver",
         [](ContractFilter& f) { f.customerText = "Ö"; f.group = "ALAP"; f.driver = "S2"; }, {1}},
        {"order 2 customer, end", [](ContractFilter& f) { f.order = 2; }, {6, 5, 4, 3, 1, 2}},
        {"order 3 customer, number", [](ContractFilter& f) { f.order = 3; }, {6, 5, 4, 3, 1, 2}},
        {"order 4 start, customer", [](ContractFilter& f) { f.order = 4; }, {5, 3, 6, 1, 2, 4}},
        {"order 5 end, customer", [](ContractFilter& f) { f.order = 5; }, {6, 4, 3, 1, 2, 5}},
        {"order 6 number", [](ContractFilter& f) { f.order = 6; }, {1, 2, 3, 4, 5, 6}},
    };
    return c;
}

struct AdminRun {
    int code = -1;
    QString out, err;
};

// The real vorlanda-admin on the test's database (shared with the test's connection).
AdminRun admin(const QString& dir, const QStringList& args) {
    QProcess p;
    p.setWorkingDirectory(dir);
    p.start(QStringLiteral(VL_ADMIN_EXE), args);
    AdminRun r;
    if (!p.waitForFinished(300000)) {
        p.kill();
        p.waitForFinished();
        r.err = QStringLiteral("timeout");
        return r;
    }
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

} // namespace

class TstContractSearch : public QObject {
    Q_OBJECT
    TestDb db;
    vl::shell::Session session;
    vl::RecordingSink sink;
    std::unique_ptr<vl::ScopedSink> use;
    qint64 next = 100;

    void customer(const QString& kod, const QString& nev, const QStringList& sites) {
        db.conn->exec("INSERT INTO UGYFEL (KOD, NEV, AKTIV) VALUES (:k, :n, 'I')", {{"k", kod}, {"n", nev}});
        for (const QString& s : sites)
            db.conn->exec("INSERT INTO UGYFELCIM (KOD, UGYFELKOD, NEV, IRSZAM, VAROS, UTCA) VALUES (:k, :u, :n, '1111', "
                          "'Budapest', 'Fő utca 1.')",
                          {{"k", s}, {"u", kod}, {"n", QStringLiteral("Telep ") + s}});
    }
    void header(qint64 b, const QString& ugyfel, const QString& cim, const QString& bermod, const QString& status,
                const QString& kezd, const QString& veg, const QString& aktiv = "I", const QString& szerzodes = "") {
        db.conn->exec("INSERT INTO FORGFEJ (BIZONYLAT, VERZIO, AKTIV, STATUS, BERMOD, FIZMOD, BERKEZD, BERVEG, UGYFELKOD,"
                      " UGYFELCIM, SZERZODES) VALUES (:b, 1, :a, :st, :bm, 'ATU', :k, :v, :u, :c, :sz)",
                      {{"b", b}, {"a", aktiv}, {"st", status}, {"bm", bermod}, {"k", kezd}, {"v", veg}, {"u", ugyfel},
                       {"c", cim}, {"sz", szerzodes}});
    }
    void line(qint64 b, int t, const QString& csop, const QString& sofor) {
        db.conn->exec("INSERT INTO FORGSOR (BIZONYLAT, VERZIO, TETELSOR, ARUCSOPORT, MENNYISEG, VMENNYISEG, SOFORKOD)"
                      " VALUES (:b, 1, :t, :c, 0, 0, :s)",
                      {{"b", b}, {"t", t}, {"c", csop}, {"s", sofor}});
    }
    void item(qint64 b, int t, int s, const QString& aru, const QString& vszall = "", const QString& sofor = "") {
        db.conn->exec("INSERT INTO FORGKABIN (BIZONYLAT, VERZIO, TETELSOR, SORSZAM, ARUKOD, KISZALL, VSZALL, SOFORKOD)"
                      " VALUES (:b, 1, :t, :s, :a, '2026.01.10', :v, :d)",
                      {{"b", b}, {"t", t}, {"s", s}, {"a", aru}, {"v", vszall}, {"d", sofor}});
        db.conn->exec("UPDATE FORGSOR SET MENNYISEG = MENNYISEG + 1, VMENNYISEG = VMENNYISEG + :back"
                      " WHERE BIZONYLAT = :b AND TETELSOR = :t",
                      {{"b", b}, {"t", t}, {"back", vszall.isEmpty() ? 0 : 1}});
        db.conn->exec("UPDATE OR INSERT INTO ARU (KOD, ARUCSOPORT, ALLAPOT) VALUES (:k, 'ALAP', 'SZA')", {{"k", aru}});
        settle(aru);
    }
    void activity(qint64 b, int t, int s, const QString& datum, const QString& kod, const QString& allapot) {
        db.conn->exec("INSERT INTO FORGTEV (BIZONYLAT, VERZIO, TETELSOR, SORSZAM, DATUM, TEVSORSZAM, TEVKOD, TEVALLAPOT,"
                      " MENNYISEG, NETTOAR) VALUES (:b, 1, :t, :s, :d, (SELECT COUNT(*) + 1 FROM FORGTEV WHERE"
                      " BIZONYLAT = :b2 AND TETELSOR = :t2 AND SORSZAM = :s2 AND DATUM = :d2), :k, :a, 1, 0)",
                      {{"b", b}, {"t", t}, {"s", s}, {"d", datum}, {"b2", b}, {"t2", t}, {"s2", s}, {"d2", datum},
                       {"k", kod}, {"a", allapot}});
    }
    void settle(const QString& aru) {
        auto tx = db.conn->begin();
        ProductStore::UpdateProductStatus(*tx, aru);
        tx->commit();
    }
    // "ALLAPOT|UGYFEL|CIM|BIZONYLAT" of a cabin.
    QString cabin(const QString& kod) {
        auto rs = db.conn->query("SELECT ALLAPOT, UGYFEL, CIM, BIZONYLAT FROM ARU WHERE KOD = :k", {{"k", kod}});
        if (rs.isEmpty()) return QStringLiteral("<nincs>");
        return QStringLiteral("%1|%2|%3|%4").arg(rs.at(0, 0).toString().trimmed(), rs.at(0, 1).toString(),
                                                 rs.at(0, 2).toString(),
                                                 rs.at(0, 3).isNull() ? QStringLiteral("-") : rs.at(0, 3).toString());
    }
    // "STATUS|STATUSELOZO|STVALTKELT|BERVEG|BERVEGELOZO|JUZER" of a contract.
    QString head(qint64 b) {
        auto rs = db.conn->query("SELECT STATUS, STATUSELOZO, STVALTKELT, BERVEG, BERVEGELOZO, JUZER FROM FORGFEJ"
                                 " WHERE BIZONYLAT = :b", {{"b", b}});
        QStringList l;
        for (int c = 0; c < rs.columnCount(); ++c)
            l << (rs.at(0, c).isNull() ? QStringLiteral("NULL") : rs.at(0, c).toString().trimmed());
        return l.join(u'|');
    }
    QStringList snapshot() {
        QStringList rows;
        for (const char* sql : {"SELECT * FROM FORGFEJ ORDER BY BIZONYLAT", "SELECT * FROM ARU ORDER BY KOD"}) {
            auto rs = db.conn->query(QString::fromLatin1(sql));
            while (rs.next()) {
                QStringList r;
                for (int c = 0; c < rs.columnCount(); ++c) r << rs.value(c).toString();
                rows << r.join(u'|');
            }
        }
        return rows;
    }
    QList<qint64> numbers(const ContractFilter& f) {
        QList<qint64> out;
        auto rs = ContractSearch::Run(*db.conn, f);
        while (rs.next()) out << rs.integer("BIZONYLAT");
        return out;
    }
    // The refusal a search throws ("" when it runs).
    QString thrown(const std::function<void()>& run) {
        try {
            run();
        } catch (const vl::RuleRefusal& e) {
            return e.text();
        }
        return QString();
    }
    // The questions answered through the sink (its answers), the outcome at the end.
    static vl::Outcome asked(vl::Outcome o) { return vl::askedThroughSink(std::move(o)); }
    // The refusal an action ends with ("" when it did not refuse with a message).
    QString refusal(const std::function<vl::Outcome()>& run) {
        const vl::Outcome o = asked(run());
        return o.ok ? QString() : o.messages.join(QLatin1Char('\n'));
    }
    qint64 rvOf(qint64 b) {
        ContractFilter f = everything();
        f.number = QString::number(b);
        auto rs = ContractSearch::Run(*db.conn, f);
        return rs.isEmpty() ? 0 : rs.at(0, rs.indexOf("RV")).toLongLong();
    }

private slots:
    void initTestCase() {
        db.create();
        session.userCode = QStringLiteral("TESZT");
        use = std::make_unique<vl::ScopedSink>(&sink);
        db.conn->exec("INSERT INTO SZ_SOFOR (KOD, NEV, AKTIV) VALUES ('S1', 'Kovács Péter', 'I')");
        db.conn->exec("INSERT INTO SZ_SOFOR (KOD, NEV, AKTIV) VALUES ('S2', 'Nagy Anna', 'I')");
        db.conn->exec("INSERT INTO SZ_SOFOR (KOD, NEV, AKTIV) VALUES ('S3', 'Tóth Béla', 'I')");
        customer("101", QStringLiteral("Ökör Kft."), {"1011", "1012"});
        customer("102", QStringLiteral("okos Bt."), {"1021"});
        customer("103", QStringLiteral("O'Brien 100% _x"), {"1031"});
        customer("104", QStringLiteral("Bárány Zrt."), {"1041"});
        customer("105", QStringLiteral("Ba_ker"), {"1051"});
        customer("106", QStringLiteral("Másik Kft."), {"1061"});
        header(1, "101", "1011", "HT", "FO", "2026.01.10", "");
        header(2, "101", "1012", "ALK", "LEZ", "2026.02.01", "2026.02.03");
        header(3, "102", "1021", "HT", "X", "2026.01.05", "");
        header(4, "103", "1031", "HT", "FO", "2026.03.01", "", "I", QStringLiteral("A'1%"));
        header(5, "104", "1041", "HO", "FO", "2025.12.20", "2026.06.30");
        header(6, "105", "1051", "HT", "FO", "2026.01.10", "");
        header(7, "101", "1011", "HT", "FO", "2026.01.10", "", "N");
        line(5, 1, "ALAP", "");
        item(5, 1, 1, "501", "2026.01.05");
        line(1, 1, "ALAP", "S1");
        item(1, 1, 1, "501");
        item(1, 1, 2, "502", "", "S2");
        line(4, 1, "VIP", "");
        item(4, 1, 1, "503");
        line(2, 1, "ALAP", "");
        item(2, 1, 1, "504", "2026.02.03");
        activity(2, 1, 1, "2026.02.02", "KA", "E");
        activity(1, 1, 1, "2026.02.15", "KA", "X");
        activity(4, 1, 1, "2026.03.01", "KIH", "T");
    }
    void init() {
        sink.clear();
        sink.answers.clear();
    }

    void search_data() {
        QTest::addColumn<int>("index");
        for (int i = 0; i < cases().size(); ++i) QTest::newRow(cases().at(i).name) << i;
    }
    void search() {
        QFETCH(int, index);
        const Case& c = cases().at(index);
        ContractFilter f = everything();
        c.set(f);
        QCOMPARE(numbers(f), c.expected);
    }

    // Nothing typed is part of the statement: every value is a parameter.
    void typedTextIsBound() {
        ContractFilter f = everything();
        f.customerText = QStringLiteral("x' OR 'a'='a");
        f.filing = QStringLiteral("'; DELETE FROM FORGFEJ; --");
        f.cabin = QStringLiteral("1' OR '1'='1");
        f.driver = QStringLiteral("S1'");
        f.group = QStringLiteral("ALAP'");
        f.siteKey = QStringLiteral("'");
        f.allProjects = false;
        f.modes = {QStringLiteral("HT'"), QStringLiteral("HO")};
        f.statuses = {QStringLiteral("FO") };
        const BuiltSearch b = ContractSearch::Build(f);
        for (const QString& t : {f.customerText, f.filing, f.cabin, f.driver, f.group, QStringLiteral("HT'")})
            QVERIFY2(!b.sql.contains(t), qPrintable(t));
        // One parameter per ticked code.
        int modes = 0;
        for (const auto& p : b.params) modes += p.first.startsWith(QLatin1Char('m')) ? 1 : 0;
        QCOMPARE(modes, 2);
        QCOMPARE(numbers(f), QList<qint64>{});
        QCOMPARE(db.count("SELECT COUNT(*) FROM FORGFEJ"), qint64(7));
    }

    void refusals_data() {
        QTest::addColumn<QString>("what");
        QTest::addColumn<QString>("message");
        QTest::newRow("no rental mode") << "modes" << ContractSearch::NoModeText();
        QTest::newRow("no status") << "statuses" << ContractSearch::NoStatusText();
        QTest::newRow("letters in the number") << "12a" << ContractSearch::BadNumberText("12a");
        QTest::newRow("fraction") << "1.5" << ContractSearch::BadNumberText("1.5");
        QTest::newRow("negative") << "-3" << ContractSearch::BadNumberText("-3");
        QTest::newRow("bad from") << "from" << QStringLiteral("Hibás dátum.\n2026.13.01");
        QTest::newRow("bad to") << "to" << QStringLiteral("Hibás dátum.\nholnap");
    }
    void refusals() {
        QFETCH(QString, what);
        QFETCH(QString, message);
        ContractFilter f = everything();
        if (what == "modes") f.modes = {};
        else if (what == "statuses") f.statuses = {QStringLiteral(" ")};
        else if (what == "from") { f.usePeriod = true; f.from = "2026.13.01"; }
        else if (what == "to") { f.usePeriod = true; f.to = "holnap"; }
        else f.number = what;
        QCOMPARE(ContractSearch::Refusal(f), message);
        QCOMPARE(thrown([&] { ContractSearch::Run(*db.conn, f); }), message);
        // A bad date of a period that is not ticked does not count.
        if (what == "from" || what == "to") {
            f.usePeriod = false;
            QCOMPARE(ContractSearch::Refusal(f), QString());
        }
    }

    void legend() {
        auto tx = db.conn->begin(vl::db::TxMode::ReadOnly);
        QCOMPARE(ContractSearch::Legend(*tx),
                 QStringLiteral("Színek jelentése: ZÖLD = Folyamatban, SZÜRKE = Lezárt, PIROS = Sztornózott, "));
    }

    void handoverDates_data() {
        QTest::addColumn<QString>("bermod");
        QTest::addColumn<QString>("endDate");
        QTest::newRow("open-ended") << "HT" << "2026.05.01";
        QTest::newRow("occasional") << "ALK" << "2026.05.03";
    }
    void handoverDates() {
        QFETCH(QString, bermod);
        QFETCH(QString, endDate);
        const HandoverArgs a = ContractSearch::Handover({{"BIZONYLAT", 12}, {"VERZIO", 1}, {"BERKEZD", "2026.05.01"},
                                                         {"BERVEG", "2026.05.03"}, {"BERMOD", bermod}});
        const QVariantMap p = a.params();
        QCOMPARE(p.value("Contract").toLongLong(), qint64(12));
        QCOMPARE(p.value("Version").toInt(), 1);
        QCOMPARE(p.value("ActivityCode").toString(), QStringLiteral("KIH"));
        QCOMPARE(p.value("Date").toString(), QStringLiteral("2026.05.01"));
        QCOMPARE(p.value("EndDate").toString(), endDate);
    }

    void modifyRefusal() {
        QCOMPARE(ContractSearch::ModifyRefusal({{"MODOSITHATO", "N"}, {"STATUSZ", "Lezárt"}}),
                 QStringLiteral("Lezárt szerződés nem módosítható."));
        QCOMPARE(ContractSearch::ModifyRefusal({{"MODOSITHATO", "I"}, {"STATUSZ", "Folyamatban"}}), QString());
    }

    // ---- cancel

    // A done delivery blocks the cancellation; done maintenance alone does not.
    void cancelRefusedAfterDoneDelivery() {
        const qint64 b = ++next;
        header(b, "106", "1061", "HT", "FO", "2026.04.01", "");
        line(b, 1, "ALAP", "");
        item(b, 1, 1, "601");
        activity(b, 1, 1, "2026.04.01", "KIH", "E");
        const QStringList before = snapshot();
        QCOMPARE(refusal([&] { return ContractSearch::cancel(*db.conn, nullptr, session, b, 1); }),
                 ContractSearch::DoneActivityText());
        QCOMPARE(snapshot(), before);
        QVERIFY(sink.messages.isEmpty()); // refused before the question
    }
    void cancelWithDoneMaintenanceOnly() {
        const qint64 b = ++next;
        header(b, "106", "1061", "HT", "FO", "2026.04.01", "");
        line(b, 1, "ALAP", "");
        item(b, 1, 1, "602");
        activity(b, 1, 1, "2026.04.01", "KIH", "T");
        activity(b, 1, 1, "2026.04.08", "KA", "E");
        sink.answers = {0};
        QVERIFY(asked(ContractSearch::cancel(*db.conn, nullptr, session, b, 1)).ok);
        QCOMPARE(sink.texts(), QStringList{ContractSearch::CancelQuestion()});
        QCOMPARE(sink.defaultButtons, QList<int>{1}); // "Nem" the default
        QCOMPARE(head(b), QStringLiteral("X|FO|%1||NULL|TESZT").arg(vl::util::TodayStr()));
        QCOMPARE(cabin("602"), QStringLiteral("SZA|||-"));
    }
    // "Nem" writes nothing.
    void cancelAnsweredNo() {
        const qint64 b = ++next;
        header(b, "106", "1061", "HT", "FO", "2026.04.01", "");
        line(b, 1, "ALAP", "");
        item(b, 1, 1, "603");
        const QStringList before = snapshot();
        sink.answers = {1};
        QVERIFY(!asked(ContractSearch::cancel(*db.conn, nullptr, session, b, 1)).ok);
        QCOMPARE(snapshot(), before);
    }
    // A cabin that came back and went out on another contract stays there.
    void cancelFreesOnlyItsOwnCabins() {
        const qint64 a = ++next, other = ++next;
        header(a, "106", "1061", "HT", "FO", "2026.04.01", "");
        line(a, 1, "ALAP", "");
        item(a, 1, 1, "611");
        item(a, 1, 2, "612", "2026.04.10");
        header(other, "104", "1041", "HT", "FO", "2026.04.11", "");
        line(other, 1, "ALAP", "");
        item(other, 1, 1, "612");
        QCOMPARE(cabin("611"), QStringLiteral("FOG|106|1061|%1").arg(a));
        QCOMPARE(cabin("612"), QStringLiteral("FOG|104|1041|%1").arg(other));
        sink.answers = {0};
        QVERIFY(asked(ContractSearch::cancelOrRestore(*db.conn, nullptr, session, a, 1, rvOf(a))).ok);
        QCOMPARE(cabin("611"), QStringLiteral("SZA|||-"));
        QCOMPARE(cabin("612"), QStringLiteral("FOG|104|1041|%1").arg(other));
        QCOMPARE(head(a).section(u'|', 0, 1), QStringLiteral("X|FO"));
    }
    // A failure after the contract's row was written leaves everything as it was.
    void cancelFailingMidwayWritesNothing() {
        const qint64 b = ++next;
        header(b, "106", "1061", "HT", "FO", "2026.04.01", "");
        line(b, 1, "ALAP", "");
        item(b, 1, 1, "621");
        item(b, 1, 2, "622");
        db.conn->exec("CREATE EXCEPTION E_KERESES_TESZT 'teszt'");
        db.conn->exec("CREATE TRIGGER ARU_KERESES_TESZT FOR ARU BEFORE UPDATE AS BEGIN "
                      "IF (NEW.KOD = '622') THEN EXCEPTION E_KERESES_TESZT; END");
        const QStringList before = snapshot();
        sink.answers = {0};
        bool threw = false;
        try {
            asked(ContractSearch::cancel(*db.conn, nullptr, session, b, 1));
        } catch (const vl::db::DbError&) {
            threw = true;
        }
        db.conn->exec("DROP TRIGGER ARU_KERESES_TESZT");
        db.conn->exec("DROP EXCEPTION E_KERESES_TESZT");
        QVERIFY(threw);
        QCOMPARE(snapshot(), before);
    }
    // The list was loaded before another workstation changed the contract.
    void cancelAfterAChangeElsewhere() {
        const qint64 b = ++next;
        header(b, "106", "1061", "HT", "FO", "2026.04.01", "");
        const qint64 rv = rvOf(b);
        db.conn->exec("UPDATE FORGFEJ SET KOMMENT = 'máshol' WHERE BIZONYLAT = :b", {{"b", b}});
        const QStringList before = snapshot();
        sink.answers = {0};
        QCOMPARE(refusal([&] { return ContractSearch::cancel(*db.conn, nullptr, session, b, 1, rv); }),
                 ProductRegister::ContractChangedElsewhereText());
        QCOMPARE(snapshot(), before);
    }
    // Another workstation writes the contract at the same moment.
    void cancelMeetsAnotherStore() {
        const qint64 b = ++next;
        header(b, "106", "1061", "HT", "FO", "2026.04.01", "");
        auto otherConn = vl::db::connect(vl::rental::test::embeddedParams(db.path));
        auto otx = otherConn->begin();
        otx->exec("UPDATE FORGFEJ SET JUZER = 'MASIK' WHERE BIZONYLAT = :b", {{"b", b}});
        const QStringList before = snapshot();
        sink.answers = {0};
        QCOMPARE(refusal([&] { return ContractSearch::cancel(*db.conn, nullptr, session, b, 1); }),
                 ProductRegister::ContractChangedElsewhereText());
        QCOMPARE(snapshot(), before);
        otx->rollback();
        otherConn->close();
    }

    // ---- restore

    // Only the cabins of items not yet back count; those out elsewhere are named.
    void restoreNamesCabinsNoLongerFree() {
        const qint64 c = ++next, d = ++next;
        header(c, "106", "1061", "HT", "FO", "2026.04.01", "");
        line(c, 1, "ALAP", "");
        item(c, 1, 1, "631");
        item(c, 1, 2, "632");
        item(c, 1, 3, "633", "2026.04.05");
        item(c, 1, 4, "634");
        sink.answers = {0};
        QVERIFY(asked(ContractSearch::cancel(*db.conn, nullptr, session, c, 1)).ok);
        // Meanwhile 631 and 633 went out on another contract, 634 was damaged.
        header(d, "104", "1041", "HT", "FO", "2026.04.06", "");
        line(d, 1, "ALAP", "");
        item(d, 1, 1, "631");
        item(d, 1, 2, "633");
        db.conn->exec("UPDATE ARU SET ALLAPOT = 'SER' WHERE KOD = '634'");
        const QStringList before = snapshot();
        sink.clear();
        sink.answers = {0};
        QCOMPARE(refusal([&] { return ContractSearch::cancelOrRestore(*db.conn, nullptr, session, c, 1); }),
                 ContractSearch::NotFreeText() + QStringLiteral("\n631,634"));
        QCOMPARE(sink.texts(), QStringList{ContractSearch::RestoreQuestion()});
        QCOMPARE(snapshot(), before);

        // Once they are free again the contract comes back with its cabins.
        db.conn->exec("UPDATE FORGKABIN SET VSZALL = '2026.04.07' WHERE BIZONYLAT = :d AND ARUKOD = '631'", {{"d", d}});
        settle("631");
        db.conn->exec("UPDATE ARU SET ALLAPOT = 'SZA' WHERE KOD = '634'");
        sink.answers = {0};
        QVERIFY(asked(ContractSearch::restore(*db.conn, nullptr, session, c, 1)).ok);
        QCOMPARE(head(c), QStringLiteral("FO||%1||NULL|TESZT").arg(vl::util::TodayStr()));
        QCOMPARE(cabin("631"), QStringLiteral("FOG|106|1061|%1").arg(c));
        QCOMPARE(cabin("632"), QStringLiteral("FOG|106|1061|%1").arg(c));
        QCOMPARE(cabin("634"), QStringLiteral("FOG|106|1061|%1").arg(c));
        // The item that was back stays with the contract it went to.
        QCOMPARE(cabin("633"), QStringLiteral("FOG|104|1041|%1").arg(d));
    }
    void restoreWithoutEarlierStatus() {
        const qint64 b = ++next;
        header(b, "106", "1061", "HT", "X", "2026.04.01", "");
        sink.answers = {0};
        QVERIFY(asked(ContractSearch::restore(*db.conn, nullptr, session, b, 1)).ok);
        QCOMPARE(head(b).section(u'|', 0, 1), QStringLiteral("FO|"));
    }
    void restoreKeepsClosedStatus() {
        const qint64 b = ++next;
        header(b, "106", "1061", "HT", "LEZ", "2026.04.01", "2026.04.20");
        sink.answers = {0};
        QVERIFY(asked(ContractSearch::cancel(*db.conn, nullptr, session, b, 1)).ok);
        sink.answers = {0};
        QVERIFY(asked(ContractSearch::restore(*db.conn, nullptr, session, b, 1)).ok);
        QCOMPARE(head(b).section(u'|', 0, 1), QStringLiteral("LEZ|"));
    }
    void restoreOnlyCancelled() {
        const qint64 b = ++next;
        header(b, "106", "1061", "HT", "FO", "2026.04.01", "");
        QCOMPARE(refusal([&] { return ContractSearch::restore(*db.conn, nullptr, session, b, 1); }),
                 ContractSearch::NotCancelledText());
        QCOMPARE(refusal([&] { return ContractSearch::cancel(*db.conn, nullptr, session, 3, 1); }),
                 ContractSearch::AlreadyCancelledText());
    }

    // ---- the commands

    // "contracts" prints the numbers the form would list, in its order.
    void contractsCommand_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QStringList>("numbers");
        QTest::addColumn<int>("code");
        QTest::newRow("prefix") << QStringList{"--customer", "ok"} << QStringList{"3", "1", "2"} << 0;
        QTest::newRow("modes and order") << QStringList{"--mode", "HT,HO", "--status", "FO", "--order", "6", "--number", "5"}
                                         << QStringList{"5"} << 0;
        QTest::newRow("activity period") << QStringList{"--from", "2026.02.01", "--to", "2026.02.28", "--by-activity"}
                                         << QStringList{"2"} << 0;
        QTest::newRow("cabin and driver") << QStringList{"--cabin", "501", "--driver", "S2"} << QStringList{"1"} << 0;
        QTest::newRow("letters in the number") << QStringList{"--number", "4x"} << QStringList{} << 2;
        QTest::newRow("no status") << QStringList{"--status", ","} << QStringList{} << 2;
    }
    void contractsCommand() {
        QFETCH(QStringList, args);
        QFETCH(QStringList, numbers);
        QFETCH(int, code);
        QFile ini(db.dir.filePath("PKR.INI"));
        QVERIFY(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ini.write(QStringLiteral("DBSERVER=%1\r\nWPWD=NONE\r\n").arg(db.path).toLocal8Bit());
        ini.close();
        const AdminRun r = admin(db.dir.path(), QStringList{"contracts"} + args);
        QVERIFY2(r.code == code, qPrintable(r.out + r.err));
        if (code != 0) return;
        QStringList got;
        for (const QString& line : r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts).mid(1))
            if (line.contains(QLatin1Char('\t'))) got << line.section(QLatin1Char('\t'), 0, 0);
        QCOMPARE(got, numbers);
    }

    // "contract cancel" asks; without --yes nothing is written, with it the contract is cancelled.
    void contractCommand() {
        const qint64 b = ++next;
        header(b, "106", "1061", "HT", "FO", "2026.04.01", "");
        line(b, 1, "ALAP", "");
        item(b, 1, 1, "651");
        const QStringList before = snapshot();
        AdminRun r = admin(db.dir.path(), {"contract", "cancel", QString::number(b)});
        QVERIFY(r.code != 0);
        QVERIFY2(r.err.contains(ContractSearch::CancelQuestion()), qPrintable(r.err));
        QCOMPARE(snapshot(), before);
        r = admin(db.dir.path(), {"contract", "cancel", QString::number(b), "--yes"});
        QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
        QCOMPARE(head(b).section(u'|', 0, 1), QStringLiteral("X|FO"));
        QCOMPARE(cabin("651"), QStringLiteral("SZA|||-"));
        r = admin(db.dir.path(), {"contract", "reopen", QString::number(b), "--yes"});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains(ContractSearch::OnlyClosedText()), qPrintable(r.err));
        r = admin(db.dir.path(), {"contract", "restore", QString::number(b), "--yes"});
        QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
        QCOMPARE(cabin("651"), QStringLiteral("FOG|106|1061|%1").arg(b));
        r = admin(db.dir.path(), {"contract", "cancel", "x1"});
        QCOMPARE(r.code, 2);
    }

    // ---- reopen

    void reopen_data() {
        QTest::addColumn<QString>("status");
        QTest::addColumn<QVariant>("kept");
        QTest::addColumn<QString>("refused");
        QTest::addColumn<QString>("after");
        QTest::newRow("closed by a take-back") << "LEZ" << QVariant("2026.12.31") << "" << "FO|2026.12.31|NULL";
        QTest::newRow("open-ended closed") << "LEZ" << QVariant("") << "" << "FO||NULL";
        QTest::newRow("closed otherwise") << "LEZ" << QVariant() << "" << "FO|2026.05.10|NULL";
        QTest::newRow("in progress") << "FO" << QVariant() << ContractSearch::OnlyClosedText() << "FO|2026.05.10|NULL";
        QTest::newRow("cancelled") << "X" << QVariant() << ContractSearch::OnlyClosedText() << "X|2026.05.10|NULL";
    }
    void reopen() {
        QFETCH(QString, status);
        QFETCH(QVariant, kept);
        QFETCH(QString, refused);
        QFETCH(QString, after);
        const qint64 b = ++next;
        header(b, "106", "1061", "HT", status, "2026.04.01", "2026.05.10");
        db.conn->exec("UPDATE FORGFEJ SET BERVEGELOZO = :k WHERE BIZONYLAT = :b",
                      {{"k", kept.isNull() ? QVariant(QMetaType::fromType<QString>()) : kept}, {"b", b}});
        sink.answers = {0};
        QCOMPARE(refusal([&] { return ContractSearch::reopen(*db.conn, nullptr, session, b, 1, rvOf(b)); }), refused);
        if (refused.isEmpty()) QCOMPARE(sink.texts(), QStringList{ContractSearch::ReopenQuestion()});
        auto rs = db.conn->query("SELECT STATUS, BERVEG, BERVEGELOZO FROM FORGFEJ WHERE BIZONYLAT = :b", {{"b", b}});
        QCOMPARE(QStringLiteral("%1|%2|%3").arg(rs.at(0, 0).toString(), rs.at(0, 1).toString(),
                                                 rs.at(0, 2).isNull() ? QStringLiteral("NULL") : rs.at(0, 2).toString()),
                 after);
    }
};

QTEST_GUILESS_MAIN(TstContractSearch)
#include "tst_contractsearch.moc"
