// The driver's day on a company known by hand: which rows, grouped how, in
// which order, with which gross; the JSON the phone reads; the version.
#include "DriversFixture.h"
#include "db/SchemaRegistry.h"
#include "drivers/DriverDay.h"

#include <QJsonArray>
#include <QJsonDocument>

using namespace vl::drivers;
using namespace vl::drivers::test;

class TestDriverDay : public QObject {
    Q_OBJECT
    Company co;

    DriverDay read(const QString& driver, const QString& day = kDay) {
        auto tx = co.db.conn->begin(vl::db::TxMode::ReadOnly);
        return ReadDriverDay(*tx, driver, day, 1.27);
    }
    static QString activities(const DaySite& s) {
        QStringList out;
        for (const DayActivity& a : s.activities)
            out << QStringList{a.key, a.code, a.name, a.cabin, a.type, a.state, a.stateName, a.stateClass, a.remark,
                               a.fromPhone ? "telefon" : ""}
                       .join('|');
        return out.join('\n');
    }
    static QString cash(const DaySite& s) {
        QStringList out;
        for (const DayCash& c : s.cash)
            out << QStringList{c.key, QString::number(c.contract), c.from, c.to, QString::number(c.gross), c.state,
                               c.stateName, c.stateClass}
                       .join('|');
        return out.join('\n');
    }

private slots:
    void initTestCase() { co.build(); }

    // S01: three sites by address, customer and site; only the driver's rows of
    // the day on active, not cancelled contracts, the deleted one left out;
    // the cash contract's billing rows as the day sheet lists them.
    void daysRows() {
        const DriverDay d = read("S01");
        QCOMPARE(d.driver, QStringLiteral("S01"));
        QCOMPARE(d.name, QStringLiteral("Kiss Péter"));
        QCOMPARE(d.date, kDay);
        QCOMPARE(d.dayName, QStringLiteral("Csütörtök"));
        QCOMPARE(d.dayKind, QString());
        QCOMPARE(d.sites.size(), 3);

        const DaySite& c1 = d.sites[0];
        QCOMPARE(c1.customer, QStringLiteral("Építő Kft."));
        QCOMPARE(c1.site, QStringLiteral("Fő utca"));
        QCOMPARE(c1.address, QStringLiteral("1051 Budapest, Fő utca 1."));
        QCOMPARE(c1.geo, QStringLiteral("geo:0,0?q=1051%20Budapest%2C%20F%C5%91%20utca%201."));
        QCOMPARE(c1.contact, QStringLiteral("Nagy Anna"));
        QCOMPARE(c1.phone, QStringLiteral("+36 30 123 4567"));
        QCOMPARE(c1.weekendRemark, QStringLiteral("Hétvégén zárva"));
        // The day sheet's order within a site: activity, type, state (E before T).
        QCOMPARE(activities(c1),
                 QStringLiteral("T.101.1.1.2.2026.12.10.1|KA|Karbantartás (ürítés, takarítás)|12|Alap WC kabin|E|"
                                "Elvégezve (fizetve)|N||\n"
                                "T.101.1.1.1.2026.12.10.1|KA|Karbantartás (ürítés, takarítás)|11|Alap WC kabin|T|"
                                "Tervezett|I|Hátsó kapu|"));
        QCOMPARE(cash(c1), QString());
        QCOMPARE(c1.cashGross, 0);

        // The same address, another site: a group of its own; a transfer
        // contract's billing row is not collected.
        const DaySite& c3 = d.sites[1];
        QCOMPARE(c3.site, QStringLiteral("Telep"));
        QCOMPARE(c3.contact, QString());
        QCOMPARE(activities(c3), QStringLiteral("T.104.1.1.1.2026.12.10.1|ATH|Áthelyezés a helyszínen belül|41|"
                                                "Akadálymentes WC kabin|T|Tervezett|I||"));
        QCOMPARE(cash(c3), QString());

        // Cash: the earlier periods still planned (planned again too), the row
        // of the day even paid; not the one paid before, nor S02's; gross per
        // row, the planned ones summed.
        const DaySite& c2 = d.sites[2];
        QCOMPARE(c2.customer, QStringLiteral("Alma Bt."));
        QCOMPARE(c2.address, QStringLiteral("2000 Szentendre, Ady út 5."));
        QCOMPARE(activities(c2), QStringLiteral("T.103.1.1.1.2026.12.10.1|KIH|Kiszállítás|31|"
                                                "Prémium WC kabin kézmosóval|T|Tervezett|I||"));
        QCOMPARE(cash(c2), QStringLiteral("F.103.1.2026.09.01.1|103|2026.09.01|2026.09.30|6350|L|Újra tervezett|i\n"
                                          "F.103.1.2026.12.01.1|103|2026.12.01|2026.12.31|12700|T|Tervezett|I\n"
                                          "F.103.1.2026.12.10.1|103|2026.12.10|2026.12.10|3810|E|Elvégezve (fizetve)|N"));
        QCOMPARE(c2.cashGross, 19050);
        QCOMPARE(d.cashGross, 19050);
    }

