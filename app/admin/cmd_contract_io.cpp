// vorlanda-admin contract show N and contract import FILE.json: a stored
// contract as text, and a new contract entered from a file through the same
// contract-entry session and store as the form (a test and migration door).
//
// The file is one JSON object:
//   "header":   the FORGFEJ columns by name, less the number (UGYFELKOD,
//               UGYFELCIM, FIZMOD, BERMOD, BERKEZD, BERVEG, SZERZODES, KOMMENT,
//               VEGKOMMENT);
//   "lines":    a list; each the FORGSOR columns by name (ARUCSOPORT, MENNYISEG,
//               BERMENNY, BERMEGYSEG, NETTOAR, MINIMALAR, KARERTEK, KISZALL,
//               VSZALL, HKSZCSPSZV, KARBAR1..KARBAR7, PERIODUS, SOFORKOD,
//               KOMMENT) and "items": a list of FORGKABIN columns (ARUKOD,
//               KISZALL, VSZALLT, HKSZCSPSZV, KARBAR1..KARBAR7, PERIODUS,
//               KOMMENT), the first for item 1 and so on;
//   "payments": optional, each the FORGFIZ columns DATUM, DATUM2, NETTO (a
//               payment entered by hand).
// Visits and billing periods come from the generators, never from the file.
// A file that fails a check prints the messages and writes nothing.
#include "AdminCommand.h"
#include "AdminArgs.h"

#include "rental/ContractSave.h"
#include "rental/ContractSession.h"
#include "shell/Dm.h"
#include "shell/Session.h"
#include "util/Error.h"
#include "util/MessageSink.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace vl::admin {

using vl::rental::ContractMode;
using vl::rental::ContractSession;
using vl::rental::Outcome;

namespace {

QString oneLine(QString t) {
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    while (t.endsWith(QLatin1Char('\n'))) t.chop(1);
    return t;
}

// An outcome's questions asked through the message sink (answered "Igen" only
// with --yes), its messages printed. True when it ended well.
bool settle(Outcome o) {
    while (o.asks() && o.proceed) {
        const int a = o.questionDefaultNo ? vl::askDefaultNo(o.question) : vl::ask(o.question);
        const auto proceed = o.proceed;
        o = proceed(a == 0);
    }
    for (const QString& m : o.messages) (o.ok ? out(oneLine(m)) : err(oneLine(m)));
    return o.ok;
}

QString value(const QJsonValue& v) {
    if (v.isDouble()) return QString::number(qint64(v.toDouble()));
    if (v.isBool()) return v.toBool() ? QStringLiteral("I") : QStringLiteral("N");
    if (v.isNull() || v.isUndefined()) return QString();
    return v.toString();
}

// The names an object may hold; anything else is named in *problems.
void checkNames(const QJsonObject& o, const QString& table, const QStringList& allowed, QStringList* problems) {
    for (auto it = o.begin(); it != o.end(); ++it)
        if (!allowed.contains(it.key()))
            *problems << QStringLiteral("Ismeretlen vagy nem megadható oszlop: %1.%2").arg(table, it.key());
}

QStringList withPrices(QStringList l) {
    for (int d = 1; d <= 7; ++d) l << QStringLiteral("KARBAR%1").arg(d);
    return l;
}

// Weekday counts from a pattern of seven digits; false when it is not one.
bool pattern(const QString& p, std::array<QString, 7>& counts) {
    static const QRegularExpression seven(QStringLiteral("^[0-9]{7}$"));
    if (!seven.match(p.trimmed()).hasMatch()) return false;
    for (int d = 0; d < 7; ++d) counts[size_t(d)] = p.trimmed().at(d) == QLatin1Char('0') ? QString() : QString(p.trimmed().at(d));
    return true;
}

void prices(const QJsonObject& o, std::array<QString, 7>& out) {
    for (int d = 0; d < 7; ++d) {
        const QString k = QStringLiteral("KARBAR%1").arg(d + 1);
        if (o.contains(k)) out[size_t(d)] = value(o.value(k)) == QLatin1String("0") ? QString() : value(o.value(k));
    }
}

int connectOr(const QString& sub) {
    auto& dm = vl::shell::Tdm::instance();
    QString desc;
    if (!dm.ConnectDatabase(&desc, false)) {
        err(QStringLiteral("contract %1: nincs adatbázis kapcsolat (").arg(sub) + dm.ConnectFailure + QStringLiteral(")."));
        return 1;
    }
    return 0;
}

} // namespace

// ---------------------------------------------------------------- show

