#pragma once
// A small company for the drivers' tests, its rows written by hand so every
// case is known: three drivers (S01, S02 active, S09 not), two customers with
// three sites (two of them at one address), an ordinary contract with a
// deleted row, another driver's row and a row of another day, a cancelled and
// an inactive contract, a cash contract visited on the day with its billing
// rows (planned, planned again, paid on the day, paid earlier, another
// driver's), a transfer contract with a billing row, and a cash contract not
// visited on the day.
#include "../rental/RentalTestDb.h"
#include "drivers/DriversSchema.h"

#include <QtTest>

namespace vl::drivers::test {

// A Thursday.
inline const QString kDay = QStringLiteral("2026.12.10");

class Company {
public:
    vl::rental::test::TestDb db;

    void exec(vl::db::Transaction& tx, const QString& sql, const vl::db::Params& p = {}) { tx.exec(sql, p); }

    static void contract(vl::db::Transaction& tx, qint64 b, const QString& fizmod, const QString& site,
                         const QString& aktiv = QStringLiteral("I"), const QString& status = QStringLiteral("A")) {
        tx.exec(QStringLiteral("INSERT INTO FORGFEJ (BIZONYLAT, VERZIO, AKTIV, STATUS, BERMOD, FIZMOD, BERKEZD, UGYFELKOD,"
                               " UGYFELCIM) SELECT :b, 1, :aktiv, :status, 'HT', :fizmod, '2026.09.01', UGYFELKOD, KOD"
                               " FROM UGYFELCIM WHERE KOD = :site"),
                {{QStringLiteral("b"), b}, {QStringLiteral("aktiv"), aktiv}, {QStringLiteral("status"), status},
                 {QStringLiteral("fizmod"), fizmod}, {QStringLiteral("site"), site}});
    }
    // Line `line` of group `csop` with one item per cabin, numbered from 1.
    static void line(vl::db::Transaction& tx, qint64 b, int line, const QString& csop, const QStringList& cabins) {
        tx.exec(QStringLiteral("INSERT INTO FORGSOR (BIZONYLAT, VERZIO, TETELSOR, ARUCSOPORT, MENNYISEG, M_EGYSEG, BERMENNY,"
                               " BERMEGYSEG, NETTOAR) VALUES (:b, 1, :t, :csop, :m, 'db', 1, 'Hét', 10000)"),
                {{QStringLiteral("b"), b}, {QStringLiteral("t"), line}, {QStringLiteral("csop"), csop},
                 {QStringLiteral("m"), cabins.size()}});
        for (int i = 0; i < cabins.size(); ++i)
            tx.exec(QStringLiteral("INSERT INTO FORGKABIN (BIZONYLAT, VERZIO, TETELSOR, SORSZAM, ARUKOD, KISZALL)"
                                   " VALUES (:b, 1, :t, :s, :aru, '2026.09.01')"),
                    {{QStringLiteral("b"), b}, {QStringLiteral("t"), line}, {QStringLiteral("s"), i + 1},
                     {QStringLiteral("aru"), cabins.at(i)}});
    }
    static void activity(vl::db::Transaction& tx, qint64 b, int line, int item, const QString& day, int seq,
                         const QString& kod, const QString& state, const QString& driver, const QString& remark = {}) {
        tx.exec(QStringLiteral("INSERT INTO FORGTEV (BIZONYLAT, VERZIO, TETELSOR, SORSZAM, DATUM, TEVSORSZAM, TEVKOD, ARUKOD,"
                               " TEVALLAPOT, SOFORKOD, NETTOAR, MENNYISEG, KOMMENT, KEPZETT) SELECT BIZONYLAT, 1, TETELSOR,"
                               " SORSZAM, :d, :seq, :kod, ARUKOD, :st, :sofor, 0, 1, :k, 'U' FROM FORGKABIN"
                               " WHERE BIZONYLAT = :b AND TETELSOR = :t AND SORSZAM = :s"),
                {{QStringLiteral("d"), day}, {QStringLiteral("seq"), seq}, {QStringLiteral("kod"), kod},
                 {QStringLiteral("st"), state}, {QStringLiteral("sofor"), driver}, {QStringLiteral("k"), remark},
                 {QStringLiteral("b"), b}, {QStringLiteral("t"), line}, {QStringLiteral("s"), item}});
    }
    static void billing(vl::db::Transaction& tx, qint64 b, const QString& from, const QString& to, qint64 net,
                        const QString& state, const QString& driver) {
        tx.exec(QStringLiteral("INSERT INTO FORGFIZ (BIZONYLAT, VERZIO, DATUM, TEVSORSZAM, DATUM2, NETTO, TEVALLAPOT, TEVKOD,"
                               " SOFORKOD) VALUES (:b, 1, :d, 1, :d2, :n, :st, 'FIZ', :sofor)"),
                {{QStringLiteral("b"), b}, {QStringLiteral("d"), from}, {QStringLiteral("d2"), to},
                 {QStringLiteral("n"), net}, {QStringLiteral("st"), state}, {QStringLiteral("sofor"), driver}});
    }