    // Another driver sees only its own rows, a site with cash alone too; an
    // inactive or unknown driver has no name; another day has other rows.
    void otherDriversAndDays() {
        const DriverDay s2 = read("S02");
        QCOMPARE(s2.name, QStringLiteral("Nagy Béla"));
        QCOMPARE(s2.sites.size(), 2);
        QCOMPARE(activities(s2.sites[0]), QStringLiteral("T.101.1.1.1.2026.12.10.2|SZK|Rendkívüli szippantás|11|"
                                                         "Alap WC kabin|T|Tervezett|I||"));
        QCOMPARE(s2.sites[1].activities.size(), 0);
        QCOMPARE(cash(s2.sites[1]), QStringLiteral("F.103.1.2026.10.01.1|103|2026.10.01|2026.10.31|8891|T|Tervezett|I"));
        QCOMPARE(s2.cashGross, 8891);

        QCOMPARE(read("S09").name, QString());
        QCOMPARE(read("S09").sites.size(), 0);
        QCOMPARE(read("NINCS").sites.size(), 0);

        // The next day: 101's row and 106's (a cash contract now visited, its
        // planned period with it); 103 is not visited then, its periods stay off.
        const DriverDay next = read("S01", "2026.12.11");
        QCOMPARE(next.dayName, QStringLiteral("Péntek"));
        QCOMPARE(next.sites.size(), 2);
        QCOMPARE(next.sites[0].activities.size(), 1);
        QCOMPARE(next.sites[0].activities[0].key, QStringLiteral("T.101.1.1.1.2026.12.11.1"));
        QCOMPARE(cash(next.sites[1]), QStringLiteral("F.106.1.2026.12.01.1|106|2026.12.01|2026.12.31|5080|T|Tervezett|I"));
        QCOMPARE(next.cashGross, 5080);
        // A day off of the working calendar.
        QCOMPARE(read("S01", "2026.12.25").dayKind, QStringLiteral("Munkaszüneti nap: Karácsony"));
    }

