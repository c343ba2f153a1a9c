// The line-and-item rules on a table set of a real database, as one table of
// cases. Every case starts from the same contract: one line of two items
// (delivery Monday 2026.03.02, return 2026.04.27, a visit every Monday), on
// which item 1 has a done, a cancelled and a moved-away visit. Each case runs
// an action and checks what it must do, and then that those three rows are
// exactly as they were.
#include "tst_schedule_fixture.h"

#include "rental/LineItemRules.h"

#include <QtTest>
#include <functional>
#include <map>

using namespace vl::rental;
using namespace vl::rental::test;

namespace {

const QString kEl = QStringLiteral("Biztosan törli az aktuális terméket?");
const QString kElVegso = QStringLiteral("Biztosan törli az aktuális terméket?\rEzzel törli a termékcsoportot is!");
const QString kToggle = QStringLiteral("Biztosan megváltoztatja a tevékenység állapotát?");
const QString kFuture = QStringLiteral("Jövőbeni eseményt akar elvégzettre állítani. Biztosan ezt akarja?");

LineInput baseLine() {
    LineInput l;
    l.arucsoport = QStringLiteral("ALAP");
    l.mennyiseg = QStringLiteral("2");
    l.bermenny = QStringLiteral("1");
    l.bermegyseg = QStringLiteral("Hó");
    l.nettoar = QStringLiteral("10000");
    l.karertek = QStringLiteral("250000");
    l.minimalar = QStringLiteral("10000");
    l.kiszall = QStringLiteral("2026.03.02");
    l.vszall = QStringLiteral("2026.04.27");
    l.counts[0] = QStringLiteral("1");
    l.prices[0] = QStringLiteral("4500");
    l.periodus = QStringLiteral("1");
    l.soforkod = QStringLiteral("S1");
    l.komment = QStringLiteral("Kapu: 'B' épület, hátul");
    return l;
}

ItemInput itemOf(const LineInput& l, const QString& code) {
    ItemInput i;
    i.arukod = code;
    i.kiszall = l.kiszall;
    i.vszallt = l.vszall;
    i.counts = l.counts;
    i.prices = l.prices;
    i.periodus = l.periodus;
    return i;
}

} // namespace

class TstLineItem : public QObject {
    Q_OBJECT
    TestDb db;
    RentalTables copies;
    qint64 next = 100;

public:
    // One contract of a case on the work copies.
    struct Fx {
        TstLineItem* t;
        qint64 b;
        LineItemOptions opt;
        Outcome last;

        LineItemRules rules() {
            ContractTerms ct;
            ct.bizonylat = b;
            ct.verzio = 1;
            ct.bermod = QStringLiteral("HT");
            ct.bermodNev = QStringLiteral("Határozatlan idejű bérlet");
            return LineItemRules(context(*t->db.conn), t->copies, ct, opt);
        }
        Outcome run(const std::function<Outcome(vl::db::Transaction&, LineItemRules&)>& f) {
            auto tx = t->db.conn->begin();
            LineItemRules r = rules();
            last = f(*tx, r);
            tx->commit();
            return last;
        }
        // "date#n state" of an item's activities of a kind, in date order.
        QStringList acts(qint64 line, qint64 item, const QString& kind) {
            auto rs = t->db.conn->query(
                QStringLiteral("SELECT DATUM, TEVSORSZAM, TEVALLAPOT FROM %1 WHERE BIZONYLAT = :b AND TETELSOR = :t"
                               " AND SORSZAM = :s AND TEVKOD = :k ORDER BY DATUM, TEVSORSZAM").arg(t->copies.activities),
                {{"b", b}, {"t", line}, {"s", item}, {"k", kind}});
            QStringList out;
            while (rs.next())
                out << rs.text("DATUM") + "#" + QString::number(rs.integer("TEVSORSZAM")) + " " + rs.text("TEVALLAPOT");
            return out;
        }
        QString value(const QString& sql, const vl::db::Params& p = {}) {
            vl::db::Params q = p;
            q.push_back({"b", b});
            QString text = sql;
            text.replace("%1", t->copies.lines).replace("%2", t->copies.items).replace("%3", t->copies.activities);
            auto rs = t->db.conn->query(text, q);
            return rs.isEmpty() ? QStringLiteral("<nincs>") : (rs.at(0, 0).isNull() ? QStringLiteral("NULL") : rs.at(0, 0).toString());
        }
        ActivityKey key(qint64 line, qint64 item, const QString& datum, const QString& kind) {
            auto rs = t->db.conn->query(
                QStringLiteral("SELECT TEVSORSZAM FROM %1 WHERE BIZONYLAT = :b AND TETELSOR = :t AND SORSZAM = :s"
                               " AND DATUM = :d AND TEVKOD = :k").arg(t->copies.activities),
                {{"b", b}, {"t", line}, {"s", item}, {"d", datum}, {"k", kind}});
            return rs.next() ? ActivityKey{line, item, datum, rs.integer("TEVSORSZAM")} : ActivityKey{};
        }
    };

private:
    // Done, cancelled and moved-away rows of a contract by key.
    std::map<QString, QString> history(qint64 b) {
        auto rs = db.conn->query(QStringLiteral("SELECT * FROM %1 WHERE BIZONYLAT = :b AND TEVALLAPOT IN ('E', 'X', 'A')")
                                     .arg(copies.activities),
                                 {{"b", b}});
        std::map<QString, QString> out;
        while (rs.next()) {
            QStringList cells;
            for (int c = 0; c < rs.columnCount(); ++c) cells << rs.value(c).toString();
            out[QStringLiteral("%1/%2 %3#%4").arg(rs.integer("TETELSOR")).arg(rs.integer("SORSZAM"))
                    .arg(rs.text("DATUM")).arg(rs.integer("TEVSORSZAM"))] = cells.join(u'|');
        }
        return out;
    }

