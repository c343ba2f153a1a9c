#include "rental/ProductRegister.h"

#include "db/TxScope.h"
#include "rental/Billing.h"
#include "rental/ProductStore.h"
#include "rental/Schedule.h"
#include "util/Error.h"
#include "util/Dates.h"
#include "db/WriteConflict.h"
#include "rental/Dictionaries.h"
#include "rental/ProductRegisterReport.h"

#include <QDate>
#include <QDateTime>
#include <QRegularExpression>
#include <QHash>
#include <QSet>

#include <algorithm>
#include <optional>
#include <vector>

namespace vl::rental {

using vl::db::Connection;
using vl::db::Params;
using vl::db::RowSet;
using vl::db::Transaction;
using vl::db::TxScope;

namespace {

const QString kRule = QStringLiteral("ProductRegister");

// The product list; the filter adds bound conditions only. It is read
// without an order and put in order here (inCodeOrder): sorting the wide rows
// in the server cost half again the read at a hundred thousand cabins.
const QString kListSelect = QStringLiteral(
    "SELECT A.KOD, A.ARUCSOPORT, A.ALLAPOT, CS.NEV TIPUS, S.NEV STATUS, B.KISZALL, B.VSZALL, U.NEV UGYFEL, "
    "C.IRSZAM||' '||C.VAROS||', '||C.UTCA CIM, A.BIZONYLAT, 1 VERZIO, S.KIADHATO, S.SZIN, B.TETELSOR "
    "FROM ARU A LEFT OUTER JOIN FORGKABIN B ON B.BIZONYLAT = A.BIZONYLAT AND B.ARUKOD = A.KOD "
    "LEFT OUTER JOIN UGYFEL U ON U.KOD = A.UGYFEL LEFT OUTER JOIN UGYFELCIM C ON C.KOD = A.CIM, "
    "SZ_ARUCSOP CS, SZ_STATUSK S WHERE CS.KOD = A.ARUCSOPORT AND S.KOD = A.ALLAPOT");
// The codes that are not whole numbers, in the database's collation.
const QString kOtherCodesInOrder = QStringLiteral(
    "SELECT KOD FROM ARU WHERE NOT (TRIM(KOD) SIMILAR TO '[0-9]{1,18}') ORDER BY KOD");

// A code without its surrounding blanks, as the server's TRIM leaves it.
QString blankless(const QString& code) {
    qsizetype b = 0, e = code.size();
    while (b < e && code.at(b) == QLatin1Char(' ')) ++b;
    while (e > b && code.at(e - 1) == QLatin1Char(' ')) --e;
    return code.mid(b, e - b);
}

// The value of a code of 1 to 18 digits (0-9), or nothing.
std::optional<qint64> wholeNumber(const QString& code) {
    const QString t = blankless(code);
    if (t.isEmpty() || t.size() > 18) return std::nullopt;
    qint64 v = 0;
    for (const QChar c : t) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return std::nullopt;
        v = v * 10 + (c.unicode() - '0');
    }
    return v;
}

// Codes that are whole numbers by their value (equal values by the code's
// text); a code of another form (left from older data) after them, in the
// database's collation. Rows of one code keep the order they came in.
RowSet inCodeOrder(Transaction& tx, const RowSet& rows) {
    const int cKod = rows.indexOf(QStringLiteral("KOD"));
    struct Key {
        int row;
        bool other;
        qint64 value;   // the number, or the code's place among the other codes
        QString text;
    };
    std::vector<Key> keys;
    keys.reserve(size_t(rows.rowCount()));
    bool others = false;
    for (int r = 0; r < rows.rowCount(); ++r) {
        const QString kod = rows.at(r, cKod).toString();
        const std::optional<qint64> v = wholeNumber(kod);
        keys.push_back({r, !v, v.value_or(0), blankless(kod)});
        others |= !v;
    }
    if (others) {
        QHash<QString, qint64> place;
        const RowSet order = tx.query(kOtherCodesInOrder);
        for (int r = 0; r < order.rowCount(); ++r) place.insert(blankless(order.at(r, 0).toString()), r);
        for (Key& k : keys)
            if (k.other) k.value = place.value(k.text, order.rowCount());
    }
    std::stable_sort(keys.begin(), keys.end(), [](const Key& x, const Key& y) {
        if (x.other != y.other) return !x.other;
        if (x.value != y.value) return x.value < y.value;
        return x.text < y.text;
    });
    std::vector<QVariantList> out;
    out.reserve(keys.size());
    for (const Key& k : keys) out.push_back(rows.row(k.row));
    return RowSet(rows.columns(), std::move(out));
}

// The cabins are counted by their codes (a narrow sort), the few groups then
// take the dictionaries' names; groups of one name add up.
const QString kSummaryCounts = QStringLiteral(
    "SELECT A.ARUCSOPORT, A.ALLAPOT, COUNT(*) N FROM ARU A WHERE 1 = 1");
const QString kSummaryNames = QStringLiteral(
    "SELECT SC.NEV KABINFAJTA, SK.NEV ALLAPOT, SUM(G.N) DARAB FROM (%1 GROUP BY 1, 2) G"
    " JOIN SZ_STATUSK SK ON SK.KOD = G.ALLAPOT JOIN SZ_ARUCSOP SC ON SC.KOD = G.ARUCSOPORT"
    " GROUP BY SK.NEV, SC.NEV ORDER BY 1, 2");

const QString kWithoutMaintenance = QStringLiteral(
    "SELECT K.ARUKOD TERMEKSZAM, CS.NEV TERMEKTIPUS, T.DATUM, U.NEV UGYFEL, C.IRSZAM||' '||C.VAROS||', '||C.UTCA CIM "
    "FROM FORGKABIN K, FORGFEJ F, FORGTEV T, UGYFEL U, UGYFELCIM C, FORGSOR S, SZ_ARUCSOP CS "
    "WHERE K.HKSZCSPSZV = '0000000' AND (K.VSZALL = '' OR K.VSZALL IS NULL) AND F.BIZONYLAT = K.BIZONYLAT "
    "AND F.VERZIO = K.VERZIO AND F.STATUS = 'FO' AND T.BIZONYLAT = K.BIZONYLAT AND T.VERZIO = K.VERZIO "
    "AND T.TETELSOR = K.TETELSOR AND T.SORSZAM = K.SORSZAM AND T.TEVKOD = 'KIH' "
    "AND T.TEVALLAPOT IN (SELECT KOD FROM SZ_STATUST WHERE MODOSITHATO = 'N') "
    "AND U.KOD = F.UGYFELKOD AND C.KOD = F.UGYFELCIM AND S.BIZONYLAT = K.BIZONYLAT AND S.VERZIO = K.VERZIO "
    "AND S.TETELSOR = K.TETELSOR AND CS.KOD = S.ARUCSOPORT ORDER BY 4");

const QString kWithoutNumber = QStringLiteral(
    "SELECT CS.NEV TERMEKTIPUS, T.DATUM, U.NEV UGYFEL, C.IRSZAM||' '||C.VAROS||', '||C.UTCA CIM "
    "FROM FORGKABIN K, FORGFEJ F, FORGTEV T, UGYFEL U, UGYFELCIM C, FORGSOR S, SZ_ARUCSOP CS "
    "WHERE K.ARUKOD = '*' AND (K.VSZALL = '' OR K.VSZALL IS NULL) AND F.BIZONYLAT = K.BIZONYLAT "
    "AND F.VERZIO = K.VERZIO AND F.STATUS = 'FO' AND T.BIZONYLAT = K.BIZONYLAT AND T.VERZIO = K.VERZIO "
    "AND T.TETELSOR = K.TETELSOR AND T.SORSZAM = K.SORSZAM AND T.TEVKOD = 'KIH' "
    "AND T.TEVALLAPOT IN (SELECT KOD FROM SZ_STATUST WHERE MODOSITHATO = 'N') "
    "AND U.KOD = F.UGYFELKOD AND C.KOD = F.UGYFELCIM AND S.BIZONYLAT = K.BIZONYLAT AND S.VERZIO = K.VERZIO "
    "AND S.TETELSOR = K.TETELSOR AND CS.KOD = S.ARUCSOPORT AND S.ARUCSOPORT <> 'Ek' ORDER BY 3");

// A planned activity: state of class "I" or "i".
const QString kPlanned = QStringLiteral("TEVALLAPOT IN (SELECT KOD FROM SZ_STATUST WHERE MODOSITHATO IN ('I', 'i'))");

void addFilter(QString& sql, Params& p, const ProductFilter& f) {
    if (!f.typeCode.isEmpty()) {
        sql += QStringLiteral(" AND A.ARUCSOPORT = :arucsoport");
        p.push_back({QStringLiteral("arucsoport"), f.typeCode});
    }
    if (!f.statusCode.isEmpty()) {
        sql += QStringLiteral(" AND A.ALLAPOT = :allapot");
        p.push_back({QStringLiteral("allapot"), f.statusCode});
    }
}

struct Product {
    bool found = false;
    QString kod, arucsoport, csopNev, statusNev, kiadhato;
};

Product readProduct(Transaction& tx, const QString& code) {
    Product p;
    auto rs = tx.query(QStringLiteral(
        "SELECT A.KOD, A.ARUCSOPORT, C.NEV, S.NEV STATUS, S.KIADHATO FROM ARU A, SZ_ARUCSOP C, SZ_STATUSK S "
        "WHERE A.KOD = :kod AND A.ARUCSOPORT = C.KOD AND A.ALLAPOT = S.KOD"),
        {{QStringLiteral("kod"), code}});
    if (rs.next()) {
        p.found = true;
        p.kod = rs.text(QStringLiteral("KOD")).trimmed();
        p.arucsoport = rs.text(QStringLiteral("ARUCSOPORT")).trimmed();
        p.csopNev = rs.value(2).toString();
        p.statusNev = rs.text(QStringLiteral("STATUS"));
        p.kiadhato = rs.text(QStringLiteral("KIADHATO")).trimmed();
    }
    return p;
}

// KOD of a dictionary row by its name; null when the name is not there.
QString codeByName(Transaction& tx, const QString& table, const QString& name, QString* cls = nullptr) {
    // The table comes from the fixed pair SZ_ARUCSOP / SZ_STATUSK.
    const QString sql = table == QLatin1String("SZ_STATUSK")
                            ? QStringLiteral("SELECT KOD, KIADHATO FROM SZ_STATUSK WHERE UPPER(NEV) = UPPER(:nev)")
                            : QStringLiteral("SELECT KOD, '' FROM SZ_ARUCSOP WHERE UPPER(NEV) = UPPER(:nev)");
    auto rs = tx.query(sql, {{QStringLiteral("nev"), name.trimmed()}});
    if (!rs.next()) return QString();
    if (cls) *cls = rs.value(1).toString().trimmed();
    const QString kod = rs.value(0).toString().trimmed();
    return kod.isNull() ? QString(QLatin1String("")) : kod;
}

bool namedByContract(Transaction& tx, const QString& code) {
    const auto rs = tx.query(QStringLiteral(
        "SELECT 1 FROM RDB$DATABASE WHERE EXISTS (SELECT 1 FROM FORGKABIN WHERE ARUKOD = :kod) "
        "OR EXISTS (SELECT 1 FROM FORGTEV WHERE ARUKOD = :kod)"),
        {{QStringLiteral("kod"), code}});
    return !rs.isEmpty();
}

// The answers a store has been given so far (unset: not asked yet).
struct StoreAnswers {
    std::optional<bool> typeChange;     // "Visszaveszi a terméket és más típusú terméket ad meg helyette?"
    std::optional<bool> noReplacement;  // "Visszaveszi a terméket és nem ad meg helyette másikat?"
    std::optional<bool> update;         // "A X kódú terméket módosítjuk?"
};

ProductStoreResult storeProduct(Connection& conn, Transaction* outer, const vl::shell::Session& session,
                                const ProductStoreRequest& rq, const StoreAnswers& answers);

// The open question of a store; the answer runs the store again with it.
ProductStoreResult storeAsking(Connection& conn, Transaction* outer, const vl::shell::Session& session,
                               const ProductStoreRequest& rq, const StoreAnswers& answers, const QString& question,
                               std::optional<bool> StoreAnswers::*slot) {
    return ProductStoreResult::asking(question, [&conn, outer, session, rq, answers, slot](bool yes) {
        StoreAnswers next = answers;
        next.*slot = yes;
        return storeProduct(conn, outer, session, rq, next);
    });
}

} // namespace

