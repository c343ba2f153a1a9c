#include "rental/Seeds.h"
#include "rental/Schema.h"
#include "rental/WorkCalendar.h"

#include <QSet>
#include <QVariant>
#include <vector>

namespace vl::rental {

using vl::db::Params;
using vl::db::Transaction;

namespace {

struct SeedTable {
    QString table;
    QStringList columns;          // the first `keyCount` columns are the key
    int keyCount = 1;
    std::vector<QVariantList> rows;
    std::vector<bool> required;   // per row: a code the program names literally
};

QVariant S(const char* s) { return QString::fromUtf8(s); }
QVariant I(qint64 v) { return QVariant(v); }

void add(SeedTable& t, bool required, QVariantList row) {
    t.rows.push_back(std::move(row));
    t.required.push_back(required);
}

std::vector<SeedTable> dictionaries() {
    std::vector<SeedTable> all;

    // Contract statuses: MODOSITHATO "I" = the contract can still be changed.
    SeedTable statusr{QStringLiteral("SZ_STATUSR"), {"KOD", "NEV", "SZIN", "MODOSITHATO"}};
    add(statusr, true, {S("FO"), S("Folyamatban"), S("ZÖLD"), S("I")});
    add(statusr, true, {S("LEZ"), S("Lezárt"), S("SZÜRKE"), S("N")});
    add(statusr, true, {S("X"), S("Sztornózott"), S("PIROS"), S("N")});
    all.push_back(statusr);

    // Product statuses: KIADHATO "I" free, "N" rented, anything else neither.
    SeedTable statusk{QStringLiteral("SZ_STATUSK"), {"KOD", "NEV", "SZIN", "KIADHATO"}};
    add(statusk, true, {S("SZA"), S("Szabad"), S("ZÖLD"), S("I")});
    add(statusk, true, {S("FOG"), S("Foglalt"), S("FEKETE"), S("N")});
    add(statusk, false, {S("SER"), S("Sérült"), S("PIROS"), S("S")});
    add(statusk, false, {S("JAV"), S("Javítás alatt"), S("LILA"), S("S")});
    all.push_back(statusk);

    // Activity and payment states; MODOSITHATO holds the case-sensitive class.
    SeedTable statust{QStringLiteral("SZ_STATUST"), {"KOD", "NEV", "SZIN", "MODOSITHATO"}};
    add(statust, true, {S("T"), S("Tervezett"), S("FAKÓZÖLD"), S("I")});
    add(statust, true, {S("E"), S("Elvégezve (fizetve)"), S("FEHÉR"), S("N")});
    add(statust, true, {S("X"), S("Törölt"), S("PIROS"), S("X")});
    add(statust, true, {S("A"), S("Áthelyezve másik napra"), S("CLAQUA"), S("n")});
    add(statust, true, {S("L"), S("Újra tervezett"), S("FAKÓKÉK"), S("i")});
    all.push_back(statust);

    // Activity kinds. KEPEZVE: "UJTCS" once on delivery, "HISZ" once on take-back,
    // "KISZE" by the weekly pattern, anything else never generated.
    SeedTable tev{QStringLiteral("SZ_TEVEKENY"), {"KOD", "NEV", "KEPEZVE", "ESETI", "SORREND"}};
    add(tev, true, {S("KIH"), S("Kiszállítás"), S("UJTCS"), S("I"), I(1)});
    add(tev, true, {S("EKI"), S("Első takarítás kihelyezéskor"), S("-"), S("I"), I(2)});
    add(tev, true, {S("KA"), S("Karbantartás (ürítés, takarítás)"), S("KISZE"), S("I"), I(3)});
    add(tev, true, {S("VSZ"), S("Visszaszállítás"), S("HISZ"), S("I"), I(4)});
    add(tev, false, {S("SZK"), S("Rendkívüli szippantás"), S("-"), S("I"), I(5)});
    add(tev, false, {S("ATH"), S("Áthelyezés a helyszínen belül"), S("-"), S("I"), I(6)});
    add(tev, true, {S("FIZ"), S("Számlázási időszak (fizetés)"), S("-"), S("N"), I(9)});
    all.push_back(tev);

    // Rental modes. KOTNAP "I": fixed term, billed as one period.
    SeedTable bermod{QStringLiteral("SZ_BERMOD"), {"KOD", "NEV", "KOTNAP"}};
    add(bermod, true, {S("HT"), S("Határozatlan idejű bérlet"), S("N")});
    add(bermod, false, {S("HO"), S("Határozott idejű bérlet"), S("I")});
    add(bermod, true, {S("ALK"), S("Alkalmi bérlet (rendezvény)"), S("I")});
    all.push_back(bermod);

    // Payment modes. KP: "I" cash, "N" bank transfer, "E" paid in advance.
    SeedTable fizmod{QStringLiteral("SZ_FIZMOD"), {"KOD", "NEV", "KP"}};
    add(fizmod, false, {S("KP"), S("Készpénz"), S("I")});
    add(fizmod, false, {S("ATU"), S("Átutalás"), S("N")});
    add(fizmod, false, {S("ELO"), S("Előre fizetés"), S("E")});
    all.push_back(fizmod);

    // Units. TIPUS "R": a rental unit. OSZTO: days of one unit. BERSZAMJEL: the
    // billing mark ("H" calendar month, "7" four weeks, "N" daily, "W" weekly:
    // the price covers 7 x BERMENNY days, "A" one price per unit of the rental).
    SeedTable megys{QStringLiteral("SZ_MEGYSEG"), {"KOD", "NEV", "TIPUS", "OSZTO", "BERSZAMJEL"}};
    add(megys, false, {S("db"), S("darab"), S("M"), I(1), S("")});
    add(megys, false, {S("Nap"), S("nap"), S("R"), I(1), S("N")});
    add(megys, true, {S("Hét"), S("hét"), S("R"), I(7), S("W")});
    add(megys, false, {S("4Hét"), S("négy hét"), S("R"), I(28), S("7")});
    add(megys, false, {S("Hó"), S("hónap"), S("R"), I(30), S("H")});
    add(megys, true, {S("Alk"), S("alkalom"), S("R"), I(1), S("A")});
    all.push_back(megys);

    // Product groups; KARAR the damage value offered for a new line.
    SeedTable csop{QStringLiteral("SZ_ARUCSOP"), {"KOD", "NEV", "M_EGYSEG", "KARAR"}};
    add(csop, false, {S("ALAP"), S("Alap WC kabin"), S("db"), I(250000)});
    add(csop, false, {S("VIP"), S("Prémium WC kabin kézmosóval"), S("db"), I(450000)});
    add(csop, false, {S("AKM"), S("Akadálymentes WC kabin"), S("db"), I(600000)});
    add(csop, false, {S("ZUH"), S("Zuhanykabin"), S("db"), I(700000)});
    add(csop, true, {S("Ek"), S("Egyéb kiegészítő (kézmosó, szemetes)"), S("db"), I(50000)});
    all.push_back(csop);

    // Activity prices per kind and group; AR1..AR7 the price on Monday..Sunday,
    // 0 = use AR.
    SeedTable tevar{QStringLiteral("SZ_TEVAR"),
                    {"TEVKOD", "CSOPKOD", "AR", "AR1", "AR2", "AR3", "AR4", "AR5", "AR6", "AR7"}, 2};
    struct GroupPrices { const char* csop; qint64 trip; qint64 visit; qint64 weekend; };
    const GroupPrices gp[] = {{"ALAP", 8000, 4500, 6000}, {"VIP", 10000, 6000, 8000},
                              {"AKM", 12000, 5500, 7000}, {"ZUH", 12000, 7000, 9000},
                              {"Ek", 3000, 1500, 2000}};
    for (const auto& g : gp) {
        add(tevar, false, {S("KIH"), S(g.csop), I(g.trip), I(0), I(0), I(0), I(0), I(0), I(0), I(0)});
        add(tevar, false, {S("VSZ"), S(g.csop), I(g.trip), I(0), I(0), I(0), I(0), I(0), I(0), I(0)});
        add(tevar, false, {S("KA"), S(g.csop), I(g.visit), I(0), I(0), I(0), I(0), I(0),
                           I(g.weekend), I(g.weekend)});
        add(tevar, false, {S("EKI"), S(g.csop), I(3000), I(0), I(0), I(0), I(0), I(0), I(0), I(0)});
        add(tevar, false, {S("SZK"), S(g.csop), I(9000), I(0), I(0), I(0), I(0), I(0), I(0), I(0)});
    }
    all.push_back(tevar);

    SeedTable irsz{QStringLiteral("SZ_IRSZAM"), {"KOD", "NEV"}};
    const char* const places[][2] = {
        {"1037", "Budapest"}, {"1117", "Budapest"}, {"1138", "Budapest"}, {"1152", "Budapest"},
        {"1211", "Budapest"}, {"2000", "Szentendre"}, {"2030", "Érd"}, {"2040", "Budaörs"},
        {"2100", "Gödöllő"}, {"2400", "Dunaújváros"}, {"3525", "Miskolc"}, {"4025", "Debrecen"},
        {"6000", "Kecskemét"}, {"6720", "Szeged"}, {"7621", "Pécs"}, {"8000", "Székesfehérvár"},
        {"9021", "Győr"}, {"8230", "Balatonfüred"}};
    for (const auto& p : places) add(irsz, false, {S(p[0]), S(p[1])});
    all.push_back(irsz);

    SeedTable minta{QStringLiteral("HKSZCSPSZV"), {"KOD", "MEGNEVEZES"}};
    for (const QString& p : Seeds::binaryPatterns()) add(minta, true, {p, Seeds::patternText(p)});
    all.push_back(minta);

    return all;
}

QSet<QString> existingKeys(Transaction& tx, const SeedTable& t) {
    QStringList keyCols = t.columns.mid(0, t.keyCount);
    // Names come from the fixed seed list above, never from input.
    const auto rs = tx.query(QStringLiteral("SELECT %1 FROM %2").arg(keyCols.join(QStringLiteral(", ")), t.table));
    QSet<QString> keys;
    for (int r = 0; r < rs.rowCount(); ++r) {
        QStringList parts;
        for (int c = 0; c < t.keyCount; ++c) parts << rs.at(r, c).toString();
        keys.insert(parts.join(QChar(0x1F)));
    }
    return keys;
}

int insertMissing(Transaction& tx, const SeedTable& t, Seeds::Scope scope) {
    const QSet<QString> have = existingKeys(tx, t);
    QStringList params;
    for (const QString& c : t.columns) params << QLatin1Char(':') + c.toLower();
    const QString sql = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                            .arg(t.table, t.columns.join(QStringLiteral(", ")), params.join(QStringLiteral(", ")));
    auto st = tx.prepare(sql);
    int n = 0;
    for (size_t r = 0; r < t.rows.size(); ++r) {
        if (scope == Seeds::Scope::Required && !t.required[r]) continue;
        const QVariantList& row = t.rows[r];
        QStringList parts;
        for (int c = 0; c < t.keyCount; ++c) parts << row.at(c).toString();
        if (have.contains(parts.join(QChar(0x1F)))) continue;
        for (int c = 0; c < t.columns.size(); ++c) st->bind(t.columns.at(c).toLower(), row.at(c));
        st->execute();
        ++n;
    }
    return n;
}

qint64 rowCount(Transaction& tx, const QString& table) {
    const auto rs = tx.query(QStringLiteral("SELECT COUNT(*) DARAB FROM %1").arg(table));
    return rs.isEmpty() ? 0 : rs.at(0, 0).toLongLong();
}

} // namespace

QStringList Seeds::binaryPatterns() {
    QStringList l;
    for (int v = 0; v < 128; ++v) {
        QString p;
        for (int bit = 6; bit >= 0; --bit) p += (v >> bit) & 1 ? QLatin1Char('1') : QLatin1Char('0');
        l << p;
    }
    return l;
}

QString Seeds::patternText(const QString& pattern) {
    static const char* const names[7] = {"Hétfő", "Kedd", "Szerda", "Csütörtök", "Péntek", "Szombat", "Vasárnap"};
    QString out;
    for (int i = 0; i < 7 && i < pattern.size(); ++i) {
        const QChar d = pattern.at(i);
        if (d == QLatin1Char('0')) continue;
        out += QString::fromUtf8(names[i]);
        if (d > QLatin1Char('1')) out += QLatin1Char('(') + d + QLatin1Char(')');
        out += QLatin1Char(',');
    }
    if (out.endsWith(QLatin1Char(','))) out.chop(1);
    return out;
}

int Seeds::apply(Transaction& tx, const QString& year, Scope scope) {
    int n = 0;
    for (const SeedTable& t : dictionaries()) n += insertMissing(tx, t, scope);

    if (rowCount(tx, QStringLiteral("CEG")) == 0) {
        tx.exec(QStringLiteral(
                    "INSERT INTO CEG (KOD, NEV, IRSZAM, VAROS, UTCA, AKTUALISEV, NYOMTPELD, ATADVEG) "
                    "VALUES (:kod, :nev, :irszam, :varos, :utca, :aktualisev, :nyomtpeld, :atadveg)"),
                {{QStringLiteral("kod"), QStringLiteral("VL")},
                 {QStringLiteral("nev"), QStringLiteral("Vorlanda Mobil WC Kft.")},
                 {QStringLiteral("irszam"), QStringLiteral("1117")},
                 {QStringLiteral("varos"), QStringLiteral("Budapest")},
                 {QStringLiteral("utca"), QStringLiteral("Budafoki út 59.")},
                 {QStringLiteral("aktualisev"), year},
                 {QStringLiteral("nyomtpeld"), 2},
                 {QStringLiteral("atadveg"),
                  QStringLiteral("A kabin(oka)t rendeltetésszerű használatra alkalmas állapotban átadtuk.\r\n"
                                 "A bérlő a kabinokért a visszaszállításig felelősséggel tartozik.")}});
        ++n;
    }
    // A new database's calendar (one that holds no day yet): the holidays of
    // the business year and the next.
    if (scope == Scope::All && Schema::tableExists(tx, QStringLiteral("SZ_NAPTAR")) &&
        rowCount(tx, QStringLiteral("SZ_NAPTAR")) == 0) {
        const int y = year.trimmed().toInt();
        n += SeedCalendarYear(tx, y) + SeedCalendarYear(tx, y + 1);
    }
    if (rowCount(tx, QStringLiteral("SZ_ADO")) == 0) {
        struct Rate { const char* kod; const char* nev; double ertek; const char* standard; };
        const Rate rates[] = {{"27", "Általános adókulcs (27 %)", 0.27, "I"},
                              {"18", "Kedvezményes adókulcs (18 %)", 0.18, "N"},
                              {"5", "Kedvezményes adókulcs (5 %)", 0.05, "N"},
                              {"0", "Adómentes", 0.0, "N"}};
        for (const auto& r : rates) {
            if (scope == Scope::Required && QLatin1String(r.standard) != QLatin1String("I")) continue;
            tx.exec(QStringLiteral("INSERT INTO SZ_ADO (KOD, NEV, ERTEK, STANDARD) VALUES (:kod, :nev, :ertek, :standard)"),
                    {{QStringLiteral("kod"), S(r.kod)}, {QStringLiteral("nev"), S(r.nev)},
                     {QStringLiteral("ertek"), r.ertek}, {QStringLiteral("standard"), S(r.standard)}});
            ++n;
        }
    }
    return n;
}

} // namespace vl::rental
