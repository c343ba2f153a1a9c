#include "framework/ControlSeeds.h"

#include <QSet>
#include <QVariant>
#include <algorithm>
#include <vector>

namespace vl::framework {

using vl::db::Params;
using vl::db::Transaction;

namespace {

// One field definition of a seeded panel.
struct F {
    QString mezo, megnevezes, oszlopnev;
    int valid = 0;
    QString button, szot, valt, valtMezo;
    int funkcio = 0;
    QString pvezerlo, szotwhere, szotmezo;
    QString pf1;
    int pf1h = 0;
    QString charcase, pwdchar, editmask, notnull;
    bool late = false;   // came after the panel: joins an existing panel through applyPanel()

    F& col(const char* t) { oszlopnev = QString::fromUtf8(t); return *this; }
    F& req() { notnull = QStringLiteral("I"); return *this; }
    F& upper() { charcase = QStringLiteral("U"); return *this; }
    F& check(int v) { valid = v; return *this; }
    F& cycle(const char* values) { button = QString::fromUtf8(values); funkcio = 0; return *this; }
    F& dict(const char* table, const char* info = nullptr, int infoWidth = 24) {
        button = QStringLiteral("SZOT");
        szot = QString::fromLatin1(table);
        if (info) { pf1 = QString::fromUtf8(info); pf1h = infoWidth; }
        return *this;
    }
    F& mask(const char* m) { editmask = QString::fromUtf8(m); return *this; }
    F& pwd() { pwdchar = QStringLiteral("*"); return *this; }
    F& joinsLater() { late = true; return *this; }
};

F f(const char* mezo, const char* caption) {
    F x;
    x.mezo = QString::fromLatin1(mezo);
    x.megnevezes = QString::fromUtf8(caption);
    return x;
}

struct Panel {
    QString table;
    QString caption;
    QString viewRights, writeRights;
    QList<F> fields;
    QList<QPair<QString, QString>> defaults; // DIFOLC: field, value
    bool late = false;  // came after the first release: a new database, or applyPanel()
};

QList<Panel> panels() {
    QList<Panel> l;
    auto code = [] { return f("KOD", "Kód").col("Kód").req(); };
    auto name = [] { return f("NEV", "Megnevezés").col("Megnevezés").req(); };
    auto colour = [] { return f("SZIN", "Szín neve (pl. PIROS)").col("Szín").upper(); };

    // Product groups, with the button that opens the group's activity prices.
    {
        Panel p{QStringLiteral("SZ_ARUCSOP"), QStringLiteral("Termék csoportok"), {}, {}, {}, {}};
        p.fields << code() << name()
                 << f("M_EGYSEG", "Mennyiségi egység").col("Egység").dict("SZ_MEGYSEG", "SZ_MEGYSEG.NEV,KOD=M_EGYSEG", 16)
                 << f("KARAR", "Kártérítési érték (Ft)").col("Kártérítés");
        F prices;
        prices.megnevezes = QStringLiteral("Tevékenységek árai");
        prices.button = QStringLiteral("VALT");
        prices.valt = QStringLiteral("SZ_TEVAR");
        prices.valtMezo = QStringLiteral("CSOPKOD");
        prices.szotwhere = QStringLiteral("CSOPKOD=#KOD");
        prices.funkcio = 1;
        p.fields << prices;
        l << p;
    }
    {
        Panel p{QStringLiteral("SZ_SOFOR"), QStringLiteral("Gépkocsivezetők"), {}, {}, {}, {}};
        p.fields << f("KOD", "Kód").col("Kód").req().upper() << f("NEV", "Név").col("Név").req().check(98)
                 << f("AKTIV", "Aktív (I/N)").col("Aktív").cycle("IN");
        p.defaults << qMakePair(QStringLiteral("AKTIV"), QStringLiteral("I"));
        l << p;
    }
    {
        Panel p{QStringLiteral("SZ_JUZER"), QStringLiteral("Felhasználók"), QStringLiteral("W"), QStringLiteral("W"), {}, {}};
        p.fields << f("KOD", "Kód").col("Kód").req().upper() << f("NEV", "Belépési név").col("Név").req()
                 << f("JELSZO", "Jelszó").pwd() << f("JOGOK", "Jogok (betűk, W = minden)").col("Jogok").upper()
                 << f("AKTIV", "Aktív (I/N)").col("Aktív").cycle("IN") << f("PENZTAR", "Pénztár").col("Pénztár");
        p.defaults << qMakePair(QStringLiteral("AKTIV"), QStringLiteral("I"));
        l << p;
    }
    {
        Panel p{QStringLiteral("CEG"), QStringLiteral("A cég saját adatai"), {}, {}, {}, {}};
        F irszam = f("IRSZAM", "Irányítószám").col("Irsz.").dict("SZ_IRSZAM");
        irszam.pvezerlo = QStringLiteral("CEG_IRSZAM");
        p.fields << code() << f("NEV", "Cégnév").col("Cégnév").req() << irszam << f("VAROS", "Város").col("Város")
                 << f("UTCA", "Utca, házszám").col("Utca") << f("ADOSZAM", "Adószám").col("Adószám")
                 << f("TELEFON", "Telefonszám").col("Telefon") << f("AKTUALISEV", "Üzleti év").col("Üzleti év").req()
                 << f("NYOMTPELD", "Átadási bizonylat példányszáma")
                 << f("ATADVEG", "Átadási bizonylat zárószövege")
                 << f("FTP_DFOLDER", "Programfrissítések mappája")
                 << f("NAPTARSZABALY", "Ünnepnapi karbantartás (M/E/K/X)")
                        .col("Naptárszabály").cycle("MEKX").joinsLater()
                 << f("ATHELYEZETT", "Áthelyezett munkanap átveszi (I/N)")
                        .col("Áthelyezett nap").cycle("IN").joinsLater();
        l << p;
    }
    {
        Panel p{QStringLiteral("SZ_ADO"), QStringLiteral("ÁFA kulcsok"), {}, {}, {}, {}};
        p.fields << code() << name() << f("ERTEK", "Kulcs (pl. 0,27 = 27%)").col("Kulcs").req().mask("0.00")
                 << f("STANDARD", "Általános kulcs (I/N)").col("Általános").cycle("IN");
        p.defaults << qMakePair(QStringLiteral("STANDARD"), QStringLiteral("N"));
        l << p;
    }
    {
        Panel p{QStringLiteral("SZ_BERMOD"), QStringLiteral("Bérbeadás típusok"), {}, {}, {}, {}};
        p.fields << code() << name() << f("KOTNAP", "Határozott idejű (I/N)").col("Határozott").cycle("IN");
        p.defaults << qMakePair(QStringLiteral("KOTNAP"), QStringLiteral("N"));
        l << p;
    }
    {
        Panel p{QStringLiteral("SZ_TEVEKENY"), QStringLiteral("Bérlettel kapcsolatos tevékenységek"), {}, {}, {}, {}};
        p.fields << f("KOD", "Kód").col("Kód").req().upper() << name()
                 << f("KEPEZVE", "Képzés (KISZE/UJTCS/HISZ/-)").col("Képzés").upper()
                 << f("ESETI", "Alkalmanként számlázott (I/N)").col("Eseti").cycle("IN")
                 << f("SORREND", "Sorrend a naplóban").col("Sorrend");
        p.defaults << qMakePair(QStringLiteral("KEPEZVE"), QStringLiteral("-"))
                   << qMakePair(QStringLiteral("ESETI"), QStringLiteral("I"));
        l << p;
    }
    {
        Panel p{QStringLiteral("SZ_FIZMOD"), QStringLiteral("Fizetési módok"), {}, {}, {}, {}};
        p.fields << code() << name() << f("KP", "Fajta (I kp., N átut., E előre)").col("Fajta").cycle("INE");
        p.defaults << qMakePair(QStringLiteral("KP"), QStringLiteral("N"));
        l << p;
    }
    {
        Panel p{QStringLiteral("SZ_IRSZAM"), QStringLiteral("Belföldi irányítószámok"), {}, {}, {}, {}};
        p.fields << f("KOD", "Irányítószám").col("Irányítószám").req() << f("NEV", "Település").col("Település").req();
        l << p;
    }
    {
        Panel p{QStringLiteral("SZ_MEGYSEG"), QStringLiteral("Mennyiségi egységek"), {}, {}, {}, {}};
        p.fields << code() << name() << f("TIPUS", "Típus (R = bérleti egység)").col("Típus").upper()
                 << f("OSZTO", "Egy egység napjai (osztó)").col("Osztó")
                 << f("BERSZAMJEL", "Számlázás jele (H/7/N/A)").col("Számlázás").cycle("H7NA");
        p.defaults << qMakePair(QStringLiteral("OSZTO"), QStringLiteral("1"));
        l << p;
    }
    {
        Panel p{QStringLiteral("SZ_STATUSR"), QStringLiteral("Szerződés állapotkódjai"), {}, {}, {}, {}};
        p.fields << code() << name() << colour() << f("MODOSITHATO", "Módosítható (I/N)").col("Módosítható").cycle("IN");
        l << p;
    }
    {
        Panel p{QStringLiteral("SZ_STATUSK"), QStringLiteral("Termékek állapotkódjai"), {}, {}, {}, {}};
        p.fields << code() << name() << colour()
                 << f("KIADHATO", "Kiadható (I szabad, N kint)").col("Kiadható").cycle("INS");
        l << p;
    }
    {
        Panel p{QStringLiteral("SZ_STATUST"), QStringLiteral("Tevékenységek állapotkódjai"), {}, {}, {}, {}};
        p.fields << code() << name() << colour()
                 << f("MODOSITHATO", "Osztály (I, N, X, i, n)").col("Osztály").cycle("INXin");
        l << p;
    }
    {
        Panel p{QStringLiteral("SZ_TEVAR"), QStringLiteral("Tevékenységek árai"), {}, {}, {}, {}};
        p.fields << f("TEVKOD", "Tevékenység").col("Tevékenység").req().dict("SZ_TEVEKENY", "SZ_TEVEKENY.NEV,KOD=TEVKOD", 24)
                 << f("CSOPKOD", "Termékcsoport").col("Csoport").req().dict("SZ_ARUCSOP", "SZ_ARUCSOP.NEV,KOD=CSOPKOD", 24)
                 << f("AR", "Ár (Ft)").col("Ár");
        const char* days[] = {"Hétfő", "Kedd", "Szerda", "Csütörtök", "Péntek", "Szombat", "Vasárnap"};
        for (int i = 0; i < 7; ++i) {
            const QByteArray mezo = "AR" + QByteArray::number(i + 1);
            const QByteArray cap = QByteArray(days[i]) + " ár (0 = Ár)";
            F d = f(mezo.constData(), cap.constData());
            d.oszlopnev = QString::fromUtf8(days[i]).left(3) + QStringLiteral(".");
            p.fields << d;
        }
        p.defaults << qMakePair(QStringLiteral("CSOPKOD"), QStringLiteral("#KOD"));
        l << p;
    }
    // The working calendar: holidays, moved working days, closed days.
    {
        Panel p{QStringLiteral("SZ_NAPTAR"), QStringLiteral("Munkanap naptár"), {}, {}, {}, {}};
        p.fields << f("DATUM", "Dátum (éééé.hh.nn)").col("Dátum").req().check(1)
                 << f("FAJTA", "Fajta (U ünnep, M munkanap, Z zárva)").col("Fajta").req().cycle("UMZ")
                 << f("HELYETT", "Kiváltott nap (M sornál)").col("Helyett").check(4)
                 << f("NEV", "Megnevezés").col("Megnevezés");
        p.defaults << qMakePair(QStringLiteral("FAJTA"), QStringLiteral("U"));
        p.late = true;
        l << p;
    }
    // The reasons a driver gives on the phone for a visit not done.
    {
        Panel p{QStringLiteral("SZ_OKOK"), QStringLiteral("Elmaradás okai"), {}, {}, {}, {}};
        p.fields << f("KOD", "Kód").col("Kód").req().upper() << name();
        p.late = true;
        l << p;
    }
    // The control tables themselves; only users with "W" change them.
    {
        Panel p{QStringLiteral("TABLAK"), QStringLiteral("Táblák"), {}, QStringLiteral("W"), {}, {}};
        p.fields << f("TABLANEV", "Tábla (TÁBLA vagy TÁBLA,PANEL)").col("Tábla").req().upper()
                 << f("MEGNEVEZES", "Megnevezés").col("Megnevezés")
                 << f("NEZHETI_JOG", "Megtekintési jog (betűk)").col("Nézheti").upper()
                 << f("IRHATJA_JOG", "Írási jog (betűk)").col("Írhatja").upper()
                 << f("WINDOWSTATE", "Ablak (NORMAL/MAXIMIZED)").col("Ablak").upper();
        l << p;
    }
    {
        Panel p{QStringLiteral("VEZERLO"), QStringLiteral("Beviteli mezők definíciói"), {}, QStringLiteral("W"), {}, {}};
        p.fields << f("MODUL", "Panel (tábla neve)").col("Panel").req().upper()
                 << f("SORREND", "Sorrend").col("Sorrend").req()
                 << f("MEZO", "Mező").col("Mező").upper()
                 << f("MEGNEVEZES", "Felirat").col("Felirat")
                 << f("OSZLOPNEV", "Oszlopcím a táblázatban").col("Oszlopcím")
                 << f("NEZHETI_JOG", "Megtekintés (X = rejtett)").upper()
                 << f("IRHATJA_JOG", "Írási jog (betűk)").upper()
                 << f("NOTNULL", "Kötelező (I)").cycle("IN")
                 << f("VALID", "Ellenőrzés kódja")
                 << f("BUTTON", "Gomb (SZOT, VALT, DATE, ...)").col("Gomb")
                 << f("FUNKCIO", "Gomb funkciója")
                 << f("SZOT_", "Szótártábla").upper()
                 << f("SZOTMEZO", "Szótár kulcsmezője").upper()
                 << f("SZOTWHERE", "Szótár feltétele")
                 << f("PVEZERLO", "Értékadások (PVEZERLO)").upper()
                 << f("VALT_", "Kapcsolt tábla").upper()
                 << f("VALT_MEZO", "Kapcsolt mező").upper()
                 << f("PLUSFIELD1", "Infó mező 1") << f("PLUSFIELD1H", "Infó mező 1 szélessége")
                 << f("PLUSFIELD2", "Infó mező 2") << f("PLUSFIELD2H", "Infó mező 2 szélessége")
                 << f("PLUSFIELD3", "Infó mező 3") << f("PLUSFIELD3H", "Infó mező 3 szélessége")
                 << f("CHARCASE", "Betűméret (U nagy, L kicsi)").upper()
                 << f("PWDCHAR", "Jelszókarakter")
                 << f("EDITMASK", "Számformátum (#,##0.00)")
                 << f("ECOLOR", "Betűszín neve").upper();
        l << p;
    }
    {
        Panel p{QStringLiteral("PVEZERLO"), QStringLiteral("Kiválasztás utáni értékadások"), {}, QStringLiteral("W"), {}, {}};
        p.fields << f("PANEL", "Szabálycsoport").col("Csoport").req().upper()
                 << f("SZOTMEZO", "Választott tétel mezője").col("Honnan").upper()
                 << f("QMEZO", "Panel mezője").col("Hová").req().upper()
                 << f("MUVELET", "Művelet (+ = infó is)").col("Művelet").cycle("+")
                 << f("SZOTMEZO2", "Infó (TÁBLA.MEZŐ)").col("Infó").upper();
        l << p;
    }
    {
        Panel p{QStringLiteral("DIFOLC"), QStringLiteral("Default értékek"), {}, QStringLiteral("W"), {}, {}};
        p.fields << f("MODUL", "Tábla").col("Tábla").req().upper() << f("SORREND", "Sorrend").col("Sorrend").req()
                 << f("MEZO", "Mező").col("Mező").req().upper()
                 << f("ERTEK", "Érték ($szöveg #MEZŐ @FDATE @USER)").col("Érték");
        l << p;
    }
    {
        Panel p{QStringLiteral("DOKU"), QStringLiteral("Változásnapló"), {}, QStringLiteral("X"), {}, {}};
        p.fields << f("MIKOR", "Időpont").col("Időpont") << f("JUZER", "Felhasználó").col("Felh.")
                 << f("TABLA", "Tábla").col("Tábla") << f("KULCSERTEK", "Kulcs").col("Kulcs")
                 << f("AKCIO", "Művelet (I/U/D)").col("Műv.") << f("MEZO", "Mező").col("Mező")
                 << f("MIROL", "Régi érték") << f("MIRE", "Új érték");
        l << p;
    }
    return l;
}

bool tableExists(Transaction& tx, const QString& table) {
    const auto rs = tx.query(QStringLiteral("SELECT COUNT(*) FROM RDB$RELATIONS WHERE TRIM(RDB$RELATION_NAME) = :t"),
                             {{QStringLiteral("t"), table}});
    return !rs.isEmpty() && rs.at(0, 0).toLongLong() > 0;
}

bool columnExists(Transaction& tx, const QString& table, const QString& column) {
    const auto rs = tx.query(QStringLiteral("SELECT COUNT(*) FROM RDB$RELATION_FIELDS WHERE TRIM(RDB$RELATION_NAME) = :t"
                                            " AND TRIM(RDB$FIELD_NAME) = :c"),
                             {{QStringLiteral("t"), table}, {QStringLiteral("c"), column}});
    return !rs.isEmpty() && rs.at(0, 0).toLongLong() > 0;
}

qint64 count(Transaction& tx, const QString& sql, const QString& value) {
    const auto rs = tx.query(sql, {{QStringLiteral("v"), value}});
    return rs.isEmpty() ? 0 : rs.at(0, 0).toLongLong();
}

QVariant textOrNull(const QString& s) {
    return s.isEmpty() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(s);
}
QVariant intOrNull(int v, bool zeroIsNull = true) {
    return (zeroIsNull && v == 0) ? QVariant(QMetaType(QMetaType::Int)) : QVariant(v);
}

} // namespace

QStringList ControlSeeds::seededPanels() {
    QStringList l;
    for (const Panel& p : panels()) l << p.table;
    return l;
}

namespace {

struct Have {
    bool tablak = false, vezerlo = false, difolc = false;
};

// The rows of one panel: its caption, its fields and its defaults when the
// database holds none of them; with `lateFields`, the fields that came after
// the panel join a panel that lacks them, after its last field.
int seedPanel(Transaction& tx, const Panel& p, const Have& have, bool lateFields) {
    int inserted = 0;
    const bool haveTablak = have.tablak, fullVezerlo = have.vezerlo, haveDifolc = have.difolc;
    if (!tableExists(tx, p.table)) return 0;
    if (lateFields && fullVezerlo
        && count(tx, QStringLiteral("SELECT COUNT(*) FROM VEZERLO WHERE UPPER(TRIM(MODUL)) = :v"), p.table) > 0) {
        auto rs = tx.query(QStringLiteral("SELECT MEZO, SORREND FROM VEZERLO WHERE UPPER(TRIM(MODUL)) = :v"),
                           {{QStringLiteral("v"), p.table}});
        QSet<QString> present;
        int last = 0;
        while (rs.next()) {
            present.insert(rs.text(QStringLiteral("MEZO")).trimmed().toUpper());
            last = std::max(last, int(rs.integer(QStringLiteral("SORREND"))));
        }
        for (const F& x : p.fields) {
            if (!x.late || present.contains(x.mezo) || !columnExists(tx, p.table, x.mezo)) continue;
            last += 10;
            tx.exec(QStringLiteral("INSERT INTO VEZERLO (MODUL, SORREND, MEZO, OSZLOPNEV, MEGNEVEZES, BUTTON, FUNKCIO)"
                                   " VALUES (:modul, :sorrend, :mezo, :oszlopnev, :megnevezes, :button, :funkcio)"),
                    {{QStringLiteral("modul"), p.table}, {QStringLiteral("sorrend"), last},
                     {QStringLiteral("mezo"), x.mezo}, {QStringLiteral("oszlopnev"), textOrNull(x.oszlopnev)},
                     {QStringLiteral("megnevezes"), textOrNull(x.megnevezes)}, {QStringLiteral("button"), textOrNull(x.button)},
                     {QStringLiteral("funkcio"), intOrNull(x.funkcio, x.button.isEmpty())}});
            ++inserted;
        }
    }
    if (haveTablak && count(tx, QStringLiteral("SELECT COUNT(*) FROM TABLAK WHERE UPPER(TRIM(TABLANEV)) = :v"), p.table) == 0) {
        tx.exec(QStringLiteral("INSERT INTO TABLAK (TABLANEV, MEGNEVEZES, NEZHETI_JOG, IRHATJA_JOG)"
                               " VALUES (:t, :m, :n, :i)"),
                {{QStringLiteral("t"), p.table}, {QStringLiteral("m"), p.caption},
                 {QStringLiteral("n"), textOrNull(p.viewRights)}, {QStringLiteral("i"), textOrNull(p.writeRights)}});
        ++inserted;
    }
    if (fullVezerlo && count(tx, QStringLiteral("SELECT COUNT(*) FROM VEZERLO WHERE UPPER(TRIM(MODUL)) = :v"), p.table) == 0) {
        int sorrend = 0;
        for (const F& x : p.fields) {
            sorrend += 10;
            if (!x.mezo.isEmpty() && !columnExists(tx, p.table, x.mezo)) continue;
            tx.exec(QStringLiteral(
                "INSERT INTO VEZERLO (MODUL, SORREND, MEZO, OSZLOPNEV, MEGNEVEZES, VALID, VALT_MEZO, BUTTON, SZOT_,"
                " VALT_, FUNKCIO, PVEZERLO, SZOTWHERE, SZOTMEZO, PLUSFIELD1, PLUSFIELD1H, CHARCASE, PWDCHAR,"
                " EDITMASK, NOTNULL) VALUES (:modul, :sorrend, :mezo, :oszlopnev, :megnevezes, :valid, :valt_mezo,"
                " :button, :szot, :valt, :funkcio, :pvezerlo, :szotwhere, :szotmezo, :pf1, :pf1h, :charcase,"
                " :pwdchar, :editmask, :notnull)"),
                {{QStringLiteral("modul"), p.table}, {QStringLiteral("sorrend"), sorrend},
                 {QStringLiteral("mezo"), textOrNull(x.mezo)}, {QStringLiteral("oszlopnev"), textOrNull(x.oszlopnev)},
                 {QStringLiteral("megnevezes"), textOrNull(x.megnevezes)}, {QStringLiteral("valid"), intOrNull(x.valid)},
                 {QStringLiteral("valt_mezo"), textOrNull(x.valtMezo)}, {QStringLiteral("button"), textOrNull(x.button)},
                 {QStringLiteral("szot"), textOrNull(x.szot)}, {QStringLiteral("valt"), textOrNull(x.valt)},
                 {QStringLiteral("funkcio"), intOrNull(x.funkcio, x.button.isEmpty())},
                 {QStringLiteral("pvezerlo"), textOrNull(x.pvezerlo)}, {QStringLiteral("szotwhere"), textOrNull(x.szotwhere)},
                 {QStringLiteral("szotmezo"), textOrNull(x.szotmezo)}, {QStringLiteral("pf1"), textOrNull(x.pf1)},
                 {QStringLiteral("pf1h"), intOrNull(x.pf1h)}, {QStringLiteral("charcase"), textOrNull(x.charcase)},
                 {QStringLiteral("pwdchar"), textOrNull(x.pwdchar)}, {QStringLiteral("editmask"), textOrNull(x.editmask)},
                 {QStringLiteral("notnull"), textOrNull(x.notnull)}});
            ++inserted;
        }
    }
    if (haveDifolc && !p.defaults.isEmpty()
        && count(tx, QStringLiteral("SELECT COUNT(*) FROM DIFOLC WHERE UPPER(TRIM(MODUL)) = :v"), p.table) == 0) {
        int sorrend = 0;
        for (const auto& d : p.defaults) {
            sorrend += 10;
            tx.exec(QStringLiteral("INSERT INTO DIFOLC (MODUL, SORREND, MEZO, ERTEK) VALUES (:m, :s, :f, :e)"),
                    {{QStringLiteral("m"), p.table}, {QStringLiteral("s"), sorrend},
                     {QStringLiteral("f"), d.first}, {QStringLiteral("e"), d.second}});
            ++inserted;
        }
    }
        return inserted;
}

} // namespace

int ControlSeeds::apply(Transaction& tx) { return apply(tx, true); }

int ControlSeeds::apply(Transaction& tx, bool newDatabase) {
    int inserted = 0;
    const bool haveTablak = tableExists(tx, QStringLiteral("TABLAK"));
    const bool haveVezerlo = tableExists(tx, QStringLiteral("VEZERLO"));
    const bool haveDifolc = tableExists(tx, QStringLiteral("DIFOLC"));
    const bool havePvezerlo = tableExists(tx, QStringLiteral("PVEZERLO"));
    const bool fullVezerlo = haveVezerlo && columnExists(tx, QStringLiteral("VEZERLO"), QStringLiteral("NOTNULL"))
                             && columnExists(tx, QStringLiteral("VEZERLO"), QStringLiteral("PWDCHAR"))
                             && columnExists(tx, QStringLiteral("VEZERLO"), QStringLiteral("CHARCASE"))
                             && columnExists(tx, QStringLiteral("VEZERLO"), QStringLiteral("EDITMASK"))
                             && columnExists(tx, QStringLiteral("VEZERLO"), QStringLiteral("PVEZERLO"));

    const Have have{haveTablak, fullVezerlo, haveDifolc};
    for (const Panel& p : panels())
        if (newDatabase || !p.late) inserted += seedPanel(tx, p, have, false);
    // Tables that no dictionary form edits get a caption too, so a refusal can
    // name the rows that hold on to a code as the user knows them ("mert 11
    // bérleti tétel hivatkozik rá").
    if (haveTablak) {
        const QList<QPair<QString, QString>> captions{
            {QStringLiteral("FORGFEJ"), QStringLiteral("Bérleti szerződések")},
            {QStringLiteral("FORGSOR"), QStringLiteral("Bérleti tételek")},
            {QStringLiteral("FORGKABIN"), QStringLiteral("Kihelyezett termékek")},
            {QStringLiteral("FORGTEV"), QStringLiteral("Bérleti tevékenységek")},
            {QStringLiteral("FORGFIZ"), QStringLiteral("Fizetési időszakok")},
            {QStringLiteral("UGYFEL"), QStringLiteral("Ügyfelek")},
            {QStringLiteral("UGYFELCIM"), QStringLiteral("Telephelyek")},
            {QStringLiteral("ARU"), QStringLiteral("Bérbe adható termékek")},
        };
        for (const auto& c : captions) {
            if (!tableExists(tx, c.first)) continue;
            if (count(tx, QStringLiteral("SELECT COUNT(*) FROM TABLAK WHERE UPPER(TRIM(TABLANEV)) = :v"), c.first) != 0)
                continue;
            tx.exec(QStringLiteral("INSERT INTO TABLAK (TABLANEV, MEGNEVEZES) VALUES (:t, :m)"),
                    {{QStringLiteral("t"), c.first}, {QStringLiteral("m"), c.second}});
            ++inserted;
        }
    }
    // After choosing a postal code on the company form, the settlement follows.
    if (havePvezerlo && count(tx, QStringLiteral("SELECT COUNT(*) FROM PVEZERLO WHERE UPPER(TRIM(PANEL)) = :v"),
                              QStringLiteral("CEG_IRSZAM")) == 0) {
        const QList<QPair<QString, QString>> copies{{QStringLiteral("KOD"), QStringLiteral("IRSZAM")},
                                                    {QStringLiteral("NEV"), QStringLiteral("VAROS")}};
        for (const auto& c : copies) {
            tx.exec(QStringLiteral("INSERT INTO PVEZERLO (PANEL, SZOTMEZO, QMEZO) VALUES (:p, :s, :q)"),
                    {{QStringLiteral("p"), QStringLiteral("CEG_IRSZAM")}, {QStringLiteral("s"), c.first},
                     {QStringLiteral("q"), c.second}});
            ++inserted;
        }
    }
    return inserted;
}

int ControlSeeds::applyPanel(Transaction& tx, const QString& table) {
    const bool fullVezerlo = tableExists(tx, QStringLiteral("VEZERLO"))
                             && columnExists(tx, QStringLiteral("VEZERLO"), QStringLiteral("NOTNULL"))
                             && columnExists(tx, QStringLiteral("VEZERLO"), QStringLiteral("PVEZERLO"));
    const Have have{tableExists(tx, QStringLiteral("TABLAK")), fullVezerlo, tableExists(tx, QStringLiteral("DIFOLC"))};
    int inserted = 0;
    for (const Panel& p : panels())
        if (p.table == table.trimmed().toUpper()) inserted += seedPanel(tx, p, have, true);
    return inserted;
}

} // namespace vl::framework