QString ProductModeName(ProductMode m) {
    switch (m) {
    case ProductMode::Browse: return QStringLiteral("browse");
    case ProductMode::Insert: return QStringLiteral("insert");
    case ProductMode::Update: return QStringLiteral("update");
    case ProductMode::Modify: return QStringLiteral("modify");
    }
    return QString();
}

QString ExchangeSummary::line() const {
    QString s = QStringLiteral("Visszavétel: %1. szerződés, %2. sor %3. tétel").arg(bizonylat).arg(tetelsor).arg(sorszam);
    if (split) s += QStringLiteral(" (új sor, más típus)");
    else if (typeChanged) s += QStringLiteral(" (a sor típusa módosult)");
    s += QStringLiteral("; áthelyezett tervezett tevékenység: %1; karbantartás: %2 új, %3 törölt; "
                        "fizetési időszak: %4 új, %5 törölt.")
             .arg(activitiesMoved).arg(visitsWritten).arg(visitsDeleted).arg(periodsWritten).arg(periodsDeleted);
    return s;
}

RowSet ProductRegister::List(Transaction& tx, const ProductFilter& filter) {
    QString sql = kListSelect;
    Params p;
    addFilter(sql, p, filter);
    return inCodeOrder(tx, tx.query(sql, p));
}