int contractShow(AdminContext&, const QStringList& args) {
    if (args.size() != 1) {
        err(QStringLiteral("contract show: egy szerződésszámot kell megadni (egész szám)."));
        return 2;
    }
    qint64 b = 0;
    if (!argcheck::number(QStringLiteral("contract show"), QStringLiteral("szerződésszám"), args.first(), &b)) return 2;
    if (const int rc = connectOr(QStringLiteral("show"))) return rc;
    auto& dm = vl::shell::Tdm::instance();
    auto& conn = dm.d_alap();
    int rc = 0;
    try {
        auto tx = conn.begin(vl::db::TxMode::ReadOnly);
        const vl::db::Params key{{QStringLiteral("b"), b}};
        auto h = tx->query(QStringLiteral(
            "SELECT F.*, SR.NEV STATUSNEV, FM.NEV FIZMODNEV, BM.NEV BERMODNEV, U.NEV UGYFELNEV, C.NEV CIMNEV,"
            " C.IRSZAM, C.VAROS, C.UTCA FROM FORGFEJ F LEFT JOIN SZ_STATUSR SR ON SR.KOD = F.STATUS"
            " LEFT JOIN SZ_FIZMOD FM ON FM.KOD = F.FIZMOD LEFT JOIN SZ_BERMOD BM ON BM.KOD = F.BERMOD"
            " LEFT JOIN UGYFEL U ON U.KOD = F.UGYFELKOD LEFT JOIN UGYFELCIM C ON C.KOD = F.UGYFELCIM"
            " WHERE F.BIZONYLAT = :b AND F.VERZIO = 1"), key);
        if (!h.next()) {
            err(QStringLiteral("contract show: nincs ilyen szerződés: %1").arg(b));
            tx->commit();
            dm.disconnect();
            return 1;
        }
        auto t = [&](const char* c) { return h.text(QString::fromLatin1(c)).trimmed(); };
        out(QStringLiteral("Szerződés: %1 (verzió 1), státusz: %2 (%3)").arg(b).arg(t("STATUS"), t("STATUSNEV")));
        out(QStringLiteral("Ügyfél: %1 %2; szállítási cím: %3 %4 %5 %6, %7")
                .arg(t("UGYFELKOD"), t("UGYFELNEV"), t("UGYFELCIM"), t("CIMNEV"), t("IRSZAM"), t("VAROS"), t("UTCA")));
        out(QStringLiteral("Fizetési mód: %1 (%2); bérlés módja: %3 (%4)")
                .arg(t("FIZMOD"), t("FIZMODNEV"), t("BERMOD"), t("BERMODNEV")));
        out(QStringLiteral("Kezdete: %1; vége: %2; iktatószám: %3; megjegyzés: %4")
                .arg(t("BERKEZD"), t("BERVEG"), t("SZERZODES"), t("KOMMENT")));
        if (!t("VEGKOMMENT").isEmpty()) out(QStringLiteral("Megjegyzés (több soros): ") + oneLine(t("VEGKOMMENT")).replace(QLatin1Char('\n'), QStringLiteral(" / ")));

        auto lines = tx->query(QStringLiteral(
            "SELECT S.*, G.NEV CSOPNEV FROM FORGSOR S LEFT JOIN SZ_ARUCSOP G ON G.KOD = S.ARUCSOPORT"
            " WHERE S.BIZONYLAT = :b AND S.VERZIO = 1 ORDER BY S.TETELSOR"), key);
        auto items = tx->query(QStringLiteral("SELECT * FROM FORGKABIN WHERE BIZONYLAT = :b AND VERZIO = 1"
                                              " ORDER BY TETELSOR, SORSZAM"), key);
        out(QStringLiteral("Sorok:"));
        while (lines.next()) {
            auto l = [&](const char* c) { return lines.text(QString::fromLatin1(c)).trimmed(); };
            QStringList karbar;
            for (int d = 1; d <= 7; ++d) karbar << QString::number(lines.integer(QStringLiteral("KARBAR%1").arg(d)));
            out(QStringLiteral("  %1. %2 (%3): %4 db, %5 Ft / %6 %7, minimális díj %8, kárérték %9")
                    .arg(l("TETELSOR"), l("ARUCSOPORT"), l("CSOPNEV"), l("MENNYISEG"), l("NETTOAR"), l("BERMENNY"),
                         l("BERMEGYSEG"), l("MINIMALAR"), l("KARERTEK")));
            out(QStringLiteral("     kiszállítás %1, visszaszállítás %2, minta %3 (%4 hetente), karbantartás ára %5,"
                               " sofőr %6, megjegyzés: %7")
                    .arg(l("KISZALL"), l("VSZALL"), l("HKSZCSPSZV"), l("PERIODUS"), karbar.join(QLatin1Char(',')),
                         l("SOFORKOD"), l("KOMMENT")));
            const qint64 line = lines.integer(QStringLiteral("TETELSOR"));
            for (int r = 0; r < items.rowCount(); ++r) {
                items.setPosition(r);
                if (items.integer(QStringLiteral("TETELSOR")) != line) continue;
                auto k = [&](const char* c) { return items.text(QString::fromLatin1(c)).trimmed(); };
                QStringList kb;
                for (int d = 1; d <= 7; ++d) kb << QString::number(items.integer(QStringLiteral("KARBAR%1").arg(d)));
                out(QStringLiteral("     %1/%2 termék %3: kiszállítás %4, visszaszállítás terv %5, vissza %6, minta %7"
                                   " (%8 hetente), karbantartás ára %9%10")
                        .arg(k("TETELSOR"), k("SORSZAM"), k("ARUKOD"), k("KISZALL"), k("VSZALLT"), k("VSZALL"),
                             k("HKSZCSPSZV"), k("PERIODUS"), kb.join(QLatin1Char(',')))
                        .arg(k("EGYEDI") == QLatin1String("E") ? QStringLiteral(", egyedi") : QString()));
            }
        }
        auto next = tx->query(QStringLiteral(
            "SELECT FIRST 20 T.DATUM, T.TETELSOR, T.SORSZAM, T.ARUKOD, T.TEVKOD, T.NETTOAR, A.NEV FROM FORGTEV T"
            " JOIN SZ_STATUST A ON A.KOD = T.TEVALLAPOT WHERE T.BIZONYLAT = :b AND T.VERZIO = 1"
            " AND A.MODOSITHATO IN ('I', 'i') AND T.DATUM >= :ma ORDER BY T.DATUM, T.TETELSOR, T.SORSZAM, T.TEVSORSZAM"),
            {{QStringLiteral("b"), b}, {QStringLiteral("ma"), QDate::currentDate().toString(QStringLiteral("yyyy.MM.dd"))}});
        out(QStringLiteral("Következő látogatások:"));
        while (next.next())
            out(QStringLiteral("  %1 %2/%3 %4 %5 %6 Ft")
                    .arg(next.text(QStringLiteral("DATUM")).trimmed(), next.text(QStringLiteral("TETELSOR")),
                         next.text(QStringLiteral("SORSZAM")), next.text(QStringLiteral("ARUKOD")).trimmed(),
                         next.text(QStringLiteral("TEVKOD")).trimmed(), next.text(QStringLiteral("NETTOAR"))));
        auto pays = tx->query(QStringLiteral(
            "SELECT P.*, A.NEV ALLAPOTNEV FROM FORGFIZ P LEFT JOIN SZ_STATUST A ON A.KOD = P.TEVALLAPOT"
            " WHERE P.BIZONYLAT = :b AND P.VERZIO = 1 ORDER BY P.DATUM, P.TEVSORSZAM"), key);
        out(QStringLiteral("Időszakok:"));
        while (pays.next())
            out(QStringLiteral("  %1 - %2: %3 Ft (bruttó %4 Ft), %5%6")
                    .arg(pays.text(QStringLiteral("DATUM")).trimmed(), pays.text(QStringLiteral("DATUM2")).trimmed(),
                         pays.text(QStringLiteral("NETTO")), pays.text(QStringLiteral("BRUTTO")),
                         pays.text(QStringLiteral("ALLAPOTNEV")).trimmed())
                    .arg(pays.text(QStringLiteral("KEZI")).trimmed() == QLatin1String("I") ? QStringLiteral(", kézi")
                                                                                           : QString()));
        tx->commit();
    } catch (const vl::Error& e) {
        err(QStringLiteral("contract show: ") + oneLine(e.text()));
        rc = 1;
    }
    dm.disconnect();
    return rc;
}