    Fx base() {
        Fx f{this, ++next, {}, {}};
        f.opt.today = QStringLiteral("2026.02.20");
        db.conn->exec(QStringLiteral("INSERT INTO FORGFEJ (BIZONYLAT, VERZIO, AKTIV, STATUS, BERMOD, FIZMOD, BERKEZD,"
                                     " UGYFELKOD, UGYFELCIM) VALUES (:b, 1, 'I', 'FO', 'HT', 'ATU', '2026.03.02', '1', '1')"),
                      {{"b", f.b}});
        const Outcome o = f.run([](auto& tx, LineItemRules& r) {
            return r.AddLine(tx, baseLine(), {{QStringLiteral("Biztos, hogy ingyen kapja?"), true}});
        });
        if (!o.ok) qWarning() << o.messages << o.question;
        for (const auto& [day, state] : {std::pair{"2026.03.09", "E"}, {"2026.03.16", "X"}, {"2026.03.23", "A"}})
            db.conn->exec(QStringLiteral("UPDATE %1 SET TEVALLAPOT = :st, KOMMENT = 'történet' WHERE BIZONYLAT = :b"
                                         " AND TETELSOR = 1 AND SORSZAM = 1 AND DATUM = :d AND TEVKOD = 'KA'")
                              .arg(copies.activities),
                          {{"st", state}, {"b", f.b}, {"d", day}});
        return f;
    }

    struct Case {
        const char* name;
        std::function<void(Fx&)> act;
        std::function<void(Fx&)> check;
    };