RowSet ProductRegister::Summary(Transaction& tx, const ProductFilter& filter) {
    QString counts = kSummaryCounts;
    Params p;
    addFilter(counts, p, filter);
    return tx.query(kSummaryNames.arg(counts), p);
}

RowSet ProductRegister::WithoutMaintenance(Transaction& tx) { return tx.query(kWithoutMaintenance); }
RowSet ProductRegister::WithoutCabinNumber(Transaction& tx) { return tx.query(kWithoutNumber); }

QString ProductRegister::FilterText(const QString& typeName, const QString& statusName) {
    QString s;
    if (!typeName.isEmpty()) s += QStringLiteral(" Árucsoport:") + typeName;
    if (!statusName.isEmpty()) s += QStringLiteral(", Státusz: ") + statusName;
    return s;
}

RowSet ProductRegister::MarkTakenOnContract(const RowSet& list, const QStringList& codes) {
    QSet<QString> taken;
    for (const QString& c : codes)
        if (!c.trimmed().isEmpty() && c.trimmed() != QLatin1String("*")) taken.insert(c.trimmed());
    const int cKod = list.indexOf(QStringLiteral("KOD"));
    if (taken.isEmpty() || cKod < 0) return list;
    const int cStatus = list.indexOf(QStringLiteral("STATUS"));
    const int cClass = list.indexOf(QStringLiteral("KIADHATO"));
    const int cColour = list.indexOf(QStringLiteral("SZIN"));
    std::vector<QVariantList> rows;
    rows.reserve(size_t(list.rowCount()));
    for (int r = 0; r < list.rowCount(); ++r) {
        QVariantList row = list.row(r);
        if (taken.contains(row.at(cKod).toString().trimmed())) {
            if (cStatus >= 0) row[cStatus] = TakenOnContractText();
            if (cClass >= 0) row[cClass] = QStringLiteral("N");
            if (cColour >= 0) row[cColour] = QStringLiteral("FEKETE");
        }
        rows.push_back(row);
    }
    return RowSet(list.columns(), std::move(rows));
}

int ProductRegister::QuickSearch(const QStringList& codes, const QString& text) {
    QString t = text.trimmed().toUpper();
    if (t.isEmpty()) return codes.isEmpty() ? -1 : 0;
    while (!t.isEmpty()) {
        for (int i = 0; i < codes.size(); ++i)
            if (codes.at(i).trimmed().toUpper().startsWith(t)) return i;
        t.chop(1);
    }
    return -1;
}

