#include "rental/ProductImport.h"

#include "db/TestHook.h"
#include "db/TxScope.h"
#include "rental/ProductRegister.h"
#include "rental/ProductStore.h"

#include <QHash>

namespace vl::rental {

using vl::exchange::CsvRefusal;

namespace {

// A dictionary read once: its codes, and its codes by upper-cased name.
struct Dict {
    QHash<QString, QString> cls;       // KOD -> class (KIADHATO; "" for groups)
    QHash<QString, QString> byName;    // UPPER(NEV) -> KOD
    QString find(const QString& v) const {
        if (cls.contains(v)) return v;
        return byName.value(v.toUpper());
    }
};

Dict readDict(vl::db::Transaction& tx, const QString& sql) {
    Dict d;
    auto rs = tx.query(sql);
    while (rs.next()) {
        const QString kod = rs.value(0).toString().trimmed();
        d.cls.insert(kod, rs.value(2).toString().trimmed());
        const QString name = rs.value(1).toString().trimmed().toUpper();
        if (!name.isEmpty() && !d.byName.contains(name)) d.byName.insert(name, kod);
    }
    return d;
}

} // namespace

QStringList productImportColumns() {
    return {QStringLiteral("KOD"), QStringLiteral("ARUCSOPORT"), QStringLiteral("ALLAPOT"), QStringLiteral("MEGJEGYZES"),
            QStringLiteral("CSOPORTNEV")};
}

QStringList ProductImportResult::lines(const ProductImportOptions& o) const {
    QStringList l;
    if (!fatal.isEmpty()) {
        l << fatal << QStringLiteral("Semmi nem került tárolásra.");
        return l;
    }
    l << QStringLiteral("Kódolás: %1, adatsorok: %2").arg(encoding).arg(rows);
    QString acc = QStringLiteral("Elfogadott sorok: %1 (%2 új kabin, %3 módosított)").arg(accepted).arg(inserted).arg(updated);
    if (!groupsCreated.isEmpty()) acc += QStringLiteral("; új árucsoport: %1").arg(groupsCreated.join(QStringLiteral(", ")));
    l << acc;
    l << QStringLiteral("Elutasított sorok: %1").arg(refused.size());
    for (const CsvRefusal& r : refused) l << QStringLiteral("  ") + r.text();
    if (!refused.isEmpty()) l << QStringLiteral("Semmi nem került tárolásra.");
    else if (rows == 0) l << QStringLiteral("A fájlban a fejlécen kívül nincs adatsor: semmi nem került tárolásra.");
    else if (o.dryRun) l << QStringLiteral("Próbafuttatás (--dry-run): semmi nem került tárolásra.");
    else l << QStringLiteral("Tárolva.");
    return l;
}

ProductImportResult ImportProducts(vl::db::Connection& conn, const QByteArray& bytes, const ProductImportOptions& options,
                                   const ImportProgress& progress) {
    ProductImportResult res;
    const vl::exchange::CsvTable csv = vl::exchange::ReadCsv(
        bytes, {kProductImportMaxBytes, kProductImportMaxRows, int(productImportColumns().size())}, productImportColumns());
    res.encoding = csv.encoding;
    if (!csv.ok()) {
        res.fatal = csv.fatal;
        return res;
    }
    QStringList missing;
    for (const char* need : {"KOD", "ARUCSOPORT"})
        if (csv.column(QLatin1String(need)) < 0) missing << QString::fromLatin1(need);
    if (!missing.isEmpty()) {
        res.fatal = QStringLiteral("Hiányzó oszlop a fejlécben: %1").arg(missing.join(QStringLiteral(", ")));
        return res;
    }
    const int cKod = csv.column(QStringLiteral("KOD")), cGroup = csv.column(QStringLiteral("ARUCSOPORT")),
              cState = csv.column(QStringLiteral("ALLAPOT")), cRemark = csv.column(QStringLiteral("MEGJEGYZES")),
              cGroupName = csv.column(QStringLiteral("CSOPORTNEV"));

    vl::db::TxScope tx(conn, nullptr);
    Dict groups = readDict(*tx, QStringLiteral("SELECT KOD, NEV, '' FROM SZ_ARUCSOP"));
    const Dict states = readDict(*tx, QStringLiteral("SELECT KOD, NEV, KIADHATO FROM SZ_STATUSK"));
    QHash<QString, QString> stored;   // ARU.KOD -> its status's class
    {
        auto rs = tx->query(QStringLiteral("SELECT A.KOD, S.KIADHATO FROM ARU A LEFT JOIN SZ_STATUSK S ON S.KOD = A.ALLAPOT"));
        while (rs.next()) stored.insert(rs.value(0).toString().trimmed(), rs.value(1).toString().trimmed());
    }
    QHash<QString, int> codesInFile;
    int done = 0;
    for (const vl::exchange::CsvRecord& rec : csv.rows) {
        ++res.rows;
        if (progress && (++done % 200 == 0)) progress(done, int(csv.rows.size()));
        QList<CsvRefusal> why;
        auto refuse = [&](const QString& col, const QString& reason) { why << CsvRefusal{rec.line, col, reason}; };
        if (rec.fields.size() != csv.header.size()) {
            res.refused << CsvRefusal{rec.line, QString(), QStringLiteral("%1 mező van benne, a fejlécben %2")
                                                               .arg(rec.fields.size()).arg(csv.header.size())};
            continue;
        }
        const QString kod = vl::exchange::CsvValue(rec, cKod);
        const QString groupValue = vl::exchange::CsvValue(rec, cGroup);
        const QString stateValue = vl::exchange::CsvValue(rec, cState);
        const QString remark = vl::exchange::CsvValue(rec, cRemark);
        bool existing = false;
        if (kod.isEmpty()) refuse(QStringLiteral("KOD"), QStringLiteral("nincs kitöltve"));
        else if (!ProductRegister::ValidCode(kod)) refuse(QStringLiteral("KOD"), ProductRegister::InvalidCodeText(kod));
        else if (codesInFile.contains(kod))
            refuse(QStringLiteral("KOD"), QStringLiteral("a(z) %1 kód a fájl %2. sorában már szerepelt").arg(kod).arg(codesInFile.value(kod)));
        else if (stored.contains(kod)) {
            existing = true;
            if (!options.update)
                refuse(QStringLiteral("KOD"), QStringLiteral("már van ilyen kódú kabin: %1 (módosításhoz: --update)").arg(kod));
            else if (stored.value(kod) == QLatin1String("N"))
                refuse(QStringLiteral("KOD"), QStringLiteral("a(z) %1 kabin bérlés alatt áll, csak a szerződésén keresztül "
                                                             "változhat").arg(kod));
        }
        if (!kod.isEmpty() && !codesInFile.contains(kod)) codesInFile.insert(kod, rec.line);

        QString group = groupValue.isEmpty() ? QString() : groups.find(groupValue);
        bool newGroup = false;
        if (groupValue.isEmpty()) refuse(QStringLiteral("ARUCSOPORT"), QStringLiteral("nincs kitöltve"));
        else if (!group.isEmpty()) {
            // a group of the dictionary
        } else if (!options.createGroups) {
            refuse(QStringLiteral("ARUCSOPORT"),
                   QStringLiteral("nincs ilyen árucsoport: %1 (új csoporthoz: --create-groups)").arg(groupValue));
        } else if (groupValue.size() > 10) {
            refuse(QStringLiteral("ARUCSOPORT"),
                   QStringLiteral("új árucsoport kódja legfeljebb 10 karakter lehet: %1").arg(groupValue));
        } else {
            group = groupValue;
            newGroup = true;
        }
        QString state = QStringLiteral("SZA");
        if (!stateValue.isEmpty()) {
            state = states.find(stateValue);
            if (state.isEmpty()) refuse(QStringLiteral("ALLAPOT"), QStringLiteral("nincs ilyen állapot: %1").arg(stateValue));
            else if (states.cls.value(state) == QLatin1String("N"))
                refuse(QStringLiteral("ALLAPOT"),
                       QStringLiteral("bérlés alatti állapot (%1) nem tölthető be: a szerződésen kint lévő kabin állapotát "
                                      "és helyét a szerződések betöltése adja").arg(stateValue));
        }
        if (remark.size() > 250) refuse(QStringLiteral("MEGJEGYZES"), QStringLiteral("túl hosszú (legfeljebb 250 karakter)"));
        if (!why.isEmpty()) {
            res.refused << why;
            continue;
        }
        if (newGroup) {
            QString name = vl::exchange::CsvValue(rec, cGroupName);
            if (name.isEmpty()) name = group;
            tx->exec(QStringLiteral("INSERT INTO SZ_ARUCSOP (KOD, NEV, M_EGYSEG, KARAR) VALUES (:kod, :nev, 'db', 0)"),
                     {{QStringLiteral("kod"), group}, {QStringLiteral("nev"), name.left(60)}});
            groups.cls.insert(group, QString());
            groups.byName.insert(name.toUpper(), group);
            res.groupsCreated << group;
        }
        ProductStore::StoreProduct(*tx, kod, group, state, &remark);
        ++res.accepted;
        ++(existing ? res.updated : res.inserted);
    }
    if (progress) progress(int(csv.rows.size()), int(csv.rows.size()));
    res.ok = res.refused.isEmpty();
    if (res.ok && !options.dryRun && res.rows > 0) {
        vl::db::testHook("product-import:stored");
        tx.commit();
        res.rowsWritten = res.accepted;
    }
    return res;
}

} // namespace vl::rental