    static std::vector<Case>& cases() {
        static std::vector<Case> c = {
            {"line added: items 1..n with delivery, return and weekly visits",
             [](Fx&) {},
             [](Fx& f) {
                 QCOMPARE(f.value("SELECT MENNYISEG FROM %1 WHERE BIZONYLAT = :b"), QString("2"));
                 QCOMPARE(f.value("SELECT LIST(SORSZAM || ':' || ARUKOD || ':' || EGYEDI, ',') FROM %2 WHERE BIZONYLAT = :b"),
                          QString("1:*:N,2:*:N"));
                 QCOMPARE(f.acts(1, 2, "KIH"), QStringList{"2026.03.02#1 T"});
                 QCOMPARE(f.acts(1, 2, "VSZ"), QStringList{"2026.04.27#1 T"});
                 QCOMPARE(f.acts(1, 2, "KA"), (QStringList{"2026.03.09#1 T", "2026.03.16#1 T", "2026.03.23#1 T",
                                                          "2026.03.30#1 T", "2026.04.06#1 T", "2026.04.13#1 T",
                                                          "2026.04.20#1 T", "2026.04.27#2 T"}));
             }},
            {"line changed: a new pattern leaves the history and reaches the items that follow the line",
             [](Fx& f) {
                 LineInput l = baseLine();
                 l.counts = {"", "", "1", "", "", "", ""};
                 l.prices = {"", "", "4500", "", "", "", ""};
                 f.run([&](auto& tx, LineItemRules& r) { return r.ChangeLine(tx, 1, l); });
             },
             [](Fx& f) {
                 QVERIFY2(f.last.ok, qPrintable(f.last.messages.join("|")));
                 QCOMPARE(f.acts(1, 2, "KA").first(), QString("2026.03.04#1 T"));
                 // Item 1: its done, cancelled and moved-away Mondays stay, no planned Monday is left.
                 QCOMPARE(f.acts(1, 1, "KA").mid(0, 4), (QStringList{"2026.03.04#1 T", "2026.03.09#1 E",
                                                                     "2026.03.11#1 T", "2026.03.16#1 X"}));
                 QCOMPARE(f.value("SELECT COUNT(*) FROM %3 WHERE BIZONYLAT = :b AND TEVKOD = 'KA' AND TEVALLAPOT = 'T'"
                                  " AND DATUM IN ('2026.03.30', '2026.04.06')"), QString("0"));
             }},
            {"line quantity lowered: refused, nothing changes",
             [](Fx& f) {
                 LineInput l = baseLine();
                 l.mennyiseg = "1";
                 f.run([&](auto& tx, LineItemRules& r) { return r.ChangeLine(tx, 1, l); });
             },
             [](Fx& f) {
                 QVERIFY(!f.last.ok);
                 QCOMPARE(f.last.messages, QStringList{"A mennyiség itt nem csökkenthető. Törölje a terméket a \"Termékek\" fülön!"});
                 QCOMPARE(f.value("SELECT COUNT(*) FROM %2 WHERE BIZONYLAT = :b"), QString("2"));
             }},
            {"line deleted with a done activity: refused",
             [](Fx& f) { f.run([](auto& tx, LineItemRules& r) { return r.DeleteLine(tx, 1, {}); }); },
             [](Fx& f) {
                 QCOMPARE(f.last.messages, QStringList{"Nem törölhető, mert van elvégzett tevékenysége"});
                 QCOMPARE(f.value("SELECT COUNT(*) FROM %1 WHERE BIZONYLAT = :b"), QString("1"));
             }},
            {"item stored with its own pattern becomes individual and keeps it through a line change",
             [](Fx& f) {
                 ItemInput i = itemOf(baseLine(), "*");
                 i.counts = {"", "2", "", "", "", "", ""};
                 i.prices = {"", "5000", "", "", "", "", ""};
                 f.run([&](auto& tx, LineItemRules& r) { return r.StoreItem(tx, 1, 2, i, {}); });
                 LineInput l = baseLine();
                 l.prices[0] = "4800";
                 f.run([&](auto& tx, LineItemRules& r) { return r.ChangeLine(tx, 1, l); });
             },
             [](Fx& f) {
                 QVERIFY(f.last.ok);
                 QCOMPARE(f.value("SELECT HKSZCSPSZV || ':' || EGYEDI || ':' || KARBAR2 FROM %2 WHERE BIZONYLAT = :b"
                                  " AND SORSZAM = 2"), QString("0200000:E:5000"));
                 QCOMPARE(f.value("SELECT HKSZCSPSZV || ':' || EGYEDI || ':' || KARBAR1 FROM %2 WHERE BIZONYLAT = :b"
                                  " AND SORSZAM = 1"), QString("1000000:N:4800"));
                 QCOMPARE(f.acts(1, 2, "KA").mid(0, 2), (QStringList{"2026.03.03#1 T", "2026.03.03#2 T"}));
                 QCOMPARE(f.value("SELECT MAX(NETTOAR) FROM %3 WHERE BIZONYLAT = :b AND SORSZAM = 1 AND TEVKOD = 'KA'"
                                  " AND TEVALLAPOT = 'T'"), QString("4800"));
             }},
            {"item renumbered to a product: planned rows follow it, history keeps the old code",
             [](Fx& f) {
                 f.run([&](auto& tx, LineItemRules& r) { return r.StoreItem(tx, 1, 1, itemOf(baseLine(), "K-1"), {}); });
             },
             [](Fx& f) {
                 QVERIFY2(f.last.ok, qPrintable(f.last.messages.join("|")));
                 QCOMPARE(f.value("SELECT ARUKOD FROM %2 WHERE BIZONYLAT = :b AND SORSZAM = 1"), QString("K-1"));
                 QCOMPARE(f.value("SELECT LIST(DISTINCT ARUKOD) FROM %3 WHERE BIZONYLAT = :b AND SORSZAM = 1"
                                  " AND TEVALLAPOT = 'T'"), QString("K-1"));
             }},
            {"item removed and re-added: no number with history is given again, nothing overwritten",
             [](Fx& f) {
                 // Item 2 gets history of its own: a cancelled visit.
                 f.t->db.conn->exec(QStringLiteral("UPDATE %1 SET TEVALLAPOT = 'X' WHERE BIZONYLAT = :b AND SORSZAM = 2"
                                                   " AND DATUM = '2026.03.16' AND TEVKOD = 'KA'").arg(f.t->copies.activities),
                                    {{"b", f.b}});
                 f.run([&](auto& tx, LineItemRules& r) { return r.DeleteItem(tx, 1, 2, {{kEl, true}}); });
                 QVERIFY(f.last.ok);
                 f.run([&](auto& tx, LineItemRules& r) { return r.ChangeLine(tx, 1, baseLine()); });
             },
             [](Fx& f) {
                 QVERIFY2(f.last.ok, qPrintable(f.last.messages.join("|")));
                 QCOMPARE(f.value("SELECT LIST(SORSZAM, ',') FROM %2 WHERE BIZONYLAT = :b"), QString("1,3"));
                 QCOMPARE(f.value("SELECT MENNYISEG FROM %1 WHERE BIZONYLAT = :b"), QString("2"));
                 QCOMPARE(f.acts(1, 2, "KA"), QStringList{"2026.03.16#1 X"});
                 QCOMPARE(f.acts(1, 3, "KIH"), QStringList{"2026.03.02#1 T"});
             }},
            {"an item with a done visit is not removed; the last item of a line takes its line along",
             [](Fx& f) {
                 f.run([&](auto& tx, LineItemRules& r) { return r.DeleteItem(tx, 1, 1, {{kEl, true}}); });
                 QCOMPARE(f.last.messages, QStringList{"Nem törölhető, mert van elvégzett tevékenysége"});
                 LineInput l = baseLine();
                 l.mennyiseg = "1";
                 f.run([&](auto& tx, LineItemRules& r) { return r.AddLine(tx, l, {}); });
                 QCOMPARE(f.last.line, qint64(2));
                 f.run([&](auto& tx, LineItemRules& r) { return r.DeleteItem(tx, 2, 1, {{kElVegso, true}}); });
             },
             [](Fx& f) {
                 QVERIFY(f.last.ok);
                 QCOMPARE(f.value("SELECT LIST(TETELSOR) FROM %1 WHERE BIZONYLAT = :b"), QString("1"));
                 QCOMPARE(f.value("SELECT COUNT(*) FROM %3 WHERE BIZONYLAT = :b AND TETELSOR = 2"), QString("0"));
                 QCOMPARE(f.value("SELECT COUNT(*) FROM %2 WHERE BIZONYLAT = :b"), QString("2"));
             }},
            {"a product exchanged for another group: the item moves to a line of its own with its planned visits",
             [](Fx& f) {
                 f.run([&](auto& tx, LineItemRules& r) {
                     Outcome o;
                     const auto [t, s] = r.SplitItemToGroup(tx, 1, 2, "VIP", "V-1", "2026.03.20");
                     o.ok = t == 2 && s == 1;
                     return o;
                 });
             },
             [](Fx& f) {
                 QVERIFY(f.last.ok);
                 QCOMPARE(f.value("SELECT LIST(TETELSOR || ':' || ARUCSOPORT || ':' || MENNYISEG, ',') FROM"
                                  " (SELECT * FROM %1 WHERE BIZONYLAT = :b ORDER BY TETELSOR)"), QString("1:ALAP:1,2:VIP:1"));
                 QCOMPARE(f.value("SELECT LIST(TETELSOR || '/' || SORSZAM || ':' || ARUKOD, ',') FROM"
                                  " (SELECT * FROM %2 WHERE BIZONYLAT = :b ORDER BY TETELSOR, SORSZAM)"),
                          QString("1/1:*,2/1:V-1"));
                 QCOMPARE(f.acts(2, 1, "KA").first(), QString("2026.03.23#1 T"));
                 QCOMPARE(f.acts(1, 2, "KA"), (QStringList{"2026.03.09#1 T", "2026.03.16#1 T"}));
                 QCOMPARE(f.value("SELECT LIST(DISTINCT ARUKOD) FROM %3 WHERE BIZONYLAT = :b AND TETELSOR = 2"), QString("V-1"));
             }},
            {"activity added on a day with a done visit takes the next number",
             [](Fx& f) {
                 ActivityInput a{"20260309", "SZK", "S2", "9000", "Rendkívüli, 'sürgős'", "1"};
                 f.run([&](auto& tx, LineItemRules& r) { return r.AddActivity(tx, 1, 1, a); });
             },
             [](Fx& f) {
                 QVERIFY(f.last.ok);
                 QCOMPARE(f.acts(1, 1, "SZK"), QStringList{"2026.03.09#2 T"});
                 QCOMPARE(f.last.activity, (ActivityKey{1, 1, "2026.03.09", 2}));
             }},
            {"activity moved onto a day with a done visit takes the next free number there",
             [](Fx& f) {
                 const ActivityKey k = f.key(1, 1, "2026.04.06", "KA");
                 ActivityInput a{"2026.03.09", "KA", "S1", "4500", "áttéve", "1"};
                 f.run([&](auto& tx, LineItemRules& r) { return r.ChangeActivity(tx, k, a); });
             },
             [](Fx& f) {
                 QVERIFY2(f.last.ok, qPrintable(f.last.messages.join("|")));
                 QCOMPARE(f.acts(1, 1, "KA").mid(0, 2), (QStringList{"2026.03.09#1 E", "2026.03.09#2 T"}));
                 QCOMPARE(f.last.activity, (ActivityKey{1, 1, "2026.03.09", 2}));
             }},
            {"activity done, then undone",
             [](Fx& f) {
                 const ActivityKey k = f.key(1, 2, "2026.03.30", "KA");
                 f.run([&](auto& tx, LineItemRules& r) { return r.ToggleDone(tx, k, {{kFuture, true}, {kToggle, true}}); });
                 QCOMPARE(f.acts(1, 2, "KA").at(3), QString("2026.03.30#1 E"));
                 f.run([&](auto& tx, LineItemRules& r) { return r.ToggleDone(tx, k, {{kToggle, true}}); });
             },
             [](Fx& f) {
                 QVERIFY(f.last.ok);
                 QCOMPARE(f.acts(1, 2, "KA").at(3), QString("2026.03.30#1 T"));
             }},
            {"delivery moved later: the delivery follows, nothing planned stays before it",
             [](Fx& f) {
                 LineInput l = baseLine();
                 l.kiszall = "2026.03.20";
                 f.run([&](auto& tx, LineItemRules& r) { return r.ChangeLine(tx, 1, l); });
             },
             [](Fx& f) {
                 QVERIFY2(f.last.ok, qPrintable(f.last.messages.join("|")));
                 QCOMPARE(f.acts(1, 2, "KIH"), QStringList{"2026.03.20#1 T"});
                 QCOMPARE(f.acts(1, 2, "KA").first(), QString("2026.03.23#1 T"));
                 QCOMPARE(f.value("SELECT COUNT(*) FROM %3 WHERE BIZONYLAT = :b AND DATUM < '2026.03.20'"
                                  " AND TEVALLAPOT = 'T'"), QString("0"));
             }},
            {"delivery moved: EKI goes along with KIH",
             [](Fx& f) {
                 ActivityInput a{"2026.03.02", "EKI", "", "3000", "", ""};
                 f.run([&](auto& tx, LineItemRules& r) { return r.AddActivity(tx, 1, 1, a); });
                 LineInput l = baseLine();
                 l.kiszall = "2026.02.26";
                 f.run([&](auto& tx, LineItemRules& r) { return r.ChangeLine(tx, 1, l); });
             },
             [](Fx& f) {
                 QVERIFY(f.last.ok);
                 QCOMPARE(f.acts(1, 1, "KIH"), QStringList{"2026.02.26#1 T"});
                 QCOMPARE(f.acts(1, 1, "EKI"), QStringList{"2026.02.26#2 T"});
                 QCOMPARE(f.acts(1, 2, "KA").first(), QString("2026.03.02#1 T"));
             }},
            {"return moved later: the take-back follows and the visits reach it",
             [](Fx& f) {
                 LineInput l = baseLine();
                 l.vszall = "2026.05.11";
                 f.run([&](auto& tx, LineItemRules& r) { return r.ChangeLine(tx, 1, l); });
             },
             [](Fx& f) {
                 QCOMPARE(f.acts(1, 1, "VSZ"), QStringList{"2026.05.11#1 T"});
                 QCOMPARE(f.acts(1, 1, "KA").last(), QString("2026.05.11#2 T"));
                 QCOMPARE(f.acts(1, 1, "KA").at(7), QString("2026.04.27#2 T"));
             }},
            {"return cleared: its take-back goes, the visits stay and run on",
             [](Fx& f) {
                 LineInput l = baseLine();
                 l.vszall = "";
                 f.run([&](auto& tx, LineItemRules& r) { return r.ChangeLine(tx, 1, l); });
             },
             [](Fx& f) {
                 QVERIFY(f.last.ok);
                 QCOMPARE(f.acts(1, 1, "VSZ"), QStringList{});
                 QCOMPARE(f.acts(1, 2, "KA").mid(0, 2), (QStringList{"2026.03.09#1 T", "2026.03.16#1 T"}));
                 QCOMPARE(f.acts(1, 2, "KA").last(), QString("2026.12.28#1 T"));
             }},
            {"driver changed: planned visits take the new driver, done ones keep theirs",
             [](Fx& f) {
                 LineInput l = baseLine();
                 l.soforkod = "S2";
                 f.run([&](auto& tx, LineItemRules& r) { return r.ChangeLine(tx, 1, l); });
             },
             [](Fx& f) {
                 QCOMPARE(f.value("SELECT LIST(DISTINCT SOFORKOD) FROM %3 WHERE BIZONYLAT = :b AND TEVALLAPOT = 'T'"),
                          QString("S2"));
                 QCOMPARE(f.value("SELECT SOFORKOD FROM %3 WHERE BIZONYLAT = :b AND TEVALLAPOT = 'E'"), QString("S1"));
                 QCOMPARE(f.value("SELECT LIST(DISTINCT SOFORKOD) FROM %2 WHERE BIZONYLAT = :b"), QString("S2"));
             }},
            {"a stored contract regenerates from today, not from the delivery",
             [](Fx& f) {
                 f.opt.storedContract = true;
                 f.opt.today = "2026.04.01";
                 LineInput l = baseLine();
                 l.prices[0] = "5000";
                 f.run([&](auto& tx, LineItemRules& r) { return r.ChangeLine(tx, 1, l); });
             },
             [](Fx& f) {
                 QCOMPARE(f.value("SELECT LIST(DISTINCT NETTOAR) FROM %3 WHERE BIZONYLAT = :b AND SORSZAM = 2"
                                  " AND TEVKOD = 'KA' AND DATUM < '2026.04.01'"), QString("4500"));
                 QCOMPARE(f.value("SELECT LIST(DISTINCT NETTOAR) FROM %3 WHERE BIZONYLAT = :b AND SORSZAM = 2"
                                  " AND TEVKOD = 'KA' AND DATUM >= '2026.04.01'"), QString("5000"));
             }},
            {"a delivered item is stored again with its own product",
             [](Fx& f) {
                 f.t->db.conn->exec("UPDATE OR INSERT INTO ARU (KOD, ARUCSOPORT, ALLAPOT) VALUES ('K-9', 'ALAP', 'FOG')");
                 f.t->db.conn->exec(QStringLiteral("UPDATE %1 SET ARUKOD = 'K-9' WHERE BIZONYLAT = :b AND SORSZAM = 2")
                                        .arg(f.t->copies.items), {{"b", f.b}});
                 ItemInput i = itemOf(baseLine(), "K-9");
                 i.komment = "ajtó javítva";
                 f.run([&](auto& tx, LineItemRules& r) { return r.StoreItem(tx, 1, 2, i, {}); });
             },
             [](Fx& f) {
                 QVERIFY2(f.last.ok, qPrintable(f.last.messages.join("|")));
                 QCOMPARE(f.value("SELECT KOMMENT FROM %2 WHERE BIZONYLAT = :b AND SORSZAM = 2"), QString("ajtó javítva"));
             }},
            {"a product out elsewhere is refused when it is chosen",
             [](Fx& f) {
                 f.t->db.conn->exec("UPDATE OR INSERT INTO ARU (KOD, ARUCSOPORT, ALLAPOT) VALUES ('K-8', 'ALAP', 'FOG')");
                 f.run([&](auto& tx, LineItemRules& r) { return r.StoreItem(tx, 1, 2, itemOf(baseLine(), "K-8"), {}); });
             },
             [](Fx& f) {
                 QCOMPARE(f.last.messages, QStringList{"A termék adataiban az alábbi hibák vannak:\r"
                                                       "Foglalt állapotú kabin nem kiadható\r"});
                 QCOMPARE(f.value("SELECT ARUKOD FROM %2 WHERE BIZONYLAT = :b AND SORSZAM = 2"), QString("*"));
             }},
            {"weekday counts above 9 and bad return dates are refused with the workspace's messages",
             [](Fx& f) {
                 LineInput l = baseLine();
                 l.counts[2] = "12";
                 l.prices[2] = "100";
                 l.vszall = "2026.02.01";
                 f.run([&](auto& tx, LineItemRules& r) { return r.ChangeLine(tx, 1, l); });
                 QCOMPARE(f.last.messages, QStringList{"A termékcsoport adatokban az alábbi hibák vannak:\r"
                                                       "Hibás dátum intervallum\rSzerda: a napi gyakoriság értelmetlen\r"});
                 l = baseLine();
                 l.vszall = "2026.13.01";
                 f.run([&](auto& tx, LineItemRules& r) { return r.ChangeLine(tx, 1, l); });
             },
             [](Fx& f) {
                 QCOMPARE(f.last.messages, QStringList{"A termékcsoport adatokban az alábbi hibák vannak:\r"
                                                       "Hibás dátum: visszavétel terv.dátuma\r"});
                 QCOMPARE(f.value("SELECT VSZALL FROM %1 WHERE BIZONYLAT = :b"), QString("2026.04.27"));
             }},
            {"a line without a driver writes NULL, and the driver's NULL matches ''",
             [](Fx& f) {
                 LineInput l = baseLine();
                 l.soforkod = "";
                 f.run([&](auto& tx, LineItemRules& r) { return r.ChangeLine(tx, 1, l); });
             },
             [](Fx& f) {
                 QCOMPARE(f.value("SELECT SOFORKOD FROM %1 WHERE BIZONYLAT = :b"), QString("NULL"));
                 QCOMPARE(f.value("SELECT COUNT(*) FROM %2 WHERE BIZONYLAT = :b AND SOFORKOD IS NOT NULL"), QString("0"));
                 QCOMPARE(f.value("SELECT COUNT(*) FROM %3 WHERE BIZONYLAT = :b AND TEVALLAPOT = 'T'"
                                  " AND SOFORKOD IS NOT NULL"), QString("0"));
             }},
        };
        return c;
    }

private slots:
    void initTestCase() {
        db.create();
        db.conn->exec("INSERT INTO SZ_SOFOR (KOD, NEV, AKTIV) VALUES ('S1', 'Kovács Péter', 'I')");
        db.conn->exec("INSERT INTO SZ_SOFOR (KOD, NEV, AKTIV) VALUES ('S2', 'Nagy Ödön', 'I')");
        db.conn->exec("INSERT INTO SZ_SOFOR (KOD, NEV, AKTIV) VALUES ('S3', 'Régi Sofőr', 'N')");
        db.conn->exec("INSERT INTO ARU (KOD, ARUCSOPORT, ALLAPOT) VALUES ('K-1', 'ALAP', 'SZA')");
        createWorkCopy(*db.conn, "FORGSOR", "TMP_CSOPLI_1");
        createWorkCopy(*db.conn, "FORGKABIN", "TMP_KABLI_1");
        createWorkCopy(*db.conn, "FORGTEV", "TMP_TEVLI_1");
        createWorkCopy(*db.conn, "FORGFIZ", "TMP_FIZLI_1");
        copies = RentalTables::workCopies("TMP_CSOPLI_1", "TMP_KABLI_1", "TMP_TEVLI_1", "TMP_FIZLI_1");
    }

