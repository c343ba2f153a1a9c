#pragma once
// A fresh database made from the shell's and the framework's schema modules
// and a module of the tests' own, adopted as the program's connection d_alap,
// user TVN with rights "W".
//
// The framework serves the dictionary forms of the tree, so its tests need
// dictionary tables: the tests' module declares small ones under the names the
// forms and the control-table seeds know (a driver, a unit, a product group
// with its prices, ...), a customer table for the list builder and a contract
// line that names a driver, with a few rows. The framework's seeds then give
// them their panels, as they do in the program. Tests that link the whole
// program pass its registration instead (create(name, vl::rental::registerSchema)).
#include "db/Database.h"
#include "db/SchemaRegistry.h"
#include "framework/ControlSeeds.h"
#include "framework/FrameworkSchema.h"
#include "shell/Dm.h"
#include "shell/Session.h"
#include "util/MessageSink.h"

#include <QLocale>
#include <QTemporaryDir>
#include <QtTest>
#include <functional>

namespace fwtest {

inline vl::db::SchemaModule testModule() {
    vl::db::SchemaModule m;
    m.name = QStringLiteral("fwtest");
    m.dependsOn = {QStringLiteral("framework")};
    QStringList s;
    s << QStringLiteral("CREATE TABLE SZ_ADO (KOD VARCHAR(10) NOT NULL, NEV VARCHAR(60), ERTEK DOUBLE PRECISION,"
                        " STANDARD VARCHAR(1), CONSTRAINT PK_SZ_ADO PRIMARY KEY (KOD))")
      << QStringLiteral("CREATE TABLE SZ_BERMOD (KOD VARCHAR(10) NOT NULL, NEV VARCHAR(60), KOTNAP VARCHAR(1),"
                        " CONSTRAINT PK_SZ_BERMOD PRIMARY KEY (KOD))")
      << QStringLiteral("CREATE TABLE SZ_FIZMOD (KOD VARCHAR(10) NOT NULL, NEV VARCHAR(60), KP VARCHAR(1),"
                        " CONSTRAINT PK_SZ_FIZMOD PRIMARY KEY (KOD))")
      << QStringLiteral("CREATE TABLE SZ_ARUCSOP (KOD VARCHAR(10) NOT NULL, NEV VARCHAR(60), M_EGYSEG VARCHAR(10),"
                        " KARAR BIGINT, CONSTRAINT PK_SZ_ARUCSOP PRIMARY KEY (KOD))")
      << QStringLiteral("CREATE TABLE SZ_MEGYSEG (KOD VARCHAR(10) NOT NULL, NEV VARCHAR(60), TIPUS VARCHAR(10),"
                        " OSZTO INTEGER, BERSZAMJEL VARCHAR(1), CONSTRAINT PK_SZ_MEGYSEG PRIMARY KEY (KOD))")
      << QStringLiteral("CREATE TABLE SZ_SOFOR (KOD VARCHAR(10) NOT NULL, NEV VARCHAR(60), AKTIV VARCHAR(1),"
                        " CONSTRAINT PK_SZ_SOFOR PRIMARY KEY (KOD))")
      << QStringLiteral("CREATE TABLE SZ_TEVEKENY (KOD VARCHAR(10) NOT NULL, NEV VARCHAR(60), KEPEZVE VARCHAR(10),"
                        " ESETI VARCHAR(1), SORREND INTEGER, CONSTRAINT PK_SZ_TEVEKENY PRIMARY KEY (KOD))")
      << QStringLiteral("CREATE TABLE SZ_TEVAR (TEVKOD VARCHAR(10) NOT NULL, CSOPKOD VARCHAR(10) NOT NULL,"
                        " AR BIGINT, AR1 BIGINT, AR2 BIGINT, AR3 BIGINT, AR4 BIGINT, AR5 BIGINT, AR6 BIGINT,"
                        " AR7 BIGINT, CONSTRAINT PK_SZ_TEVAR PRIMARY KEY (TEVKOD, CSOPKOD))")
      << QStringLiteral("CREATE TABLE SZ_IRSZAM (KOD VARCHAR(10) NOT NULL, NEV VARCHAR(40),"
                        " CONSTRAINT PK_SZ_IRSZAM PRIMARY KEY (KOD))")
      << QStringLiteral("CREATE TABLE SZ_STATUSR (KOD VARCHAR(10) NOT NULL, NEV VARCHAR(60), SZIN VARCHAR(30),"
                        " MODOSITHATO VARCHAR(1), CONSTRAINT PK_SZ_STATUSR PRIMARY KEY (KOD))")
      << QStringLiteral("CREATE TABLE SZ_STATUSK (KOD VARCHAR(10) NOT NULL, NEV VARCHAR(60), SZIN VARCHAR(30),"
                        " KIADHATO VARCHAR(1), CONSTRAINT PK_SZ_STATUSK PRIMARY KEY (KOD))")
      << QStringLiteral("CREATE TABLE SZ_STATUST (KOD VARCHAR(10) NOT NULL, NEV VARCHAR(60), SZIN VARCHAR(30),"
                        " MODOSITHATO VARCHAR(1), CONSTRAINT PK_SZ_STATUST PRIMARY KEY (KOD))")
      << QStringLiteral("CREATE TABLE HKSZCSPSZV (KOD VARCHAR(10) NOT NULL, MEGNEVEZES VARCHAR(100),"
                        " CONSTRAINT PK_HKSZCSPSZV PRIMARY KEY (KOD))")
      << QStringLiteral("CREATE TABLE UGYFEL (KOD VARCHAR(20) NOT NULL, NEV VARCHAR(60), NEV2 VARCHAR(60),"
                        " ORSZAG VARCHAR(30), IRSZAM VARCHAR(10), VAROS VARCHAR(40), UTCA VARCHAR(50),"
                        " TELEFON VARCHAR(50), MOBILTEL VARCHAR(50), EMAIL VARCHAR(60), WWW VARCHAR(60),"
                        " ADOSZAM VARCHAR(50), FIZMOD VARCHAR(10), FIZHATIDO INTEGER, VEVO VARCHAR(1),"
                        " SZALLITO VARCHAR(1), AKTIV VARCHAR(1), KOMMENTALT BLOB SUB_TYPE TEXT,"
                        " CONSTRAINT PK_UGYFEL PRIMARY KEY (KOD))")
      // A contract line naming a driver: the reference a dictionary row's delete must respect.
      << QStringLiteral("CREATE TABLE FORGSOR (BIZONYLAT INTEGER NOT NULL, VERZIO INTEGER DEFAULT 1 NOT NULL,"
                        " TETELSOR INTEGER NOT NULL, ARUCSOPORT VARCHAR(10), SOFORKOD VARCHAR(10),"
                        " CONSTRAINT PK_FORGSOR PRIMARY KEY (BIZONYLAT, VERZIO, TETELSOR))");
    m.steps.append({1, QStringLiteral("A keretrendszer próbatáblái"), s, {}});
    m.seed = [](vl::db::Transaction& tx, const vl::db::SeedOptions& o) {
        const QStringList rows{
            QStringLiteral("INSERT INTO SZ_ADO VALUES ('27', 'Általános adókulcs (27 %)', 0.27, 'I')"),
            QStringLiteral("INSERT INTO SZ_ADO VALUES ('0', 'Adómentes', 0, 'N')"),
            QStringLiteral("INSERT INTO SZ_BERMOD VALUES ('HT', 'Határozatlan idejű bérlet', 'N')"),
            QStringLiteral("INSERT INTO SZ_BERMOD VALUES ('ALK', 'Alkalmi bérlet (rendezvény)', 'I')"),
            QStringLiteral("INSERT INTO SZ_FIZMOD VALUES ('KP', 'Készpénz', 'I')"),
            QStringLiteral("INSERT INTO SZ_FIZMOD VALUES ('ATU', 'Átutalás', 'N')"),
            QStringLiteral("INSERT INTO SZ_MEGYSEG VALUES ('db', 'darab', 'M', 1, '')"),
            QStringLiteral("INSERT INTO SZ_MEGYSEG VALUES ('Hét', 'hét', 'R', 7, 'A')"),
            QStringLiteral("INSERT INTO SZ_MEGYSEG VALUES ('Hó', 'hónap', 'R', 30, 'H')"),
            // Five product groups counted in 'db': the unit that rows name.
            QStringLiteral("INSERT INTO SZ_ARUCSOP VALUES ('ALAP', 'Alap WC kabin', 'db', 250000)"),
            QStringLiteral("INSERT INTO SZ_ARUCSOP VALUES ('VIP', 'Prémium WC kabin kézmosóval', 'db', 450000)"),
            QStringLiteral("INSERT INTO SZ_ARUCSOP VALUES ('AKM', 'Akadálymentes WC kabin', 'db', 600000)"),
            QStringLiteral("INSERT INTO SZ_ARUCSOP VALUES ('ZUH', 'Zuhanykabin', 'db', 700000)"),
            QStringLiteral("INSERT INTO SZ_ARUCSOP VALUES ('Ek', 'Egyéb kiegészítő', 'db', 50000)"),
            QStringLiteral("INSERT INTO SZ_TEVEKENY VALUES ('KIH', 'Kiszállítás', 'UJTCS', 'I', 1)"),
            QStringLiteral("INSERT INTO SZ_TEVEKENY VALUES ('KA', 'Karbantartás', 'KISZE', 'I', 3)"),
            QStringLiteral("INSERT INTO SZ_TEVEKENY VALUES ('VSZ', 'Visszaszállítás', 'HISZ', 'I', 4)"),
            QStringLiteral("INSERT INTO SZ_TEVEKENY VALUES ('EKI', 'Első takarítás kihelyezéskor', '-', 'I', 2)"),
            QStringLiteral("INSERT INTO SZ_TEVEKENY VALUES ('SZK', 'Rendkívüli szippantás', '-', 'I', 5)"),
            QStringLiteral("INSERT INTO SZ_TEVAR (TEVKOD, CSOPKOD, AR) VALUES ('KIH', 'ALAP', 8000)"),
            QStringLiteral("INSERT INTO SZ_TEVAR (TEVKOD, CSOPKOD, AR) VALUES ('KA', 'ALAP', 4500)"),
            // The five prices of one group, as the group's price button lists them.
            QStringLiteral("INSERT INTO SZ_TEVAR (TEVKOD, CSOPKOD, AR) VALUES ('KIH', 'VIP', 10000)"),
            QStringLiteral("INSERT INTO SZ_TEVAR (TEVKOD, CSOPKOD, AR) VALUES ('VSZ', 'VIP', 10000)"),
            QStringLiteral("INSERT INTO SZ_TEVAR (TEVKOD, CSOPKOD, AR, AR6, AR7) VALUES ('KA', 'VIP', 6000, 8000, 8000)"),
            QStringLiteral("INSERT INTO SZ_TEVAR (TEVKOD, CSOPKOD, AR) VALUES ('EKI', 'VIP', 3000)"),
            QStringLiteral("INSERT INTO SZ_TEVAR (TEVKOD, CSOPKOD, AR) VALUES ('SZK', 'VIP', 9000)"),
            QStringLiteral("INSERT INTO SZ_IRSZAM VALUES ('1117', 'Budapest')"),
            QStringLiteral("INSERT INTO SZ_IRSZAM VALUES ('2030', 'Érd')"),
            QStringLiteral("INSERT INTO SZ_IRSZAM VALUES ('9021', 'Győr')"),
            QStringLiteral("INSERT INTO SZ_STATUSR VALUES ('FO', 'Folyamatban', 'ZÖLD', 'I')"),
            QStringLiteral("INSERT INTO SZ_STATUSR VALUES ('LEZ', 'Lezárt', 'SZÜRKE', 'N')"),
            QStringLiteral("INSERT INTO SZ_STATUSK VALUES ('SZA', 'Szabad', 'ZÖLD', 'I')"),
            QStringLiteral("INSERT INTO SZ_STATUSK VALUES ('FOG', 'Foglalt', 'FEKETE', 'N')"),
            QStringLiteral("INSERT INTO SZ_STATUST VALUES ('T', 'Tervezett', 'FAKÓZÖLD', 'I')"),
            QStringLiteral("INSERT INTO SZ_STATUST VALUES ('E', 'Elvégezve (fizetve)', 'FEHÉR', 'N')"),
            QStringLiteral("INSERT INTO SZ_STATUST VALUES ('X', 'Törölt', 'PIROS', 'X')"),
            QStringLiteral("INSERT INTO HKSZCSPSZV VALUES ('0000000', '')"),
            QStringLiteral("INSERT INTO HKSZCSPSZV VALUES ('1010100', 'Hétfő,Szerda,Péntek')"),
        };
        for (const QString& sql : rows) tx.exec(sql);
        tx.exec(QStringLiteral("INSERT INTO CEG (KOD, NEV, IRSZAM, VAROS, AKTUALISEV, NYOMTPELD)"
                               " VALUES ('VL', 'Próba Kft.', '1117', 'Budapest', :ev, 2)"),
                {{QStringLiteral("ev"), o.year}});
        return int(rows.size()) + 1;
    };
    return m;
}

// The shell's and the framework's modules and the tests' own.
inline void registerTestSchema(vl::db::SchemaRegistry& r) {
    vl::framework::registerSchema(r);
    r.add(testModule());
}

class Db {
public:
    QTemporaryDir dir;
    QString path;
    // The connection goes before the directory that holds its file and locks.
    ~Db() { vl::shell::dm().disconnect(); }

