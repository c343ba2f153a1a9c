#include "rental/Schema.h"

#include "customers/CustomerSchema.h"
#include "framework/FrameworkSchema.h"
#include "rental/Seeds.h"

namespace vl::rental {

using vl::db::Connection;
using vl::db::Transaction;

namespace {

// Column types of the house:
//   dates VARCHAR(10), times VARCHAR(8), change stamps VARCHAR(19), years VARCHAR(4),
//   flags VARCHAR(1), codes VARCHAR(10), customer and site keys VARCHAR(20),
//   money BIGINT, counts and numbers INTEGER, rates DOUBLE PRECISION,
//   multi-line texts BLOB SUB_TYPE TEXT.

QStringList version1() {
    QStringList s;

    // ---- VAT rates (read by the contract's money)
    s << QStringLiteral(
        "CREATE TABLE SZ_ADO ("
        " KOD VARCHAR(10) NOT NULL,"
        " NEV VARCHAR(60),"
        " ERTEK DOUBLE PRECISION,"
        " STANDARD VARCHAR(1),"
        " CONSTRAINT PK_SZ_ADO PRIMARY KEY (KOD))");

    // ---- dictionaries of the rental forms
    s << QStringLiteral(
        "CREATE TABLE SZ_BERMOD (KOD VARCHAR(10) NOT NULL, NEV VARCHAR(60), KOTNAP VARCHAR(1),"
        " CONSTRAINT PK_SZ_BERMOD PRIMARY KEY (KOD))");
    s << QStringLiteral(
        "CREATE TABLE SZ_FIZMOD (KOD VARCHAR(10) NOT NULL, NEV VARCHAR(60), KP VARCHAR(1),"
        " CONSTRAINT PK_SZ_FIZMOD PRIMARY KEY (KOD))");
    s << QStringLiteral(
        "CREATE TABLE SZ_ARUCSOP (KOD VARCHAR(10) NOT NULL, NEV VARCHAR(60), M_EGYSEG VARCHAR(10),"
        " KARAR BIGINT, CONSTRAINT PK_SZ_ARUCSOP PRIMARY KEY (KOD))");
    s << QStringLiteral(
        "CREATE TABLE SZ_MEGYSEG (KOD VARCHAR(10) NOT NULL, NEV VARCHAR(60), TIPUS VARCHAR(10),"
        " OSZTO INTEGER, BERSZAMJEL VARCHAR(1), CONSTRAINT PK_SZ_MEGYSEG PRIMARY KEY (KOD))");
    s << QStringLiteral(
        "CREATE TABLE SZ_SOFOR (KOD VARCHAR(10) NOT NULL, NEV VARCHAR(60), AKTIV VARCHAR(1),"
        " CONSTRAINT PK_SZ_SOFOR PRIMARY KEY (KOD))");
    s << QStringLiteral(
        "CREATE TABLE SZ_TEVEKENY (KOD VARCHAR(10) NOT NULL, NEV VARCHAR(60), KEPEZVE VARCHAR(10),"
        " ESETI VARCHAR(1), SORREND INTEGER, CONSTRAINT PK_SZ_TEVEKENY PRIMARY KEY (KOD))");
    s << QStringLiteral(
        "CREATE TABLE SZ_TEVAR (TEVKOD VARCHAR(10) NOT NULL, CSOPKOD VARCHAR(10) NOT NULL,"
        " AR BIGINT, AR1 BIGINT, AR2 BIGINT, AR3 BIGINT, AR4 BIGINT, AR5 BIGINT, AR6 BIGINT, AR7 BIGINT,"
        " CONSTRAINT PK_SZ_TEVAR PRIMARY KEY (TEVKOD, CSOPKOD))");
    // (SZ_IRSZAM: the customers module makes it.)
    s << QStringLiteral(
        "CREATE TABLE SZ_STATUSR (KOD VARCHAR(10) NOT NULL, NEV VARCHAR(60), SZIN VARCHAR(30),"
        " MODOSITHATO VARCHAR(1), CONSTRAINT PK_SZ_STATUSR PRIMARY KEY (KOD))");
    s << QStringLiteral(
        "CREATE TABLE SZ_STATUSK (KOD VARCHAR(10) NOT NULL, NEV VARCHAR(60), SZIN VARCHAR(30),"
        " KIADHATO VARCHAR(1), CONSTRAINT PK_SZ_STATUSK PRIMARY KEY (KOD))");
    s << QStringLiteral(
        "CREATE TABLE SZ_STATUST (KOD VARCHAR(10) NOT NULL, NEV VARCHAR(60), SZIN VARCHAR(30),"
        " MODOSITHATO VARCHAR(1), CONSTRAINT PK_SZ_STATUST PRIMARY KEY (KOD))");
    s << QStringLiteral(
        "CREATE TABLE HKSZCSPSZV (KOD VARCHAR(10) NOT NULL, MEGNEVEZES VARCHAR(100),"
        " CONSTRAINT PK_HKSZCSPSZV PRIMARY KEY (KOD))");

    // (UGYFEL and UGYFELCIM: the customers module makes them.)

    // ---- products (cabins)
    s << QStringLiteral(
        "CREATE TABLE ARU ("
        " KOD VARCHAR(20) NOT NULL,"
        " ARUCSOPORT VARCHAR(10),"
        " ALLAPOT VARCHAR(10),"
        " UGYFEL VARCHAR(20),"
        " CIM VARCHAR(20),"
        " BIZONYLAT INTEGER,"
        " CONSTRAINT PK_ARU PRIMARY KEY (KOD))");
    s << QStringLiteral("CREATE INDEX IX_ARU_ARUCSOPORT ON ARU (ARUCSOPORT)");
    s << QStringLiteral("CREATE INDEX IX_ARU_BIZONYLAT ON ARU (BIZONYLAT)");

    // ---- the rental tables
    s << QStringLiteral(
        "CREATE TABLE FORGFEJ ("
        " BIZONYLAT INTEGER NOT NULL,"
        " VERZIO INTEGER DEFAULT 1 NOT NULL,"
        " AKTIV VARCHAR(1),"
        " STATUS VARCHAR(10),"
        " STATUSELOZO VARCHAR(10),"
        " STVALTKELT VARCHAR(10),"
        " BERMOD VARCHAR(10),"
        " FIZMOD VARCHAR(10),"
        " BERKEZD VARCHAR(10),"
        " BERVEG VARCHAR(10),"
        " UGYFELKOD VARCHAR(20),"
        " UGYFELCIM VARCHAR(20),"
        " SZERZODES VARCHAR(50),"
        " KOMMENT VARCHAR(250),"
        " VEGKOMMENT BLOB SUB_TYPE TEXT,"
        " EV VARCHAR(4),"
        " JUZER VARCHAR(10),"
        " MIKOR VARCHAR(19),"
        " TRANZDATE VARCHAR(10),"
        " TRANZTIME VARCHAR(8),"
        " FOGLALT VARCHAR(20),"
        " VERSION VARCHAR(20),"
        " LASTPRINT VARCHAR(10),"
        " LASTPRINTT VARCHAR(10),"
        " CONSTRAINT PK_FORGFEJ PRIMARY KEY (BIZONYLAT, VERZIO))");
    s << QStringLiteral("CREATE SEQUENCE GEN_FORGFEJ_BIZONYLAT");
    s << QStringLiteral(
        "CREATE TRIGGER FORGFEJ_BI FOR FORGFEJ ACTIVE BEFORE INSERT POSITION 0 AS "
        "BEGIN IF (NEW.BIZONYLAT IS NULL) THEN NEW.BIZONYLAT = NEXT VALUE FOR GEN_FORGFEJ_BIZONYLAT; END");
    s << QStringLiteral("CREATE INDEX IX_FORGFEJ_UGYFEL ON FORGFEJ (UGYFELKOD, UGYFELCIM)");
    s << QStringLiteral("CREATE INDEX IX_FORGFEJ_STATUS ON FORGFEJ (STATUS)");

    s << QStringLiteral(
        "CREATE TABLE FORGSOR ("
        " BIZONYLAT INTEGER NOT NULL,"
        " VERZIO INTEGER DEFAULT 1 NOT NULL,"
        " TETELSOR INTEGER NOT NULL,"
        " ARUCSOPORT VARCHAR(10),"
        " MENNYISEG INTEGER,"
        " VMENNYISEG INTEGER,"
        " M_EGYSEG VARCHAR(10),"
        " BERMENNY INTEGER,"
        " BERMEGYSEG VARCHAR(10),"
        " NETTOAR BIGINT,"
        " MINIMALAR BIGINT,"
        " KARERTEK BIGINT,"
        " KISZALL VARCHAR(10),"
        " VSZALL VARCHAR(10),"
        " VSZALLKELTE VARCHAR(10),"
        " HKSZCSPSZV VARCHAR(10),"
        " KARBAR1 BIGINT, KARBAR2 BIGINT, KARBAR3 BIGINT, KARBAR4 BIGINT,"
        " KARBAR5 BIGINT, KARBAR6 BIGINT, KARBAR7 BIGINT,"
        " PERIODUS INTEGER,"
        " SOFORKOD VARCHAR(10),"
        " KOMMENT VARCHAR(250),"
        " JUZER VARCHAR(10),"
        " MIKOR VARCHAR(19),"
        " CONSTRAINT PK_FORGSOR PRIMARY KEY (BIZONYLAT, VERZIO, TETELSOR))");

    s << QStringLiteral(
        "CREATE TABLE FORGKABIN ("
        " BIZONYLAT INTEGER NOT NULL,"
        " VERZIO INTEGER DEFAULT 1 NOT NULL,"
        " TETELSOR INTEGER NOT NULL,"
        " SORSZAM INTEGER NOT NULL,"
        " ARUKOD VARCHAR(20),"
        " KISZALL VARCHAR(10),"
        " VSZALLT VARCHAR(10),"
        " VSZALL VARCHAR(10),"
        " HKSZCSPSZV VARCHAR(10),"
        " KARBAR1 BIGINT, KARBAR2 BIGINT, KARBAR3 BIGINT, KARBAR4 BIGINT,"
        " KARBAR5 BIGINT, KARBAR6 BIGINT, KARBAR7 BIGINT,"
        " PERIODUS INTEGER,"
        " EGYEDI VARCHAR(1),"
        " SOFORKOD VARCHAR(10),"
        " KOMMENT VARCHAR(250),"
        " JUZER VARCHAR(10),"
        " MIKOR VARCHAR(19),"
        " CONSTRAINT PK_FORGKABIN PRIMARY KEY (BIZONYLAT, VERZIO, TETELSOR, SORSZAM))");
    s << QStringLiteral("CREATE INDEX IX_FORGKABIN_ARUKOD ON FORGKABIN (ARUKOD)");

    s << QStringLiteral(
        "CREATE TABLE FORGTEV ("
        " BIZONYLAT INTEGER NOT NULL,"
        " VERZIO INTEGER DEFAULT 1 NOT NULL,"
        " TETELSOR INTEGER NOT NULL,"
        " SORSZAM INTEGER NOT NULL,"
        " DATUM VARCHAR(10) NOT NULL,"
        " TEVSORSZAM INTEGER NOT NULL,"
        " TEVKOD VARCHAR(10),"
        " ARUKOD VARCHAR(20),"
        " TEVALLAPOT VARCHAR(10),"
        " SOFORKOD VARCHAR(10),"
        " NETTOAR BIGINT,"
        " MENNYISEG INTEGER,"
        " KOMMENT VARCHAR(250),"
        " KEPZETT VARCHAR(1),"
        " DATUM2 VARCHAR(10),"
        " JUZER VARCHAR(10),"
        " MIKOR VARCHAR(19),"
        " CONSTRAINT PK_FORGTEV PRIMARY KEY (BIZONYLAT, VERZIO, TETELSOR, SORSZAM, DATUM, TEVSORSZAM))");
    s << QStringLiteral("CREATE INDEX IX_FORGTEV_DATUM ON FORGTEV (DATUM)");
    s << QStringLiteral("CREATE INDEX IX_FORGTEV_ARUKOD ON FORGTEV (ARUKOD)");
    s << QStringLiteral("CREATE INDEX IX_FORGTEV_TEVKOD ON FORGTEV (TEVKOD, DATUM)");

    s << QStringLiteral(
        "CREATE TABLE FORGFIZ ("
        " BIZONYLAT INTEGER NOT NULL,"
        " VERZIO INTEGER DEFAULT 1 NOT NULL,"
        " DATUM VARCHAR(10) NOT NULL,"
        " TEVSORSZAM INTEGER NOT NULL,"
        " DATUM2 VARCHAR(10),"
        " NETTO BIGINT,"
        " BRUTTO BIGINT,"
        " TEVALLAPOT VARCHAR(10),"
        " TEVKOD VARCHAR(10),"
        " SOFORKOD VARCHAR(10),"
        " KOMMENT VARCHAR(250),"
        " JUZER VARCHAR(10),"
        " MIKOR VARCHAR(19),"
        " CONSTRAINT PK_FORGFIZ PRIMARY KEY (BIZONYLAT, VERZIO, DATUM, TEVSORSZAM))");
    s << QStringLiteral("CREATE INDEX IX_FORGFIZ_DATUM ON FORGFIZ (DATUM)");

    // (The templates of the per-user work tables, TEVNAPLO and MELLEKLET: the
    // operations and the billing modules make them.)
    return s;
}

} // namespace

// The template of the day sheet's work table as step 8 made it (the
// operations module's template now).
QString daySheetTemplate() {
    return QStringLiteral(
        "CREATE TABLE TEVNAPLO ("
        " SELECTED VARCHAR(1),"
        " TSORSZAM INTEGER NOT NULL,"
        " UGYFEL VARCHAR(60),"
        " CIM VARCHAR(400),"
        " DB INTEGER,"
        " TIPUS VARCHAR(60),"
        " TEVNEV VARCHAR(60),"
        " SOFOR VARCHAR(60),"
        " STATUS VARCHAR(60),"
        " TERMEKKODOK BLOB SUB_TYPE TEXT,"
        " NETTO VARCHAR(30),"
        " KOMMENT BLOB SUB_TYPE TEXT,"
        " BIZONYLAT VARCHAR(80),"
        " TEVALLAPOT VARCHAR(10),"
        " UGYFELKOD VARCHAR(20),"
        " UGYFELCIM VARCHAR(20),"
        " MODOSITHATO VARCHAR(1),"
        " TEVKOD VARCHAR(10),"
        " SOFORKOD VARCHAR(10),"
        " SZIN VARCHAR(30),"
        " NETTOFIZ BIGINT,"
        " BRUTTOFIZ BIGINT,"
        " CONSTRAINT PK_TEVNAPLO PRIMARY KEY (TSORSZAM))");
}

namespace {

QList<SchemaStep> buildSteps() {
    QList<SchemaStep> l;
    l.append(SchemaStep{1, QStringLiteral("Alapséma: bérleti táblák, termékek, ügyfelek, szótárak, sablonok"),
                        version1(), {}});
    // Billing periods entered by hand: a regeneration never deletes them, and the
    // periods it writes are cut around them as around paid ones.
    l.append(SchemaStep{2, QStringLiteral("Kézzel rögzített fizetési időszakok jelölése (FORGFIZ.KEZI)"),
                        {QStringLiteral("ALTER TABLE FORGFIZ ADD KEZI VARCHAR(1)")}, {}});
    // The running year opening: one row while a run goes on, naming the
    // connection that runs it, so a second run is refused and a run whose program
    // died does not block the next one.
    l.append(SchemaStep{3, QStringLiteral("Futó évnyitás jelzése (EVNYITAS)"),
                        {QStringLiteral("CREATE TABLE EVNYITAS ("
                                        " KOD VARCHAR(10) NOT NULL,"
                                        " KAPCSOLAT BIGINT,"
                                        " JUZER VARCHAR(10),"
                                        " MIKOR VARCHAR(19),"
                                        " EV VARCHAR(4),"
                                        " CONSTRAINT PK_EVNYITAS PRIMARY KEY (KOD))")},
                        {}});
    // No statement reads the activities by product code or by kind alone (every
    // such read names the contract first, and goes through the key); each of these
    // indexes only cost every write of a visit. The date index stays (day sheet,
    // invoice appendix).
    l.append(SchemaStep{4, QStringLiteral("FORGTEV: a termékkód és a tevékenységkód szerinti index törölve"),
                        {QStringLiteral("DROP INDEX IX_FORGTEV_ARUKOD"), QStringLiteral("DROP INDEX IX_FORGTEV_TEVKOD")},
                        {}});
    // A take-back cancels the item's later planned activities and closes the
    // contract when nothing is left out; its undo restores exactly the rows it
    // cancelled (marked with the take-back's day, number and their old state)
    // and the contract's earlier end (NULL: no take-back closed the contract).
    l.append(SchemaStep{5, QStringLiteral("Visszaszállítás: az általa törölt tevékenységek jelölése, a korábbi bérletvég"),
                        {QStringLiteral("ALTER TABLE FORGTEV ADD VSZTORLES VARCHAR(30)"),
                         QStringLiteral("ALTER TABLE FORGFEJ ADD BERVEGELOZO VARCHAR(10)")},
                        {}});
    // The rental lookup finds customers by a prefix of the name whatever the
    // case and the accents; the index of the same expression serves it.
    // The customers module makes this index now (it runs first, on a new
    // database and on an old one alike); the step keeps its number.
    l.append(SchemaStep{6, QStringLiteral("Ügyfélnév szerinti keresés indexe (az ügyfelek modulja készíti)"), {},
                        [](Transaction&) {}});
    // The invoice appendix writes every done priced visit as a row of its own,
    // so two visits alike in every column are two rows: the template keeps no
    // key. The weekly unit is priced per week(s) (mark "W"), as cash billing
    // charges it, not once for the whole rental.
    // The template is the billing module's now: a new database gets it without
    // a key from there, so only an older one's template loses its key here.
    l.append(SchemaStep{7, QStringLiteral("Számla melléklet: a sablon kulcs nélkül, a heti egység számlázási jele"), {},
                        [](Transaction& tx) {
                            if (!tx.query(QStringLiteral("SELECT 1 FROM RDB$RELATION_CONSTRAINTS"
                                                         " WHERE RDB$CONSTRAINT_NAME = 'PK_MELLEKLET'"))
                                     .isEmpty())
                                tx.exec(QStringLiteral("ALTER TABLE MELLEKLET DROP CONSTRAINT PK_MELLEKLET"));
                            tx.exec(QStringLiteral(
                                "UPDATE SZ_MEGYSEG SET BERSZAMJEL = 'W' WHERE KOD = 'Hét' AND BERSZAMJEL = 'A'"));
                        }});
    // The day sheet's work table holds whatever a driver is shown whole: the
    // remark (every unpaid period and the typed remark) and the cabin numbers
    // as texts without a limit, the address with its site remark in full. The
    // template holds no rows; the work tables made from it before keep their
    // old shape until their session ends.
    // The template is the operations module's now: a new database gets it in
    // this shape from there, so only an older one's template is made anew here.
    l.append(SchemaStep{8, QStringLiteral("Tevékenységi napló munkatáblája: a megjegyzés és a kabinszámok csonkítás nélkül"),
                        {}, [](Transaction& tx) {
                            if (!vl::db::SchemaRegistry::tableExists(tx, QStringLiteral("TEVNAPLO"))) return;
                            tx.exec(QStringLiteral("DROP TABLE TEVNAPLO"));
                            tx.exec(daySheetTemplate());
                        }});
    // A cabin brought in from a spreadsheet keeps the remark the file gave it.
    l.append(SchemaStep{9, QStringLiteral("Termékek: megjegyzés (ARU.MEGJEGYZES)"),
                        {QStringLiteral("ALTER TABLE ARU ADD MEGJEGYZES VARCHAR(250)")}, {}});
    // The working calendar: holidays, moved working days and the company's
    // closed days (SZ_NAPTAR); a line's own rule for visits on a day off
    // (NULL: the company's); the day a generated visit was moved from.
    l.append(SchemaStep{10, QStringLiteral("Munkanap naptár (SZ_NAPTAR), a tétel naptárszabálya, az áthelyezett látogatás eredeti napja"),
                        {QStringLiteral("CREATE TABLE SZ_NAPTAR ("
                                        " DATUM VARCHAR(10) NOT NULL,"
                                        " FAJTA VARCHAR(1) NOT NULL,"
                                        " HELYETT VARCHAR(10),"
                                        " NEV VARCHAR(60),"
                                        " CONSTRAINT PK_SZ_NAPTAR PRIMARY KEY (DATUM))"),
                         QStringLiteral("ALTER TABLE FORGSOR ADD NAPTARSZABALY VARCHAR(1)"),
                         QStringLiteral("ALTER TABLE FORGTEV ADD EREDETINAP VARCHAR(10)")},
                        {}});
    // Pictures kept with an activity: photos from the site, the receiver's
    // signature and name (FORGKEP), keyed by the activity.
    l.append(SchemaStep{11, QStringLiteral("Tevékenységek képei: fényképek és az átvevő aláírása (FORGKEP)"),
                        {QStringLiteral("CREATE TABLE FORGKEP ("
                                        " ID INTEGER NOT NULL,"
                                        " BIZONYLAT INTEGER NOT NULL,"
                                        " VERZIO INTEGER NOT NULL,"
                                        " TETELSOR INTEGER NOT NULL,"
                                        " SORSZAM INTEGER NOT NULL,"
                                        " DATUM VARCHAR(10) NOT NULL,"
                                        " TEVSORSZAM INTEGER NOT NULL,"
                                        " FAJTA VARCHAR(1) NOT NULL,"
                                        " ATVEVO VARCHAR(60),"
                                        " TIPUS VARCHAR(20) NOT NULL,"
                                        " KEP BLOB SUB_TYPE 0 NOT NULL,"
                                        " MERET INTEGER NOT NULL,"
                                        " SZELES INTEGER,"
                                        " MAGAS INTEGER,"
                                        " HASH VARCHAR(64) NOT NULL,"
                                        " SOFORKOD VARCHAR(10),"
                                        " KERES VARCHAR(64),"
                                        " JUZER VARCHAR(10),"
                                        " MIKOR VARCHAR(19),"
                                        " CONSTRAINT PK_FORGKEP PRIMARY KEY (ID))"),
                         QStringLiteral("CREATE INDEX IX_FORGKEP_TEV ON FORGKEP (BIZONYLAT, VERZIO, TETELSOR, SORSZAM, DATUM, TEVSORSZAM)"),
                         QStringLiteral("CREATE INDEX IX_FORGKEP_DATUM ON FORGKEP (DATUM)"),
                         QStringLiteral("CREATE UNIQUE INDEX UX_FORGKEP_KERES ON FORGKEP (SOFORKOD, KERES)"),
                         QStringLiteral("CREATE SEQUENCE GEN_FORGKEP_ID")},
                        {}});
    // The deliveries and take-backs of a window by their kind and day: an
    // index of the expression TEVKOD || '|' || DATUM, which only the
    // statements that spell that expression use (the overview's deliveries
    // still planned since a year back, a week's take-backs); every other
    // read of the activities keeps its plan (a plain index on the kind was
    // dropped in step 4 because reads by the contract's key took it).
    l.append(SchemaStep{12, QStringLiteral("FORGTEV: szállítások és visszaszállítások indexe (tevékenységkód és nap)"),
                        {QStringLiteral("CREATE INDEX IX_FORGTEV_FUVAR ON FORGTEV COMPUTED BY ((TEVKOD || '|' || DATUM) COLLATE UCS_BASIC)")},
                        {}});
    // Later versions are appended here, never changed once released.
    return l;
}

} // namespace

const QList<SchemaStep>& Schema::steps() {
    static const QList<SchemaStep> s = buildSteps();
    return s;
}

int Schema::latestVersion() { return steps().isEmpty() ? 0 : steps().last().version; }

vl::db::SchemaModule Schema::module() {
    vl::db::SchemaModule m;
    m.name = moduleName();
    m.dependsOn = {QStringLiteral("shell"), QStringLiteral("framework"), QStringLiteral("customers")};
    m.steps = steps();
    m.seed = [](Transaction& tx, const vl::db::SeedOptions& o) {
        return Seeds::apply(tx, o.year,
                            o.scope == vl::db::SeedScope::All ? Seeds::Scope::All : Seeds::Scope::Required);
    };
    m.markerTables = {QStringLiteral("FORGFEJ")};
    // The steps of the single list are this module's steps, numbered alike
    // (its first step also created the shell's and the framework's tables).
    m.fromSingleVersion = [](int old) { return old; };
    return m;
}

void registerSchema(vl::db::SchemaRegistry& registry) {
    vl::customers::registerSchema(registry); // the shell's, the framework's and the customers' modules
    registry.add(Schema::module());
}

namespace {
QList<QPair<QString, std::function<void(vl::db::SchemaRegistry&)>>>& upperSchemas() {
    static QList<QPair<QString, std::function<void(vl::db::SchemaRegistry&)>>> l;
    return l;
}
} // namespace

void addUpperSchema(const QString& library, const std::function<void(vl::db::SchemaRegistry&)>& registerModules) {
    for (const auto& u : upperSchemas())
        if (u.first == library) return;
    upperSchemas().append({library, registerModules});
}

vl::db::SchemaModule templateModule(const QString& name, const QString& title, const QString& table,
                                    const QStringList& statements) {
    vl::db::SchemaModule m;
    m.name = name;
    m.dependsOn = {Schema::moduleName()};
    m.steps.append(vl::db::SchemaRegistry::missingTableStep(1, title, table, statements));
    // Later versions are appended by the owner, never changed once released.
    return m;
}

void registerProgramSchema(vl::db::SchemaRegistry& registry) {
    registerSchema(registry);
    for (const auto& u : upperSchemas()) u.second(registry);
}

vl::db::SchemaRegistry Schema::registry() {
    vl::db::SchemaRegistry r;
    registerProgramSchema(r);
    return r;
}

QStringList Schema::rentalTables() {
    return {QStringLiteral("FORGFEJ"), QStringLiteral("FORGSOR"), QStringLiteral("FORGKABIN"),
            QStringLiteral("FORGTEV"), QStringLiteral("FORGFIZ")};
}

bool Schema::tableExists(Transaction& tx, const QString& table) {
    return vl::db::SchemaRegistry::tableExists(tx, table);
}

int Schema::currentVersion(Connection& conn) { return registry().currentVersion(conn, moduleName()); }

int Schema::upgrade(Connection& conn, const std::function<void(const SchemaStep&)>& progress) {
    return upgrade(conn, steps(), progress);
}

int Schema::upgrade(Connection& conn, const QList<SchemaStep>& list,
                    const std::function<void(const SchemaStep&)>& progress) {
    vl::db::SchemaRegistry r = registry();
    r.setSteps(moduleName(), list);
    return r.upgrade(conn, [&](const vl::db::SchemaModule&, const SchemaStep& s) {
        if (progress) progress(s);
    });
}

} // namespace vl::rental