    void rules_data() {
        QTest::addColumn<int>("index");
        for (int i = 0; i < int(cases().size()); ++i) QTest::newRow(cases()[size_t(i)].name) << i;
    }

    void rules() {
        QFETCH(int, index);
        const Case& c = cases()[size_t(index)];
        Fx f = base();
        QVERIFY2(f.last.ok, qPrintable(f.last.messages.join("|")));
        const auto before = history(f.b);
        QCOMPARE(int(before.size()), 3);
        c.act(f);
        if (QTest::currentTestFailed()) return;
        c.check(f);
        if (QTest::currentTestFailed()) return;
        const auto after = history(f.b);
        for (const auto& [k, row] : before) {
            auto it = after.find(k);
            QVERIFY2(it != after.end(), qPrintable("gone: " + k));
            QCOMPARE(it->second, row);
        }
    }

    // Questions come back unanswered, with nothing written.
    void questionsWriteNothing() {
        Fx f = base();
        const auto rows = activitySnapshot(*db.conn, copies.activities);
        LineInput l = baseLine();
        l.nettoar = "0";
        l.counts = {};
        l.prices = {};
        auto tx = db.conn->begin();
        LineItemRules r = f.rules();
        Outcome o = r.AddLine(*tx, l, {});
        QCOMPARE(o.question, QString("Biztos, hogy ingyen kapja?"));
        o = r.AddLine(*tx, l, {{"Biztos, hogy ingyen kapja?", false}});
        QCOMPARE(o.question, QString("Biztos, hogy egyik nap sincs karbantartás?"));
        o = r.AddLine(*tx, l, {{"Biztos, hogy ingyen kapja?", false}, {"Biztos, hogy egyik nap sincs karbantartás?", false}});
        tx->commit();
        QCOMPARE(o.messages, QStringList{
                                 "A termékcsoport adatokban az alábbi hibák vannak:\rA bérlet nettó ár rossz\r"
                                 "Határozatlan idejű bérlet bérlet módja esetén valamelyik napra ütemezni kell "
                                 "karbantartást gyakorisága\r"});
        QCOMPARE(activitySnapshot(*db.conn, copies.activities), rows);
    }