bool ProductRegister::ValidCode(const QString& code) {
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,18}$"));
    return digits.match(code.trimmed()).hasMatch();
}

QString ProductRegister::InvalidCodeText(const QString& code) {
    return QStringLiteral("A kód csak számjegyekből állhat: ") + code.trimmed();
}

ProductRegister::Counts ProductRegister::CountByClass(const RowSet& list) {
    Counts c;
    const int col = list.indexOf(QStringLiteral("KIADHATO"));
    for (int r = 0; r < list.rowCount(); ++r) {
        const QString k = col >= 0 ? list.at(r, col).toString().trimmed() : QString();
        if (k == QLatin1String("I")) ++c.free;
        else if (k == QLatin1String("N")) ++c.rented;
        else ++c.other;
    }
    return c;
}

RowSet ProductRegister::FreedByTakeBacks(Transaction& tx, const QString& from, const QString& to) {
    return tx.query(QStringLiteral(
                        "SELECT S.ARUCSOPORT, COUNT(*) DARAB FROM FORGTEV T"
                        " JOIN FORGFEJ F ON F.BIZONYLAT = T.BIZONYLAT AND F.VERZIO = T.VERZIO"
                        " JOIN FORGSOR S ON S.BIZONYLAT = T.BIZONYLAT AND S.VERZIO = T.VERZIO AND S.TETELSOR = T.TETELSOR"
                        " WHERE T.TEVKOD = 'VSZ' AND T.DATUM BETWEEN :tol AND :ig AND F.STATUS = 'FO' AND F.AKTIV = 'I'"
                        " AND T.") + kPlanned + QStringLiteral(" GROUP BY S.ARUCSOPORT ORDER BY 1"),
                    {{QStringLiteral("tol"), from}, {QStringLiteral("ig"), to}});
}

qint64 ProductRegister::NextLineNo(Transaction& tx, qint64 bizonylat, qint64 verzio) {
    const auto rs = tx.query(QStringLiteral(
        "SELECT MAX(T) FROM (SELECT MAX(TETELSOR) T FROM FORGSOR WHERE BIZONYLAT = :b AND VERZIO = :v "
        "UNION ALL SELECT MAX(TETELSOR) FROM FORGKABIN WHERE BIZONYLAT = :b AND VERZIO = :v "
        "UNION ALL SELECT MAX(TETELSOR) FROM FORGTEV WHERE BIZONYLAT = :b AND VERZIO = :v)"),
        {{QStringLiteral("b"), bizonylat}, {QStringLiteral("v"), verzio}});
    return (rs.isEmpty() ? 0 : rs.at(0, 0).toLongLong()) + 1;
}

ProductStoreResult ProductRegister::Store(Connection& conn, Transaction* outer, const vl::shell::Session& session,
                                          const ProductStoreRequest& rq) {
    return storeProduct(conn, outer, session, rq, {});
}