    bool create(const QString& name = QStringLiteral("fw.fdb"),
                const std::function<void(vl::db::SchemaRegistry&)>& registerModules = registerTestSchema) {
        if (!dir.isValid()) return false;
        // The test's database is its own: so is the engine's lock directory,
        // and no other process of the machine can hold the test up.
        if (qEnvironmentVariableIsEmpty("FIREBIRD_LOCK")) {
            QDir().mkpath(dir.filePath(QStringLiteral("lock")));
            qputenv("FIREBIRD_LOCK", QFile::encodeName(dir.filePath(QStringLiteral("lock"))));
        }
        vl::db::prepareEmbeddedEngine();
        path = dir.filePath(name);
        vl::db::ConnectParams p;
        p.database = path;
        auto conn = vl::db::createFirebirdDatabase(p);
        vl::db::SchemaRegistry registry;
        registerModules(registry);
        registry.upgrade(*conn);
        auto tx = conn->begin();
        registry.seed(*tx, {QStringLiteral("2026"), vl::db::SeedScope::All});
        tx->commit();
        auto& dm = vl::shell::dm();
        dm.adopt(std::move(conn));
        dm.CurrentUserCode = QStringLiteral("TVN");
        dm.CurrentUserName = QStringLiteral("TARVON");
        dm.CurrentUserRights = QStringLiteral("W");
        return dm.isConnected();
    }
    static vl::db::Connection& conn() { return vl::shell::dm().d_alap(); }
    static qint64 count(const QString& sql, const vl::db::Params& p = {}) {
        const auto rs = conn().query(sql, p);
        return rs.isEmpty() ? -1 : rs.at(0, 0).toLongLong();
    }
    static QString text(const QString& sql, const vl::db::Params& p = {}) {
        auto rs = conn().query(sql, p);
        return rs.next() ? rs.value(0).toString() : QStringLiteral("<nincs>");
    }
    static qint64 dokuCount() { return count(QStringLiteral("SELECT COUNT(*) FROM DOKU")); }
};

// The session of the test's user (the identity Db::create sets on d_alap).
inline vl::shell::Session session() { return vl::shell::dm().session(); }

} // namespace fwtest
