#pragma once
// The rental module's steps as the program had them while rental still made
// the templates of billing's and operations' work tables (MELLEKLET, TEVNAPLO)
// and the postal codes (SZ_IRSZAM). Kept as they were released, so that the
// tests can make the databases that program made and upgrade them.
#include "rental/Schema.h"

#include <QList>
#include <QStringList>

namespace vl::rental::test::previous {

// The customers module's steps that program had.
constexpr int kCustomersVersion = 3;

inline QStringList version1() {
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
    s << QStringLiteral(
        "CREATE TABLE SZ_IRSZAM (KOD VARCHAR(10) NOT NULL, NEV VARCHAR(40),"
        " CONSTRAINT PK_SZ_IRSZAM PRIMARY KEY (KOD))");
    s << QStringLiteral("CREATE INDEX IX_SZ_IRSZAM_NEV ON SZ_IRSZAM (NEV)");
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

    // ---- templates of the per-user work tables
    s << QStringLiteral(
        "CREATE TABLE TEVNAPLO ("
        " SELECTED VARCHAR(1),"
        " TSORSZAM INTEGER NOT NULL,"
        " UGYFEL VARCHAR(60),"
        " CIM VARCHAR(250),"
        " DB INTEGER,"
        " TIPUS VARCHAR(60),"
        " TEVNEV VARCHAR(60),"
        " SOFOR VARCHAR(60),"
        " STATUS VARCHAR(60),"
        " TERMEKKODOK VARCHAR(250),"
        " NETTO VARCHAR(30),"
        " KOMMENT VARCHAR(250),"
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
    // One row per cabin and period (rental rows) or per done priced activity;
    // the key tells them apart by item, date, kind, unit price and quantity.
    s << QStringLiteral(
        "CREATE TABLE MELLEKLET ("
        " BIZONYLAT INTEGER NOT NULL,"
        " VERZIO INTEGER NOT NULL,"
        " BERKEZD VARCHAR(10),"
        " BERVEG VARCHAR(10),"
        " UGYFELKOD VARCHAR(20),"
        " UGYFELCIM VARCHAR(20),"
        " BERSZAMJEL VARCHAR(1),"
        " FIZMOD VARCHAR(60),"
        " NETTOERTEK BIGINT,"
        " UGYFELNEV VARCHAR(60),"
        " CIMNEV VARCHAR(60),"
        " CIM VARCHAR(250),"
        " KABINTIPUS VARCHAR(60),"
        " KISZALL VARCHAR(10) NOT NULL,"
        " VSZALL VARCHAR(10),"
        " ARUKOD VARCHAR(20),"
        " NETTOAR BIGINT,"
        " BERMENNY INTEGER NOT NULL,"
        " BERMEGYSEG VARCHAR(10),"
        " SORSZAM INTEGER NOT NULL,"
        " LASTPRINT VARCHAR(10),"
        " TEVEKENYSEG VARCHAR(60) NOT NULL,"
        " EGYSEGAR DOUBLE PRECISION NOT NULL,"
        " ELSZNAP INTEGER,"
        " MINIMALAR BIGINT,"
        " MINARSZAMOL VARCHAR(1),"
        " TETELSOR INTEGER NOT NULL,"
        " DATUMTOL VARCHAR(10),"
        " DATUMIG VARCHAR(10),"
        " LASTPRINTT VARCHAR(10),"
        " CONSTRAINT PK_MELLEKLET PRIMARY KEY"
        " (BIZONYLAT, VERZIO, TETELSOR, SORSZAM, KISZALL, TEVEKENYSEG, EGYSEGAR, BERMENNY))");
    return s;
}

// The template of the day sheet's work table as it is now (step 8).
inline QString daySheetTemplate() {
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

inline QList<SchemaStep> steps() {
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
    l.append(SchemaStep{6, QStringLiteral("Ügyfélnév szerinti keresés indexe (kis- és nagybetű, ékezet nélkül)"),
                        {QStringLiteral("CREATE INDEX IX_UGYFEL_NEV_KERES ON UGYFEL COMPUTED BY (NEV COLLATE UNICODE_CI_AI)")},
                        {}});
    // The invoice appendix writes every done priced visit as a row of its own,
    // so two visits alike in every column are two rows: the template keeps no
    // key. The weekly unit is priced per week(s) (mark "W"), as cash billing
    // charges it, not once for the whole rental.
    l.append(SchemaStep{7, QStringLiteral("Számla melléklet: a sablon kulcs nélkül, a heti egység számlázási jele"),
                        {QStringLiteral("ALTER TABLE MELLEKLET DROP CONSTRAINT PK_MELLEKLET"),
                         QStringLiteral("UPDATE SZ_MEGYSEG SET BERSZAMJEL = 'W' WHERE KOD = 'Hét' AND BERSZAMJEL = 'A'")},
                        {}});
    // The day sheet's work table holds whatever a driver is shown whole: the
    // remark (every unpaid period and the typed remark) and the cabin numbers
    // as texts without a limit, the address with its site remark in full. The
    // template holds no rows; the work tables made from it before keep their
    // old shape until their session ends.
    l.append(SchemaStep{8, QStringLiteral("Tevékenységi napló munkatáblája: a megjegyzés és a kabinszámok csonkítás nélkül"),
                        {QStringLiteral("DROP TABLE TEVNAPLO"), daySheetTemplate()},
                        {}});
    // Later versions are appended here, never changed once released.
    return l;
}

} // namespace vl::rental::test::previous