    // The JSON of docs/drivers-api.md.
    void json() {
        const QJsonObject o = read("S01").toJson();
        QCOMPARE(QStringList(o.keys()),
                 (QStringList{"cashGross", "cashGrossText", "date", "dayKind", "dayName", "driver", "name", "sites", "version"}));
        QCOMPARE(o["cashGrossText"].toString(), QStringLiteral("19 050"));
        const QJsonObject site = o["sites"].toArray()[2].toObject();
        QCOMPARE(QStringList(site.keys()), (QStringList{"activities", "address", "cash", "cashGross", "cashGrossText",
                                                        "contact", "customer", "geo", "phone", "site", "weekendRemark"}));
        QCOMPARE(site["cashGross"].toInteger(), 19050);
        const QJsonObject act = site["activities"].toArray()[0].toObject();
        QCOMPARE(QStringList(act.keys()), (QStringList{"cabin", "class", "code", "fromPhone", "images", "key", "name",
                                                       "remark", "signable", "state", "stateName", "type"}));
        QCOMPARE(act["fromPhone"].toBool(true), false);
        QCOMPARE(act["class"].toString(), QStringLiteral("I"));
        const QJsonObject c = site["cash"].toArray()[1].toObject();
        QCOMPARE(QStringList(c.keys()), (QStringList{"class", "contract", "from", "gross", "grossText", "key", "state",
                                                     "stateName", "to"}));
        QCOMPARE(c["contract"].toInteger(), 103);
        QCOMPARE(c["gross"].toInteger(), 12700);
        QCOMPARE(c["grossText"].toString(), QStringLiteral("12 700"));
    }

    // The version: the same for the same day, another for another driver,
    // changed by a shown field, not by one the phone does not show.
    void version() {
        const QString v = read("S01").version;
        QCOMPARE(v.size(), 64);
        QCOMPARE(read("S01").version, v);
        QVERIFY(read("S02").version != v);
        auto set = [&](const QString& sql) {
            auto tx = co.db.conn->begin();
            tx->exec(sql);
            tx->commit();
        };
        set("UPDATE FORGTEV SET MIKOR = '2026.12.09 10:00:00' WHERE BIZONYLAT = 101");
        QCOMPARE(read("S01").version, v);
        set("UPDATE FORGTEV SET KOMMENT = 'Kulcs a portán' WHERE BIZONYLAT = 101 AND DATUM = '2026.12.10' AND SORSZAM = 1"
            " AND TEVSORSZAM = 1");
        const QString v2 = read("S01").version;
        QVERIFY(v2 != v);
        set("UPDATE UGYFELCIM SET TELEFON = '+36 1 111 1111' WHERE KOD = 'C2'");
        QVERIFY(read("S01").version != v2);
        set("UPDATE FORGTEV SET KOMMENT = 'Hátsó kapu' WHERE BIZONYLAT = 101 AND DATUM = '2026.12.10' AND SORSZAM = 1"
            " AND TEVSORSZAM = 1");
        set("UPDATE UGYFELCIM SET TELEFON = '+36 20 555 0000' WHERE KOD = 'C2'");
        QCOMPARE(read("S01").version, v);
    }

    // Where the activities have a source column, a row marked from a phone
    // says so (and the version follows it).
    void fromPhone() {
        const QString v = read("S01").version;
        {
            auto tx = co.db.conn->begin();
            const bool has = vl::db::SchemaRegistry::columnExists(*tx, "FORGTEV", "FORRAS");
            tx->commit();
            if (!has) {
                auto ddl = co.db.conn->begin();
                ddl->exec(QStringLiteral("ALTER TABLE FORGTEV ADD FORRAS VARCHAR(20)"));
                ddl->commit();
            }
        }
        QCOMPARE(read("S01").version, v);
        auto tx = co.db.conn->begin();
        tx->exec(QStringLiteral("UPDATE FORGTEV SET FORRAS = 'telefon' WHERE BIZONYLAT = 101 AND SORSZAM = 2"
                                " AND DATUM = '2026.12.10' AND TEVSORSZAM = 1"));
        tx->commit();
        const DriverDay d = read("S01");
        QCOMPARE(d.sites[0].activities[0].key, QStringLiteral("T.101.1.1.2.2026.12.10.1"));
        QCOMPARE(d.sites[0].activities[0].fromPhone, true);
        QCOMPARE(d.sites[0].activities[1].fromPhone, false);
        QVERIFY(d.version != v);
    }
};

QTEST_GUILESS_MAIN(TestDriverDay)
#include "tst_drivers_day.moc"
