#pragma once
// A rental database in a temporary folder with a few customers, sites and
// contracts written row by row, for the appendix's tests.
#include "RentalTestDb.h"
#include "billing/BillingSchema.h"
#include "operations/OperationsSchema.h"
#include "shell/Session.h"

#include <QtTest>

namespace vl::billing::test {

class AppendixDb : public vl::rental::test::TestDb {
public:
    // Its databases have the billing module's tables (the appendix's template)
    // and the operations module's (the day list's template, for the commands).
    AppendixDb() {
        vl::operations::joinProgramSchema();
        vl::billing::joinProgramSchema();
    }
    vl::shell::Session session() const {
        vl::shell::Session s;
        s.userCode = QStringLiteral("TESZT");
        s.userName = QStringLiteral("Teszt");
        return s;
    }
    void exec(const QString& sql, const vl::db::Params& p = {}) { conn->exec(sql, p); }

    void customer(const QString& kod, const QString& nev, const QVariant& eszamla = QVariant()) {
        exec(QStringLiteral("INSERT INTO UGYFEL (KOD, NEV, ESZAMLA, AKTIV) VALUES (:k, :n, :e, 'I')"),
             {{QStringLiteral("k"), kod}, {QStringLiteral("n"), nev},
              {QStringLiteral("e"), eszamla.isNull() ? QVariant(QMetaType(QMetaType::QString)) : eszamla}});
    }
    void site(const QString& kod, const QString& ugyfel, const QString& nev, const QString& varos,
              const QString& utca) {
        exec(QStringLiteral("INSERT INTO UGYFELCIM (KOD, UGYFELKOD, NEV, IRSZAM, VAROS, UTCA)"
                            " VALUES (:k, :u, :n, '1111', :v, :ut)"),
             {{QStringLiteral("k"), kod}, {QStringLiteral("u"), ugyfel}, {QStringLiteral("n"), nev},
              {QStringLiteral("v"), varos}, {QStringLiteral("ut"), utca}});
    }
    void contract(qint64 b, const QString& ugyfel, const QString& cim, const QString& fizmod, const QString& berkezd,
                  const QVariant& berveg = QVariant(), const QString& status = QStringLiteral("FO"),
                  const QString& aktiv = QStringLiteral("I"), const QString& bermod = QStringLiteral("HT"),
                  qint64 verzio = 1) {
        exec(QStringLiteral("INSERT INTO FORGFEJ (BIZONYLAT, VERZIO, AKTIV, STATUS, BERMOD, FIZMOD, BERKEZD, BERVEG,"
                            " UGYFELKOD, UGYFELCIM) VALUES (:b, :v, :a, :s, :bm, :f, :k, :e, :u, :c)"),
             {{QStringLiteral("b"), b}, {QStringLiteral("v"), verzio}, {QStringLiteral("a"), aktiv},
              {QStringLiteral("s"), status}, {QStringLiteral("bm"), bermod}, {QStringLiteral("f"), fizmod},
              {QStringLiteral("k"), berkezd},
              {QStringLiteral("e"), berveg.isNull() ? QVariant(QMetaType(QMetaType::QString)) : berveg},
              {QStringLiteral("u"), ugyfel}, {QStringLiteral("c"), cim}});
    }
    void line(qint64 b, int t, const QString& unit, qint64 price, qint64 minimum = 0, int bermenny = 1,
              const QString& csop = QStringLiteral("ALAP"), qint64 verzio = 1) {
        exec(QStringLiteral("INSERT INTO FORGSOR (BIZONYLAT, VERZIO, TETELSOR, ARUCSOPORT, MENNYISEG, BERMENNY,"
                            " BERMEGYSEG, NETTOAR, MINIMALAR) VALUES (:b, :v, :t, :c, 1, :bm, :u, :p, :m)"),
             {{QStringLiteral("b"), b}, {QStringLiteral("v"), verzio}, {QStringLiteral("t"), t},
              {QStringLiteral("c"), csop}, {QStringLiteral("bm"), bermenny}, {QStringLiteral("u"), unit},
              {QStringLiteral("p"), price}, {QStringLiteral("m"), minimum}});
    }
    void cabin(qint64 b, int t, int s, const QString& aru, const QVariant& kiszall, const QVariant& vszall = QVariant(),
               qint64 verzio = 1) {
        exec(QStringLiteral("INSERT INTO FORGKABIN (BIZONYLAT, VERZIO, TETELSOR, SORSZAM, ARUKOD, KISZALL, VSZALL)"
                            " VALUES (:b, :v, :t, :s, :a, :k, :vs)"),
             {{QStringLiteral("b"), b}, {QStringLiteral("v"), verzio}, {QStringLiteral("t"), t},
              {QStringLiteral("s"), s}, {QStringLiteral("a"), aru},
              {QStringLiteral("k"), kiszall.isNull() ? QVariant(QMetaType(QMetaType::QString)) : kiszall},
              {QStringLiteral("vs"), vszall.isNull() ? QVariant(QMetaType(QMetaType::QString)) : vszall}});
    }
    void activity(qint64 b, int t, int s, const QString& datum, int n, const QString& kod, const QString& state,
                  qint64 price, int qty = 1, qint64 verzio = 1) {
        exec(QStringLiteral("INSERT INTO FORGTEV (BIZONYLAT, VERZIO, TETELSOR, SORSZAM, DATUM, TEVSORSZAM, TEVKOD,"
                            " TEVALLAPOT, NETTOAR, MENNYISEG) VALUES (:b, :v, :t, :s, :d, :n, :k, :st, :p, :q)"),
             {{QStringLiteral("b"), b}, {QStringLiteral("v"), verzio}, {QStringLiteral("t"), t},
              {QStringLiteral("s"), s}, {QStringLiteral("d"), datum}, {QStringLiteral("n"), n},
              {QStringLiteral("k"), kod}, {QStringLiteral("st"), state}, {QStringLiteral("p"), price},
              {QStringLiteral("q"), qty}});
    }
    QString text(const QString& sql, const vl::db::Params& p = {}) {
        const auto rs = conn->query(sql, p);
        return rs.isEmpty() || rs.at(0, 0).isNull() ? QString() : rs.at(0, 0).toString().trimmed();
    }
};

} // namespace vl::billing::test