namespace {

ProductStoreResult storeProduct(Connection& conn, Transaction* outer, const vl::shell::Session& session,
                                const ProductStoreRequest& rq, const StoreAnswers& answers) {
    using R = ProductRegister;
    ProductStoreResult result;
    TxScope tx(conn, outer);
    const bool editsCode = rq.mode == ProductMode::Insert || rq.mode == ProductMode::Update;
    const QString code = rq.code.trimmed();
    const QString oldCode = rq.oldCode.trimmed();
    QString errors;

    // 1. what must be filled in
    if (editsCode && code.isEmpty()) errors += QStringLiteral("A kód nincs kitöltve\r");
    if (rq.typeName.trimmed().isEmpty()) errors += QStringLiteral("A típus nincs kitöltve\r");
    if (rq.statusName.trimmed().isEmpty()) errors += QStringLiteral("A státusz nincs kitöltve\r");

    // 2. the names must still be in the dictionaries
    QString typeCode, statusCode, statusClass;
    if (errors.isEmpty()) {
        typeCode = codeByName(*tx, QStringLiteral("SZ_ARUCSOP"), rq.typeName);
        if (typeCode.isNull()) errors += QStringLiteral("Eltűnt az árucsoport: ") + rq.typeName;
        statusCode = codeByName(*tx, QStringLiteral("SZ_STATUSK"), rq.statusName, &statusClass);
        if (statusCode.isNull()) errors += QStringLiteral("Eltűnt a státusz: ") + rq.statusName;
    }

    // 3. by mode
    bool typeChange = false;
    QString replacement = rq.replacement.trimmed();
    if (errors.isEmpty()) {
        const bool newCode = rq.mode == ProductMode::Insert ||
                             (rq.mode == ProductMode::Update && code.compare(oldCode, Qt::CaseInsensitive) != 0);
        if (editsCode && newCode && !R::ValidCode(code)) errors += R::InvalidCodeText(code) + QLatin1Char('\r');
        switch (rq.mode) {
        case ProductMode::Insert: {
            bool listed = false;
            for (const QString& c : rq.listedCodes)
                if (c.trimmed().compare(code, Qt::CaseInsensitive) == 0) listed = true;
            if (listed) {
                errors += QStringLiteral("Már van ilyen kód: ") + code + QLatin1Char('\r');
            } else if (const Product p = readProduct(*tx, code); p.found) {
                errors += QStringLiteral("Már van ilyen kód: ") + code + QLatin1Char(' ') + p.csopNev + QLatin1Char(' ') +
                          p.statusNev + QLatin1Char('\r');
            }
            if (statusClass == QLatin1String("N"))
                errors += QStringLiteral("Új felvitelnél nem lehet ilyen státusz: ") + rq.statusName + QLatin1Char('\r');
            break;
        }
        case ProductMode::Update: {
            const QString was = rq.oldStatusClass.trimmed();
            const bool delivered = !rq.kiszall.trimmed().isEmpty();
            if ((was == QLatin1String("I") && statusClass == QLatin1String("N") && !delivered) ||
                (was == QLatin1String("N") && statusClass == QLatin1String("I") && delivered))
                errors += QStringLiteral("A státusz itt így nem módosítható\r");
            if (newCode) {
                if (const Product p = readProduct(*tx, code); p.found)
                    errors += QStringLiteral("Már van ilyen kód: ") + code + QLatin1Char(' ') + p.csopNev +
                              QLatin1Char(' ') + p.statusNev + QLatin1Char('\r');
                else if (namedByContract(*tx, oldCode))
                    errors += QStringLiteral("A(z) %1 kódú terméket szerződés tétele tartalmazza, a kódja nem "
                                             "módosítható\r").arg(oldCode);
            }
            break;
        }
        case ProductMode::Modify: {
            if (rq.oldStatusClass.trimmed() != QLatin1String("N")) {
                const Product p = readProduct(*tx, oldCode);
                errors += R::TakeBackRefusal(p.found ? p.statusNev : rq.statusName) + QLatin1Char('\r');
                break;
            }
            if (replacement.isEmpty()) replacement = QStringLiteral("*");
            if (replacement != QLatin1String("*")) {
                const Product p = readProduct(*tx, replacement);
                if (!p.found) {
                    errors += QStringLiteral("Nincs ilyen termékkód: ") + replacement + QLatin1Char('\r');
                } else if (p.kiadhato != QLatin1String("I")) {
                    errors += QStringLiteral("A termék: ") + replacement + QStringLiteral(" nem kiadható\r");
                } else if (p.arucsoport != rq.oldTypeCode.trimmed()) {
                    if (!answers.typeChange)
                        return storeAsking(conn, outer, session, rq, answers,
                                           QStringLiteral("Visszaveszi a terméket és más típusú terméket ad meg helyette?"),
                                           &StoreAnswers::typeChange);
                    if (*answers.typeChange)
                        typeChange = true;
                    else
                        errors += QStringLiteral("Téves termék típus csere\r");
                }
            } else if (!answers.noReplacement) {
                return storeAsking(conn, outer, session, rq, answers,
                                   QStringLiteral("Visszaveszi a terméket és nem ad meg helyette másikat?"),
                                   &StoreAnswers::noReplacement);
            } else if (!*answers.noReplacement) {
                errors += QStringLiteral("Téves visszavétel\r");
            }
            break;
        }
        case ProductMode::Browse:
            break;
        }
    }

    // 4. errors: shown together, nothing written
    if (!errors.isEmpty()) return ProductStoreResult::refusal(QStringLiteral("Az adatokban az alábbi hibák vannak:\r") + errors);

    // 5. writing
    result.rememberCode = rq.mode == ProductMode::Modify ? oldCode : code;
    switch (rq.mode) {
    case ProductMode::Update:
        if (!answers.update)
            return storeAsking(conn, outer, session, rq, answers,
                               QStringLiteral("A ") + oldCode + QStringLiteral(" kódú terméket módosítjuk?"),
                               &StoreAnswers::update);
        if (!*answers.update) {
            result.declined = true;
            return result;
        }
        if (code != oldCode) {
            tx->exec(QStringLiteral(
                "UPDATE ARU SET KOD = :kod, ARUCSOPORT = :arucsoport, ALLAPOT = :allapot WHERE KOD = :regikod"),
                {{QStringLiteral("kod"), code}, {QStringLiteral("arucsoport"), typeCode},
                 {QStringLiteral("allapot"), statusCode}, {QStringLiteral("regikod"), oldCode}});
            result.summary = QStringLiteral("A(z) %1 kódú termék új kódja: %2.").arg(oldCode, code);
            break;
        }
        [[fallthrough]];
    case ProductMode::Insert:
        ProductStore::StoreProduct(*tx, code, typeCode, statusCode);
        result.summary = QStringLiteral("A(z) %1 kódú termék tárolva.").arg(code);
        break;
    case ProductMode::Modify: {
        const ExchangeSummary s = vl::db::refusingWriteConflict(R::ContractChangedElsewhereText(), kRule, [&] {
            return R::Exchange(*tx, session, rq.bizonylat, 1, oldCode, replacement, typeChange);
        });
        result.summary = s.line();
        break;
    }
    case ProductMode::Browse:
        return result;
    }
    tx.commit();
    result.ok = true;
    result.warning = false;
    return result;
}

} // namespace