    // On the rental tables themselves: a removed item's planned visits are
    // cancelled (its history stays readable), its product is freed, and the
    // contract's header is stamped in the same transaction.
    void onTheRentalTables() {
        ContractFixture c;
        c.bizonylat = 5000;
        LineFixture l;
        l.items = 2;
        c.lines << l;
        {
            auto tx = db.conn->begin();
            insertContract(*tx, c);
            tx->exec("UPDATE OR INSERT INTO ARU (KOD, ARUCSOPORT, ALLAPOT) VALUES ('K5000-1-2', 'ALAP', 'FOG')");
            for (const auto& it : LoadMaintenanceItems(*tx, RentalTables::stored(), c.bizonylat, 1)) {
                ScheduleOptions o;
                o.firstDay = "2026.03.03";
                o.lastDay = "2026.04.30";
                GenerateMaintenanceSchedule(*tx, context(*db.conn), "FORGTEV", {it}, o);
            }
            tx->commit();
        }
        const qint64 planned = db.count("SELECT COUNT(*) FROM FORGTEV WHERE BIZONYLAT = 5000 AND SORSZAM = 2");
        QVERIFY(planned > 0);
        ContractTerms ct;
        ct.bizonylat = c.bizonylat;
        ct.bermod = "HT";
        ct.bermodNev = "Határozatlan idejű bérlet";
        LineItemOptions o;
        o.storedContract = true;
        o.cancelRemoved = true;
        o.today = "2026.03.01";
        auto tx = db.conn->begin();
        LineItemRules r(context(*db.conn), RentalTables::stored(), ct, o);
        const Outcome out = r.DeleteItem(*tx, 1, 2, {{"Biztosan törli az aktuális terméket?", true}});
        tx->commit();
        QVERIFY(out.ok);
        QCOMPARE(db.count("SELECT COUNT(*) FROM FORGTEV WHERE BIZONYLAT = 5000 AND SORSZAM = 2 AND TEVALLAPOT = 'X'"),
                 planned);
        QCOMPARE(db.count("SELECT COUNT(*) FROM FORGKABIN WHERE BIZONYLAT = 5000"), 1);
        QCOMPARE(db.count("SELECT MENNYISEG FROM FORGSOR WHERE BIZONYLAT = 5000"), 1);
        QCOMPARE(db.conn->query("SELECT ALLAPOT FROM ARU WHERE KOD = 'K5000-1-2'").at(0, 0).toString(), QString("SZA"));
        QCOMPARE(db.conn->query("SELECT JUZER FROM FORGFEJ WHERE BIZONYLAT = 5000").at(0, 0).toString(), QString("TESZT"));
    }