    void build() {
        vl::drivers::joinProgramSchema();
        db.create();
        auto tx = db.conn->begin();
        tx->exec(QStringLiteral("INSERT INTO SZ_SOFOR (KOD, NEV, AKTIV) VALUES ('S01', 'Kiss Péter', 'I')"));
        tx->exec(QStringLiteral("INSERT INTO SZ_SOFOR (KOD, NEV, AKTIV) VALUES ('S02', 'Nagy Béla', 'I')"));
        tx->exec(QStringLiteral("INSERT INTO SZ_SOFOR (KOD, NEV, AKTIV) VALUES ('S09', 'Régi Ödön', 'N')"));
        tx->exec(QStringLiteral("INSERT INTO UGYFEL (KOD, NEV, AKTIV) VALUES ('U1', 'Építő Kft.', 'I')"));
        tx->exec(QStringLiteral("INSERT INTO UGYFEL (KOD, NEV, AKTIV) VALUES ('U2', 'Alma Bt.', 'I')"));
        tx->exec(QStringLiteral("INSERT INTO UGYFELCIM (KOD, UGYFELKOD, NEV, IRSZAM, VAROS, UTCA, SZEMELY, TELEFON, WEKOMMENT)"
                                " VALUES ('C1', 'U1', 'Fő utca', '1051', 'Budapest', 'Fő utca 1.', 'Nagy Anna',"
                                " '+36 30 123 4567', 'Hétvégén zárva')"));
        tx->exec(QStringLiteral("INSERT INTO UGYFELCIM (KOD, UGYFELKOD, NEV, IRSZAM, VAROS, UTCA, SZEMELY, TELEFON)"
                                " VALUES ('C2', 'U2', 'Raktár', '2000', 'Szentendre', 'Ady út 5.', 'Kovács Éva', '+36 20 555 0000')"));
        tx->exec(QStringLiteral("INSERT INTO UGYFELCIM (KOD, UGYFELKOD, NEV, IRSZAM, VAROS, UTCA)"
                                " VALUES ('C3', 'U1', 'Telep', '1051', 'Budapest', 'Fő utca 1.')"));

        // 101: two cabins at C1; a deleted row, S02's row and a row of the next day.
        contract(*tx, 101, "ATU", "C1");
        line(*tx, 101, 1, "ALAP", {"11", "12"});
        activity(*tx, 101, 1, 1, kDay, 1, "KA", "T", "S01", "Hátsó kapu");
        activity(*tx, 101, 1, 2, kDay, 1, "KA", "E", "S01");
        activity(*tx, 101, 1, 1, kDay, 2, "SZK", "T", "S02");
        activity(*tx, 101, 1, 2, kDay, 2, "KA", "X", "S01");
        activity(*tx, 101, 1, 1, "2026.12.11", 1, "KA", "T", "S01");
        // 102 cancelled, 105 an inactive version: nothing of theirs is shown.
        contract(*tx, 102, "ATU", "C1", "I", "X");
        line(*tx, 102, 1, "ALAP", {"21"});
        activity(*tx, 102, 1, 1, kDay, 1, "KA", "T", "S01");
        contract(*tx, 105, "ATU", "C1", "N");
        line(*tx, 105, 1, "VIP", {"51"});
        activity(*tx, 105, 1, 1, kDay, 1, "KA", "T", "S01");
        // 103: cash at C2, delivered on the day.
        contract(*tx, 103, "KP", "C2");
        line(*tx, 103, 1, "VIP", {"31"});
        activity(*tx, 103, 1, 1, kDay, 1, "KIH", "T", "S01");
        billing(*tx, 103, "2026.09.01", "2026.09.30", 5000, "L", "S01");    // planned again: 6350
        billing(*tx, 103, "2026.10.01", "2026.10.31", 7001, "T", "S02");    // S02's: 8891
        billing(*tx, 103, "2026.11.01", "2026.11.30", 8000, "E", "S01");    // paid before: not shown
        billing(*tx, 103, "2026.12.01", "2026.12.31", 10000, "T", "S01");   // planned: 12700
        billing(*tx, 103, kDay, kDay, 3000, "E", "S01");                    // paid on the day: 3810, not collected
        // 104: transfer at C3 (same address as C1); its billing row is not cash.
        contract(*tx, 104, "ATU", "C3");
        line(*tx, 104, 1, "AKM", {"41"});
        activity(*tx, 104, 1, 1, kDay, 1, "ATH", "T", "S01");
        billing(*tx, 104, "2026.12.01", "2026.12.31", 2000, "T", "S01");
        // 106: cash at C2 without a visit on the day: its planned row stays off.
        contract(*tx, 106, "KP", "C2");
        line(*tx, 106, 1, "ALAP", {"61"});
        activity(*tx, 106, 1, 1, "2026.12.11", 1, "KA", "T", "S01");
        billing(*tx, 106, "2026.12.01", "2026.12.31", 4000, "T", "S01");
        tx->commit();
    }
};

} // namespace vl::drivers::test