ExchangeSummary ProductRegister::Exchange(Transaction& tx, const vl::shell::Session& session, qint64 bizonylat,
                                          qint64 verzio, const QString& oldCodeIn, const QString& replacementIn,
                                          bool typeChange) {
    const QString oldCode = oldCodeIn.trimmed();
    const QString replacement = replacementIn.trimmed().isEmpty() ? QStringLiteral("*") : replacementIn.trimmed();
    const QString stamp = vl::util::NowStamp();
    const QString juzer = session.writer();
    ExchangeSummary sum;
    sum.bizonylat = bizonylat;
    const Params key{{QStringLiteral("b"), bizonylat}, {QStringLiteral("v"), verzio}};

    // The contract must be one whose lines may change.
    auto head = tx.query(QStringLiteral(
        "SELECT F.STATUS, S.NEV, S.MODOSITHATO FROM FORGFEJ F LEFT JOIN SZ_STATUSR S ON S.KOD = F.STATUS "
        "WHERE F.BIZONYLAT = :b AND F.VERZIO = :v AND F.AKTIV = 'I'"), key);
    if (!head.next())
        throw vl::RuleRefusal(QStringLiteral("Nincs ilyen szerződés: %1").arg(bizonylat), kRule);
    if (head.text(QStringLiteral("MODOSITHATO")).trimmed() == QLatin1String("N"))
        throw vl::RuleRefusal(head.text(QStringLiteral("NEV")) + QStringLiteral(" szerződés nem módosítható."), kRule);

    // The item that holds the product and is not back.
    Params itemKey = key;
    itemKey.push_back({QStringLiteral("kod"), oldCode});
    auto item = tx.query(QStringLiteral(
        "SELECT TETELSOR, SORSZAM, KISZALL FROM FORGKABIN WHERE BIZONYLAT = :b AND VERZIO = :v AND ARUKOD = :kod "
        "AND (VSZALL IS NULL OR VSZALL = '') ORDER BY TETELSOR, SORSZAM"), itemKey);
    if (!item.next())
        throw vl::RuleRefusal(QStringLiteral("A(z) %1 kódú termék nincs kint a(z) %2. szerződésen.")
                                  .arg(oldCode).arg(bizonylat), kRule);
    const qint64 tetelsor = item.integer(QStringLiteral("TETELSOR"));
    const qint64 sorszam = item.integer(QStringLiteral("SORSZAM"));
    const QString kiszall = item.text(QStringLiteral("KISZALL"));

    // The replacement, read again inside the transaction.
    QString newGroup;
    if (replacement != QLatin1String("*")) {
        const Product p = readProduct(tx, replacement);
        if (!p.found) throw vl::RuleRefusal(QStringLiteral("Nincs ilyen termékkód: ") + replacement, kRule);
        if (p.kiadhato != QLatin1String("I"))
            throw vl::RuleRefusal(QStringLiteral("A termék: ") + replacement + QStringLiteral(" nem kiadható"), kRule);
        newGroup = p.arucsoport;
    }

    // (1) the contract's stamp
    tx.exec(QStringLiteral("UPDATE FORGFEJ SET JUZER = :juzer, MIKOR = :mikor WHERE BIZONYLAT = :b AND VERZIO = :v"),
            {{QStringLiteral("juzer"), juzer}, {QStringLiteral("mikor"), stamp},
             {QStringLiteral("b"), bizonylat}, {QStringLiteral("v"), verzio}});

    // (2) the line and the item
    auto lineRs = tx.query(QStringLiteral("SELECT * FROM FORGSOR WHERE BIZONYLAT = :b AND VERZIO = :v AND TETELSOR = :t"),
                           {{QStringLiteral("b"), bizonylat}, {QStringLiteral("v"), verzio},
                            {QStringLiteral("t"), tetelsor}});
    if (!lineRs.next())
        throw vl::RuleRefusal(QStringLiteral("Nincs meg a szerződés %1. sora.").arg(tetelsor), kRule);
    const qint64 mennyiseg = lineRs.integer(QStringLiteral("MENNYISEG"));

    qint64 newLine = tetelsor;
    qint64 newItem = sorszam;
    if (typeChange && !newGroup.isEmpty()) {
        sum.typeChanged = true;
        if (mennyiseg <= 1) {
            tx.exec(QStringLiteral(
                "UPDATE FORGSOR SET ARUCSOPORT = :arucsop, MENNYISEG = :mennyiseg, JUZER = :juzer, MIKOR = :mikor "
                "WHERE BIZONYLAT = :b AND VERZIO = :v AND TETELSOR = :t"),
                {{QStringLiteral("arucsop"), newGroup}, {QStringLiteral("mennyiseg"), 1},
                 {QStringLiteral("juzer"), juzer}, {QStringLiteral("mikor"), stamp},
                 {QStringLiteral("b"), bizonylat}, {QStringLiteral("v"), verzio}, {QStringLiteral("t"), tetelsor}});
        } else {
            // The item leaves its line for a new one of the replacement's group.
            sum.split = true;
            newLine = NextLineNo(tx, bizonylat, verzio);
            newItem = 1;
            Params copy;
            static const char* const cols[] = {
                "M_EGYSEG", "BERMENNY", "BERMEGYSEG", "NETTOAR", "MINIMALAR", "KARERTEK", "KISZALL", "VSZALL",
                "VSZALLKELTE", "HKSZCSPSZV", "KARBAR1", "KARBAR2", "KARBAR3", "KARBAR4", "KARBAR5", "KARBAR6",
                "KARBAR7", "PERIODUS", "SOFORKOD", "KOMMENT"};
            QStringList names, params;
            for (const char* c : cols) {
                const QString col = QString::fromLatin1(c);
                names << col;
                params << QLatin1Char(':') + col.toLower();
                copy.push_back({col.toLower(), lineRs.value(col)});
            }
            copy.push_back({QStringLiteral("bizonylat"), bizonylat});
            copy.push_back({QStringLiteral("verzio"), verzio});
            copy.push_back({QStringLiteral("tetelsor"), newLine});
            copy.push_back({QStringLiteral("arucsoport"), newGroup});
            copy.push_back({QStringLiteral("mennyiseg"), 1});
            copy.push_back({QStringLiteral("juzer"), juzer});
            copy.push_back({QStringLiteral("mikor"), stamp});
            // Column names from the fixed list above.
            tx.exec(QStringLiteral("INSERT INTO FORGSOR (BIZONYLAT, VERZIO, TETELSOR, ARUCSOPORT, MENNYISEG, VMENNYISEG, "
                                   "%1, JUZER, MIKOR) VALUES (:bizonylat, :verzio, :tetelsor, :arucsoport, :mennyiseg, 0, "
                                   "%2, :juzer, :mikor)")
                        .arg(names.join(QStringLiteral(", ")), params.join(QStringLiteral(", "))),
                    copy);
            tx.exec(QStringLiteral(
                "UPDATE FORGSOR SET MENNYISEG = MENNYISEG - 1, JUZER = :juzer, MIKOR = :mikor "
                "WHERE BIZONYLAT = :b AND VERZIO = :v AND TETELSOR = :t"),
                {{QStringLiteral("juzer"), juzer}, {QStringLiteral("mikor"), stamp},
                 {QStringLiteral("b"), bizonylat}, {QStringLiteral("v"), verzio}, {QStringLiteral("t"), tetelsor}});
        }
    }
    const Params move{{QStringLiteral("arukod"), replacement},
                      {QStringLiteral("nt"), newLine},
                      {QStringLiteral("ns"), newItem},
                      {QStringLiteral("juzer"), juzer},
                      {QStringLiteral("mikor"), stamp},
                      {QStringLiteral("b"), bizonylat},
                      {QStringLiteral("v"), verzio},
                      {QStringLiteral("t"), tetelsor},
                      {QStringLiteral("s"), sorszam}};
    tx.exec(QStringLiteral(
        "UPDATE FORGKABIN SET ARUKOD = :arukod, TETELSOR = :nt, SORSZAM = :ns, JUZER = :juzer, MIKOR = :mikor "
        "WHERE BIZONYLAT = :b AND VERZIO = :v AND TETELSOR = :t AND SORSZAM = :s"), move);
    // The item's planned activities follow it: keyed by the item, never by the product code.
    sum.activitiesMoved = int(tx.exec(QStringLiteral(
        "UPDATE FORGTEV SET ARUKOD = :arukod, TETELSOR = :nt, SORSZAM = :ns, JUZER = :juzer, MIKOR = :mikor "
        "WHERE BIZONYLAT = :b AND VERZIO = :v AND TETELSOR = :t AND SORSZAM = :s AND ") + kPlanned, move));
    sum.tetelsor = newLine;
    sum.sorszam = newItem;

    // Both cabins: the old one free (unless out elsewhere), the replacement out here.
    ProductStore::UpdateProductStatus(tx, oldCode);
    if (replacement != QLatin1String("*")) ProductStore::UpdateProductStatus(tx, replacement);

    // (4) the item's maintenance from today
    const GeneratorContext ctx = GeneratorContext::load(tx, juzer);
    const auto items = LoadMaintenanceItems(tx, RentalTables::stored(), bizonylat, verzio, newLine, newItem);
    if (!items.empty()) {
        ScheduleOptions o;
        QString first = vl::util::TodayStr();
        const QDate delivered = gen::toDate(kiszall);
        if (delivered.isValid() && gen::toText(delivered.addDays(1)) > first) first = gen::toText(delivered.addDays(1));
        o.firstDay = first;
        const ScheduleResult r = GenerateMaintenanceSchedule(tx, ctx, QStringLiteral("FORGTEV"), items, o);
        sum.visitsWritten = r.written;
        sum.visitsDeleted = r.deleted;
    }
    // (5) a cash contract's billing, once
    if (LoadBillingTerms(tx, bizonylat, verzio).cash()) {
        const BillingResult b =
            GenerateBilling(tx, ctx, bizonylat, verzio, FirstDayStillToBill(tx, ctx, bizonylat, verzio));
        sum.periodsWritten = b.written;
        sum.periodsDeleted = b.deleted;
    }
    return sum;
}

