#include "rental/ContractStore.h"
#include "db/TestHook.h"

#include "rental/Numbering.h"
#include "rental/ProductStore.h"
#include "shell/Dm.h"

#include <QDateTime>
#include <QSet>

namespace vl::rental {

using vl::db::Params;
using vl::db::Transaction;

namespace {

QString empty() { return QString(QLatin1String("")); }
QVariant txt(const QString& s) { return s.isNull() ? QVariant(empty()) : QVariant(s); }

void validate(Transaction& tx, const ContractHeader& h, const QList<ContractLine>& lines) {
    QStringList errors;
    if (lines.isEmpty()) errors << QStringLiteral("Nincs megadva termék.");
    if (h.ugyfelkod.trimmed().isEmpty() || h.ugyfelcim.trimmed().isEmpty())
        errors << QStringLiteral("Nincs megadva az ügyfél és a szállítási cím.");
    QSet<QString> seen;
    for (const ContractLine& l : lines) {
        if (l.mennyiseg < 1) errors << QStringLiteral("Hibás mennyiség: %1").arg(l.mennyiseg);
        if (l.products.size() > l.mennyiseg)
            errors << QStringLiteral("Több termék van megadva (%1), mint a mennyiség (%2).")
                          .arg(l.products.size()).arg(l.mennyiseg);
        for (const QString& p0 : l.products) {
            const QString p = p0.trimmed();
            if (p.isEmpty() || p == QLatin1String("*")) continue;
            if (seen.contains(p)) {
                errors << QStringLiteral("A %1 sz. kabin kétszer szerepel a szerződésben.").arg(p);
                continue;
            }
            seen.insert(p);
            const auto rs = tx.query(QStringLiteral(
                "SELECT S.KIADHATO, A.ARUCSOPORT FROM ARU A, SZ_STATUSK S WHERE A.KOD = :kod AND S.KOD = A.ALLAPOT"),
                {{QStringLiteral("kod"), p}});
            if (rs.isEmpty()) {
                errors << QStringLiteral("Nincs ilyen számú kabin: %1").arg(p);
            } else if (rs.at(0, 0).toString() != QLatin1String("I")) {
                errors << QStringLiteral("A %1 sz. kabin nem adható ki.").arg(p);
            } else if (rs.at(0, 1).toString() != l.arucsoport) {
                errors << QStringLiteral("A %1 sz. kabin nem a sor termékcsoportjába tartozik.").arg(p);
            }
        }
    }
    if (!errors.isEmpty())
        throw RentalError(QStringLiteral("A szerződés adataiban az alábbi hibák vannak:\r") + errors.join(QLatin1Char('\r')));
}

} // namespace

qint64 ContractStore::StoreNewContract(Transaction& tx, const ContractHeader& h,
                                       const QList<ContractLine>& lines, const QString& juzer) {
    validate(tx, h, lines);
    vl::db::testHook("new-contract:validated");

    const QDateTime now = QDateTime::currentDateTime();
    const QString date = now.toString(QStringLiteral("yyyy.MM.dd"));
    const QString time = now.toString(QStringLiteral("hh:mm:ss"));
    const QString stamp = date + QLatin1Char(' ') + time;

    const qint64 bizonylat = Td::NewContractNo(tx, date, time);
    const qint64 verzio = 1;

    tx.exec(QStringLiteral(
        "UPDATE OR INSERT INTO FORGFEJ (BIZONYLAT, AKTIV, STATUS, BERMOD, STVALTKELT, BERKEZD, BERVEG, FIZMOD, "
        "UGYFELKOD, UGYFELCIM, SZERZODES, KOMMENT, VEGKOMMENT, EV, JUZER, MIKOR, TRANZDATE, TRANZTIME, FOGLALT, "
        "VERSION, VERZIO) VALUES (:bizonylat, 'I', 'FO', :bermod, :stvaltkelt, :berkezd, :berveg, :fizmod, "
        ":ugyfelkod, :ugyfelcim, :szerzodes, :komment, :vegkomment, :ev, :juzer, :mikor, :tranzdate, :tranztime, "
        ":foglalt, :version, :verzio)"),
        {{QStringLiteral("bizonylat"), bizonylat},
         {QStringLiteral("bermod"), txt(h.bermod)},
         {QStringLiteral("stvaltkelt"), empty()},
         {QStringLiteral("berkezd"), txt(h.berkezd)},
         {QStringLiteral("berveg"), txt(h.berveg)},
         {QStringLiteral("fizmod"), txt(h.fizmod)},
         {QStringLiteral("ugyfelkod"), txt(h.ugyfelkod)},
         {QStringLiteral("ugyfelcim"), txt(h.ugyfelcim)},
         {QStringLiteral("szerzodes"), txt(h.szerzodes)},
         {QStringLiteral("komment"), txt(h.komment)},
         {QStringLiteral("vegkomment"), txt(h.vegkomment)},
         {QStringLiteral("ev"), date.left(4)},
         {QStringLiteral("juzer"), txt(juzer)},
         {QStringLiteral("mikor"), stamp},
         {QStringLiteral("tranzdate"), date},
         {QStringLiteral("tranztime"), time},
         {QStringLiteral("foglalt"), empty()},
         {QStringLiteral("version"), vl::shell::ProgramVersion()},
         {QStringLiteral("verzio"), verzio}});

    auto insLine = tx.prepare(QStringLiteral(
        "INSERT INTO FORGSOR (BIZONYLAT, VERZIO, TETELSOR, ARUCSOPORT, MENNYISEG, VMENNYISEG, M_EGYSEG, BERMENNY, "
        "BERMEGYSEG, NETTOAR, MINIMALAR, KARERTEK, KISZALL, VSZALL, VSZALLKELTE, HKSZCSPSZV, KARBAR1, KARBAR2, "
        "KARBAR3, KARBAR4, KARBAR5, KARBAR6, KARBAR7, PERIODUS, SOFORKOD, KOMMENT, JUZER, MIKOR) VALUES "
        "(:bizonylat, :verzio, :tetelsor, :arucsoport, :mennyiseg, 0, :m_egyseg, :bermenny, :bermegyseg, :nettoar, "
        ":minimalar, :karertek, :kiszall, :vszall, '', :hkszcspszv, :karbar1, :karbar2, :karbar3, :karbar4, "
        ":karbar5, :karbar6, :karbar7, :periodus, :soforkod, :komment, :juzer, :mikor)"));
    auto insItem = tx.prepare(QStringLiteral(
        "INSERT INTO FORGKABIN (BIZONYLAT, VERZIO, TETELSOR, SORSZAM, ARUKOD, KISZALL, VSZALLT, VSZALL, HKSZCSPSZV, "
        "KARBAR1, KARBAR2, KARBAR3, KARBAR4, KARBAR5, KARBAR6, KARBAR7, PERIODUS, EGYEDI, SOFORKOD, KOMMENT, "
        "JUZER, MIKOR) VALUES (:bizonylat, :verzio, :tetelsor, :sorszam, :arukod, :kiszall, :vszallt, '', "
        ":hkszcspszv, :karbar1, :karbar2, :karbar3, :karbar4, :karbar5, :karbar6, :karbar7, :periodus, 'N', "
        ":soforkod, '', :juzer, :mikor)"));

    QStringList products;
    for (const ContractLine& l : lines) {
        QString unit = l.m_egyseg;
        qint64 karertek = l.karertek;
        if (unit.isEmpty() || karertek < 0) {
            const auto g = tx.query(QStringLiteral("SELECT M_EGYSEG, KARAR FROM SZ_ARUCSOP WHERE KOD = :kod"),
                                    {{QStringLiteral("kod"), l.arucsoport}});
            if (unit.isEmpty()) unit = g.isEmpty() ? empty() : g.at(0, 0).toString();
            if (karertek < 0) karertek = g.isEmpty() ? 0 : g.at(0, 1).toLongLong();
        }
        const qint64 tetelsor = Td::MaxLineNo(tx, bizonylat, verzio) + 1;
        insLine->bindAll({{QStringLiteral("bizonylat"), bizonylat},
                          {QStringLiteral("verzio"), verzio},
                          {QStringLiteral("tetelsor"), tetelsor},
                          {QStringLiteral("arucsoport"), txt(l.arucsoport)},
                          {QStringLiteral("mennyiseg"), l.mennyiseg},
                          {QStringLiteral("m_egyseg"), txt(unit)},
                          {QStringLiteral("bermenny"), l.bermenny},
                          {QStringLiteral("bermegyseg"), txt(l.bermegyseg)},
                          {QStringLiteral("nettoar"), l.nettoar},
                          {QStringLiteral("minimalar"), l.minimalar},
                          {QStringLiteral("karertek"), karertek},
                          {QStringLiteral("kiszall"), txt(l.kiszall)},
                          {QStringLiteral("vszall"), txt(l.vszall)},
                          {QStringLiteral("hkszcspszv"), txt(l.hkszcspszv)},
                          {QStringLiteral("periodus"), l.periodus},
                          {QStringLiteral("soforkod"), txt(l.soforkod)},
                          {QStringLiteral("komment"), txt(l.komment)},
                          {QStringLiteral("juzer"), txt(juzer)},
                          {QStringLiteral("mikor"), stamp}});
        for (int d = 0; d < 7; ++d) insLine->bind(QStringLiteral("karbar%1").arg(d + 1), l.karbar[size_t(d)]);
        insLine->execute();

        for (qint64 n = 1; n <= l.mennyiseg; ++n) {
            QString product = n <= l.products.size() ? l.products.at(int(n - 1)).trimmed() : QString();
            if (product.isEmpty()) product = QStringLiteral("*");
            insItem->bindAll({{QStringLiteral("bizonylat"), bizonylat},
                              {QStringLiteral("verzio"), verzio},
                              {QStringLiteral("tetelsor"), tetelsor},
                              {QStringLiteral("sorszam"), n},
                              {QStringLiteral("arukod"), product},
                              {QStringLiteral("kiszall"), txt(l.kiszall)},
                              {QStringLiteral("vszallt"), txt(l.vszall)},
                              {QStringLiteral("hkszcspszv"), txt(l.hkszcspszv)},
                              {QStringLiteral("periodus"), l.periodus},
                              {QStringLiteral("soforkod"), txt(l.soforkod)},
                              {QStringLiteral("juzer"), txt(juzer)},
                              {QStringLiteral("mikor"), stamp}});
            for (int d = 0; d < 7; ++d) insItem->bind(QStringLiteral("karbar%1").arg(d + 1), l.karbar[size_t(d)]);
            insItem->execute();
            if (product != QLatin1String("*")) products << product;
        }
    }
    for (const QString& p : products) {
        // The status update holds the cabin's row; a contract that took the
        // cabin since it was checked above has committed by now and shows.
        ProductStore::UpdateProductStatus(tx, p);
        const auto other = tx.query(
            QStringLiteral("SELECT FIRST 1 K.BIZONYLAT FROM FORGKABIN K JOIN FORGFEJ F ON F.BIZONYLAT = K.BIZONYLAT"
                           " AND F.VERZIO = K.VERZIO WHERE K.ARUKOD = :kod AND (K.VSZALL IS NULL OR K.VSZALL = '')"
                           " AND K.BIZONYLAT <> :b AND F.AKTIV = 'I' AND (F.STATUS IS NULL OR F.STATUS <> 'X')"),
            {{QStringLiteral("kod"), p}, {QStringLiteral("b"), bizonylat}});
        if (!other.isEmpty())
            throw RentalError(QStringLiteral("A(z) %1 számú kabin közben a(z) %2. sz. szerződésre került, "
                                             "ezen a szerződésen nem adható ki.")
                                  .arg(p)
                                  .arg(other.at(0, 0).toLongLong()));
    }
    return bizonylat;
}

} // namespace vl::rental