// ---------------------------------------------------------------- import

int contractImport(AdminContext&, const QStringList& args) {
    QStringList files;
    for (const QString& a : args)
        if (a != QStringLiteral("--yes")) files << a;
    if (files.size() != 1) {
        err(QStringLiteral("contract import: egy JSON fájlt kell megadni."));
        return 2;
    }
    QFile f(files.first());
    if (!f.open(QIODevice::ReadOnly)) {
        err(QStringLiteral("contract import: a fájl nem olvasható: ") + files.first());
        return 1;
    }
    QJsonParseError pe;
    const QJsonDocument doc = QJsonDocument::fromJson(f.readAll(), &pe);
    if (doc.isNull() || !doc.isObject()) {
        err(QStringLiteral("contract import: hibás JSON (%1).").arg(pe.errorString()));
        return 1;
    }
    const QJsonObject root = doc.object();

    // The names first: a file with an unknown column writes nothing.
    QStringList problems;
    checkNames(root, QStringLiteral("(fájl)"), {QStringLiteral("header"), QStringLiteral("lines"), QStringLiteral("payments")},
               &problems);
    const QJsonObject head = root.value(QStringLiteral("header")).toObject();
    const QJsonArray lines = root.value(QStringLiteral("lines")).toArray();
    const QJsonArray payments = root.value(QStringLiteral("payments")).toArray();
    checkNames(head, QStringLiteral("FORGFEJ"),
               {QStringLiteral("UGYFELKOD"), QStringLiteral("UGYFELCIM"), QStringLiteral("FIZMOD"), QStringLiteral("BERMOD"),
                QStringLiteral("BERKEZD"), QStringLiteral("BERVEG"), QStringLiteral("SZERZODES"), QStringLiteral("KOMMENT"),
                QStringLiteral("VEGKOMMENT")},
               &problems);
    const QStringList lineCols = withPrices({QStringLiteral("ARUCSOPORT"), QStringLiteral("MENNYISEG"),
                                             QStringLiteral("BERMENNY"), QStringLiteral("BERMEGYSEG"),
                                             QStringLiteral("NETTOAR"), QStringLiteral("MINIMALAR"),
                                             QStringLiteral("KARERTEK"), QStringLiteral("KISZALL"), QStringLiteral("VSZALL"),
                                             QStringLiteral("HKSZCSPSZV"), QStringLiteral("PERIODUS"),
                                             QStringLiteral("SOFORKOD"), QStringLiteral("KOMMENT"), QStringLiteral("items")});
    const QStringList itemCols = withPrices({QStringLiteral("ARUKOD"), QStringLiteral("KISZALL"), QStringLiteral("VSZALLT"),
                                             QStringLiteral("HKSZCSPSZV"), QStringLiteral("PERIODUS"),
                                             QStringLiteral("KOMMENT")});
    for (const QJsonValue& l : lines) {
        checkNames(l.toObject(), QStringLiteral("FORGSOR"), lineCols, &problems);
        for (const QJsonValue& i : l.toObject().value(QStringLiteral("items")).toArray())
            checkNames(i.toObject(), QStringLiteral("FORGKABIN"), itemCols, &problems);
    }
    for (const QJsonValue& p : payments)
        checkNames(p.toObject(), QStringLiteral("FORGFIZ"),
                   {QStringLiteral("DATUM"), QStringLiteral("DATUM2"), QStringLiteral("NETTO")}, &problems);
    if (!problems.isEmpty()) {
        for (const QString& p : problems) err(QStringLiteral("contract import: ") + p);
        return 1;
    }

    if (const int rc = connectOr(QStringLiteral("import"))) return rc;
    auto& dm = vl::shell::Tdm::instance();
    auto& conn = dm.d_alap();
    int rc = 1;
    try {
        const vl::shell::Session session = vl::shell::CommandSession(conn);
        ContractSession s(conn, session);
        s.open(ContractMode::Insert);
        vl::rental::HeaderFields h;
        auto hv = [&](const char* c) { return value(head.value(QString::fromLatin1(c))); };
        h.ugyfelkod = hv("UGYFELKOD");
        h.ugyfelcim = hv("UGYFELCIM");
        h.fizmod = hv("FIZMOD");
        h.bermod = hv("BERMOD");
        h.berkezd = hv("BERKEZD");
        h.berveg = hv("BERVEG");
        h.szerzodes = hv("SZERZODES");
        h.komment = hv("KOMMENT");
        h.vegkomment = hv("VEGKOMMENT");
        s.setHeader(h);
        bool ok = settle(s.validateHeader());
        for (int n = 0; ok && n < lines.size(); ++n) {
            const QJsonObject lo = lines.at(n).toObject();
            auto lv = [&](const char* c) { return value(lo.value(QString::fromLatin1(c))); };
            vl::rental::LineInput in;
            in.arucsoport = lv("ARUCSOPORT");
            in.mennyiseg = lv("MENNYISEG");
            in.bermenny = lv("BERMENNY");
            in.bermegyseg = lv("BERMEGYSEG");
            in.nettoar = lv("NETTOAR");
            in.minimalar = lv("MINIMALAR");
            in.karertek = lv("KARERTEK");
            in.kiszall = lv("KISZALL");
            in.vszall = lv("VSZALL");
            in.periodus = lv("PERIODUS");
            in.soforkod = lv("SOFORKOD");
            in.komment = lv("KOMMENT");
            if (lo.contains(QStringLiteral("HKSZCSPSZV")) && !pattern(lv("HKSZCSPSZV"), in.counts)) {
                err(QStringLiteral("contract import: %1. sor: a HKSZCSPSZV hét számjegy legyen: %2").arg(n + 1).arg(lv("HKSZCSPSZV")));
                ok = false;
                break;
            }
            prices(lo, in.prices);
            Outcome o = s.addLine(in);
            while (o.asks() && o.proceed) {
                const int a = o.questionDefaultNo ? vl::askDefaultNo(o.question) : vl::ask(o.question);
                const auto proceed = o.proceed;
                o = proceed(a == 0);
            }
            if (!o.ok) {
                for (const QString& m : o.messages) err(QStringLiteral("contract import: %1. sor: ").arg(n + 1) + oneLine(m));
                ok = false;
                break;
            }
            const qint64 t = o.line;
            const QJsonArray items = lo.value(QStringLiteral("items")).toArray();
            vl::db::RowSet have = s.items();
            qint64 itemsOfLine = 0;
            while (have.next()) itemsOfLine += have.integer(QStringLiteral("TETELSOR")) == t ? 1 : 0;
            if (items.size() > itemsOfLine) {
                err(QStringLiteral("contract import: %1. sor: több termék van megadva (%2), mint a darabszám (%3).")
                        .arg(n + 1).arg(items.size()).arg(itemsOfLine));
                ok = false;
                break;
            }
            for (int i = 0; ok && i < items.size(); ++i) {
                const QJsonObject io = items.at(i).toObject();
                if (io.isEmpty()) continue;
                auto iv = [&](const char* c) { return value(io.value(QString::fromLatin1(c))); };
                vl::rental::ItemInput it = s.itemFields(t, i + 1);
                if (io.contains(QStringLiteral("ARUKOD"))) it.arukod = iv("ARUKOD");
                if (io.contains(QStringLiteral("KISZALL"))) it.kiszall = iv("KISZALL");
                if (io.contains(QStringLiteral("VSZALLT"))) it.vszallt = iv("VSZALLT");
                if (io.contains(QStringLiteral("PERIODUS"))) it.periodus = iv("PERIODUS");
                if (io.contains(QStringLiteral("KOMMENT"))) it.komment = iv("KOMMENT");
                if (io.contains(QStringLiteral("HKSZCSPSZV")) && !pattern(iv("HKSZCSPSZV"), it.counts)) {
                    err(QStringLiteral("contract import: %1. sor %2. termék: a HKSZCSPSZV hét számjegy legyen: %3")
                            .arg(n + 1).arg(i + 1).arg(iv("HKSZCSPSZV")));
                    ok = false;
                    break;
                }
                prices(io, it.prices);
                Outcome io2 = s.storeItem(t, i + 1, it);
                while (io2.asks() && io2.proceed) {
                    const int a = io2.questionDefaultNo ? vl::askDefaultNo(io2.question) : vl::ask(io2.question);
                    const auto proceed = io2.proceed;
                    io2 = proceed(a == 0);
                }
                if (!io2.ok) {
                    for (const QString& m : io2.messages)
                        err(QStringLiteral("contract import: %1. sor %2. termék: ").arg(n + 1).arg(i + 1) + oneLine(m));
                    ok = false;
                }
            }
        }
        for (int n = 0; ok && n < payments.size(); ++n) {
            const QJsonObject po = payments.at(n).toObject();
            const Outcome o = vl::rental::ContractPayments::Add(
                s, {value(po.value(QStringLiteral("DATUM"))), value(po.value(QStringLiteral("DATUM2"))),
                    value(po.value(QStringLiteral("NETTO"))), QString()});
            if (!o.ok) {
                for (const QString& m : o.messages) err(QStringLiteral("contract import: %1. fizetés: ").arg(n + 1) + oneLine(m));
                ok = false;
            }
        }
        if (ok) {
            vl::rental::ContractSaveResult r;
            if (settle(vl::rental::ContractSave::Store(s, &r))) {
                out(QStringLiteral("Új szerződés: %1").arg(r.bizonylat));
                rc = 0;
            }
        }
        s.discard();
    } catch (const vl::Error& e) {
        err(QStringLiteral("contract import: ") + oneLine(e.text()));
        rc = 1;
    }
    dm.disconnect();
    return rc;
}

} // namespace vl::admin