QString ProductRegister::DeleteRefusal(Transaction& tx, const QString& code) {
    const Product p = readProduct(tx, code.trimmed());
    if (!p.found) return QStringLiteral("Nincs ilyen termékkód: ") + code.trimmed();
    if (p.kiadhato != QLatin1String("I")) return QStringLiteral("Csak szabad kabin törölhető");
    if (namedByContract(tx, p.kod))
        return QStringLiteral("A(z) %1 kódú kabinnak bérleti előzménye van, nem törölhető.").arg(p.kod);
    return QString();
}

vl::Outcome ProductRegister::Delete(Connection& conn, Transaction* outer, const QString& codeIn) {
    const QString code = codeIn.trimmed();
    {
        TxScope tx(conn, outer);
        if (const QString why = DeleteRefusal(*tx, code); !why.isEmpty()) return vl::Outcome::refusal(why);
    }
    return vl::Outcome::asking(
        QStringLiteral("Biztosan törli a(z) %1 kódú terméket?").arg(code),
        [&conn, outer, code](bool yes) {
            if (!yes) return vl::Outcome::refusal(QStringList());
            TxScope tx(conn, outer);
            // Checked again: another workstation may have taken it meanwhile.
            if (const QString why = DeleteRefusal(*tx, code); !why.isEmpty()) return vl::Outcome::refusal(why);
            tx->exec(QStringLiteral("DELETE FROM ARU WHERE KOD = :kod"), {{QStringLiteral("kod"), code}});
            tx.commit();
            return vl::Outcome::done();
        },
        true);
}