    // Every message of the line's checks, in order, and nothing written.
    void badLineInOrder() {
        Fx f = base();
        const auto rows = activitySnapshot(*db.conn, copies.activities);
        LineInput l;
        l.arucsoport = "Nincs 'ilyen' csoport";
        l.kiszall = "2026.02.30";
        l.vszall = "tegnap";
        l.soforkod = "S3";
        l.bermegyseg = "db";
        l.mennyiseg = "0";
        l.bermenny = "x";
        l.nettoar = "-5";
        l.karertek = "-1";
        l.periodus = "-1";
        l.counts = {"1", "", "", "", "", "", ""};
        l.prices = {"", "", "", "", "", "", "700"};
        l.komment = QString(251, QChar(u'é'));
        auto tx = db.conn->begin();
        LineItemRules r = f.rules();
        const Outcome o = r.AddLine(*tx, l, {});
        tx->commit();
        QCOMPARE(o.messages, QStringList{
            "A termékcsoport adatokban az alábbi hibák vannak:\r"
            "A termékcsoport nem létezik\r"
            "Hibás dátum: kiszállítás napja\r"
            "Hibás dátum: visszavétel terv.dátuma\r"
            "A sofőrkód nem létezik vagy nem aktív\r"
            "A mennyiségi egység nem létezik\r"
            "A darabszám értelmetlen\r"
            "A mennyiség értelmetlen\r"
            "A bérlet nettó ár értelmetlen\r"
            "A kárérték értelmetlen\r"
            "A karbantartás gyakorisága értelmetlen\r"
            "Vasárnap: a gyakoriságot és az árat egyszerre kell kitölteni\r"
            "A megjegyzés túl hosszú (legfeljebb 250 karakter)\r"});
        QCOMPARE(activitySnapshot(*db.conn, copies.activities), rows);
        QCOMPARE(db.count(QStringLiteral("SELECT COUNT(*) FROM %1 WHERE BIZONYLAT = :b").arg(copies.lines), {{"b", f.b}}), 1);
    }

    void checkDayFields() {
        const auto m = LineItemRules::CheckDayFields({"-1", "", "10", "2", "", "", ""}, {"", "-5", "", "", "300", "", ""});
        QCOMPARE(m, (QStringList{"Hétfő: a napi gyakoriság értelmetlen", "Kedd: a karbantartás ára értelmetlen",
                                 "Szerda: a napi gyakoriság értelmetlen",
                                 "Péntek: a gyakoriságot és az árat egyszerre kell kitölteni"}));
        QCOMPARE(LineItemRules::PatternOf({"1", "", " 2", "0", "", "", "3"}), QString("1020003"));
    }
};

QTEST_GUILESS_MAIN(TstLineItem)
#include "tst_lineitem.moc"