QString ProductRegister::CheckQuestion(const QString& statusCode, const QString& statusName, const QString& vszall) {
    if (vszall.trimmed().isEmpty() || statusCode.trimmed() != ProductRented) return QString();
    return QStringLiteral("A kabin állapota \"") + statusName + QStringLiteral("\", pedig visszaszállították ") +
           vszall.trimmed() + QStringLiteral("-n") + QStringLiteral("\r") + QStringLiteral("Javítsuk ki?");
}

QString ProductRegister::Repair(Connection& conn, Transaction* outer, const QString& code) {
    TxScope tx(conn, outer);
    const QString s = ProductStore::UpdateProductStatus(*tx, code);
    tx.commit();
    return s;
}

vl::Outcome ProductRegister::Check(Connection& conn, const QString& codeIn) {
    const QString code = codeIn.trimmed();
    const auto rs = conn.query(QStringLiteral(
        "SELECT A.ALLAPOT, S.NEV, B.VSZALL FROM ARU A JOIN SZ_STATUSK S ON S.KOD = A.ALLAPOT "
        "LEFT OUTER JOIN FORGKABIN B ON B.BIZONYLAT = A.BIZONYLAT AND B.ARUKOD = A.KOD "
        "WHERE A.KOD = :kod ORDER BY B.VSZALL NULLS FIRST"),
        {{QStringLiteral("kod"), code}});
    const vl::Outcome nothing = vl::Outcome::refusal(QStringList());
    if (rs.isEmpty()) return nothing;
    // An item of the contract still out wins over one that came back.
    QString vszall;
    bool out = false;
    for (int r = 0; r < rs.rowCount(); ++r) {
        const QString v = rs.at(r, 2).toString().trimmed();
        if (v.isEmpty()) out = true;
        else vszall = v;
    }
    if (out) return nothing;
    const QString q = CheckQuestion(rs.at(0, 0).toString(), rs.at(0, 1).toString(), vszall);
    if (q.isEmpty()) return nothing;
    return vl::Outcome::asking(q, [&conn, code, nothing](bool yes) {
        if (!yes) return nothing;
        Repair(conn, nullptr, code);
        return vl::Outcome::done();
    });
}

// ---- the session of the form and the command

RowSet ProductRegisterSession::readGroups() { return ReadDictionary(conn_, Dictionary::ProductGroups); }
RowSet ProductRegisterSession::readStatuses() { return ReadDictionary(conn_, Dictionary::ProductStatuses); }

ProductRegisterSession::Pages ProductRegisterSession::loadPages(const ProductFilter& filter,
                                                                const QStringList& takenCodes) {
    Pages p;
    auto tx = conn_.begin(vl::db::TxMode::ReadOnly);
    p.list = ProductRegister::MarkTakenOnContract(ProductRegister::List(*tx, filter), takenCodes);
    p.summary = ProductRegister::Summary(*tx, filter);
    p.withoutMaintenance = ProductRegister::WithoutMaintenance(*tx);
    p.withoutCabinNumber = ProductRegister::WithoutCabinNumber(*tx);
    tx->commit();
    return p;
}

RowSet ProductRegisterSession::readList(const ProductFilter& filter) {
    auto tx = conn_.begin(vl::db::TxMode::ReadOnly);
    RowSet list = ProductRegister::List(*tx, filter);
    tx->commit();
    return list;
}

QString ProductRegisterSession::readCompanyName() {
    auto tx = conn_.begin(vl::db::TxMode::ReadOnly);
    const QString company = CompanyName(*tx);
    tx->commit();
    return company;
}

QString ProductRegisterSession::readFilterText(const ProductFilter& filter) {
    auto tx = conn_.begin(vl::db::TxMode::ReadOnly);
    // The table comes from the fixed pair SZ_ARUCSOP / SZ_STATUSK.
    auto name = [&](const QString& sql, const QString& kod) {
        if (kod.isEmpty()) return QString();
        const auto rs = tx->query(sql, {{QStringLiteral("kod"), kod}});
        return rs.isEmpty() ? kod : rs.at(0, 0).toString();
    };
    const QString typeName = name(QStringLiteral("SELECT NEV FROM SZ_ARUCSOP WHERE KOD = :kod"), filter.typeCode);
    const QString statusName = name(QStringLiteral("SELECT NEV FROM SZ_STATUSK WHERE KOD = :kod"), filter.statusCode);
    tx->commit();
    return ProductRegister::FilterText(typeName, statusName);
}

LabelReportResult ProductRegisterSession::labelReport(const LabelRequest& request) {
    LabelLayout sheet;
    if (request.paper == LabelPaper::Sheet) {
        const LabelLayoutRead read = ReadLabelLayout();
        if (!read.refusal.isEmpty()) return LabelReportResult::refusal(read.refusal);
        sheet = read.layout;
    }
    auto tx = conn_.begin(vl::db::TxMode::ReadOnly);
    const LabelSetResult set = ReadLabels(*tx, request);
    tx->commit();
    if (!set.ok) return LabelReportResult::refusal(set.messages);
    LabelReportResult r = LabelReportResult::done();
    r.labels = int(set.labels.size());
    r.report = request.paper == LabelPaper::Sheet ? LabelSheetReport(set.labels, set.company, sheet)
                                                  : LargeLabelReport(set.labels, set.company, request.paper);
    return r;
}

} // namespace vl::rental
