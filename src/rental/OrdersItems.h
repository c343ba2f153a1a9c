#pragma once
// The products page of the orders workspace ("Termékek"): the stored items
// (FORGKABIN) of a customer's open contracts, changed through the
// line-and-item rules on the stored tables, each action in one transaction:
//
//  - the store over one or several selected products applies to each only the
//    fields the user changed on the panel (against the product the panel was
//    filled from); the item keeps its own pattern, period and visit prices
//    otherwise and is individual ("E") when they differ from its line's.
//    Products already back are skipped and named. A new driver takes over the
//    planned activities from the activity day on; moved dates move the
//    delivery and return activities (a later delivery cancels only the
//    planned ones before it, no billing row is deleted by date); maintenance
//    is regenerated from today; a cash contract is billed once at the end,
//    from its first day still to bill. A single-product line (found by
//    contract and line number) follows its product.
//  - removal: refused for a product that is back or has a done activity other
//    than its delivery; its planned activities cancelled, done ones kept, the
//    item deleted, the line's quantity recounted (the line deleted with its
//    last item), the product freed.
//  - number change: the picked product checked free inside the transaction,
//    the item and its activities renumbered, the new product rented and the
//    old one freed.
//
// Contracts whose status may not be changed are refused ("... szerződés nem
// módosítható."); another workstation's write of the same contract is the
// "changed elsewhere" refusal. Refusals are vl::RuleRefusal, nothing written.
#include "db/Database.h"
#include "rental/OrdersWorkspace.h"
#include "shell/Session.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <array>
#include <vector>

namespace vl::rental {

struct ItemKey {
    qint64 bizonylat = 0;
    qint64 verzio = 1;
    qint64 tetelsor = 0;
    qint64 sorszam = 0;
};

// The product panel (p_kabindata) as typed or as filled.
struct ItemPanel {
    QString kiszall;                  // e_kiszallkab
    QString vszallt;                  // e_vszalltkab
    QString soforkod;                 // cb_soforkab's code ("" the empty item)
    std::array<QString, 7> counts;    // e_1kab .. e_7kab
    std::array<QString, 7> prices;    // e_1kabar .. e_7kabar
    QString periodus;                 // e_h7kab
};

// The fields of the panel one by one (bits).
enum ItemField : unsigned {
    FieldKiszall = 1,
    FieldVszallt = 2,
    FieldSofor = 4,
    FieldPattern = 8,
    FieldPeriod = 16,
    FieldPrice1 = 32,   // FieldPrice1 << d for weekday d (0 = Monday)
};

struct ItemStoreRequest {
    std::vector<ItemKey> items;        // the selected products in selection order (or the current one)
    ItemPanel panel;                   // as typed
    ItemPanel source;                  // as filled from the current product
    unsigned fields = 0;               // the fields to apply (ItemField bits); 0: those where panel and source differ
    QString activityDate;              // ActivityDate: a new driver's planned activities from this day on
    QString today;                     // 'yyyy.mm.dd'; empty: the clock
    QHash<qint64, qint64> loadedRecordVersions;   // contract -> RDB$RECORD_VERSION as shown (missing: not checked)
};

struct ItemStoreResult {
    int changed = 0;                   // items written
    QStringList skippedBack;           // products already back, left alone
    QString dateFocus;                 // the date field at fault
    StoreSummary summary;
    int driverMoved = 0;               // planned activities given the new driver
    // One line: what was written, moved, cancelled, removed, and the skipped ones.
    QString line() const;
};

class OrdersItems {
public:
    // The fields that differ between the panel and its source.
    static unsigned ChangedFields(const ItemPanel& panel, const ItemPanel& source);
    // The panel filled from a product list row (Products()).
    static ItemPanel PanelOfRow(const vl::db::RowSet& products, int row);
    // The panel of a stored item.
    static ItemPanel PanelOfItem(vl::db::Transaction& tx, const ItemKey& key);

    // The date checks (line panel rules); messages in order.
    static QStringList DateErrors(const ItemPanel& panel, bool fixedTerm, QString* focus = nullptr);

    // "Termék adatok tárolása".
    static ItemStoreResult StoreItems(vl::db::Connection& conn, vl::db::Transaction* outer,
                                      const vl::shell::Session& session, const ItemStoreRequest& request);

    // ---- removal
    static QString BackText() { return QStringLiteral("Nem törölhető, már vissza van szállítva"); }
    static QString DoneText() {
        return QStringLiteral("Nem törölhető, van elvégzett karbantartása.\rHelyezzen ki másik kabint, majd ezt vegye vissza!");
    }
    static QString RemoveQuestion() { return QStringLiteral("Törli a kijelölt tevékenységeket?"); }
    static QStringList RemoveButtons() {
        return {QStringLiteral("Nem"), QStringLiteral("Igen"), QStringLiteral("Véletlenül kattintottam ide")};
    }
    // The refusal of a removal before its question ("" none).
    static QString RemoveRefusal(vl::db::Transaction& tx, const ItemKey& key);
    // The removal after "Igen". Throws vl::RuleRefusal with RemoveRefusal's text.
    static StoreSummary RemoveItem(vl::db::Connection& conn, vl::db::Transaction* outer,
                                   const vl::shell::Session& session, const ItemKey& key,
                                   qint64 loadedRecordVersion = 0);

    // ---- number change
    static QString OneRowText() { return QStringLiteral("Termékszám módosításakor csak 1 sor lehet kijelölve"); }
    static QString HasNumberQuestion() {
        return QStringLiteral("Már megadta a termék számát. Biztos, hogy módosítani akarja?");
    }
    static QString OtherTypeText(const QString& typeName) {
        return QStringLiteral("Más típusú kabint (") + typeName + QStringLiteral(") választott ki.");
    }
    static QString NotRentableText(const QString& code) {
        return QStringLiteral("A ") + code + QStringLiteral(" sz. kabin nem adható ki.");
    }
    // Renumbers the item to `newCode`. `pickedTypeName` and `pickedRentable`
    // as the register answered (empty type name: read from the register).
    // Throws vl::RuleRefusal for another type, a product not rentable or taken
    // meanwhile, a contract that may not be changed or changed elsewhere.
    // False when the number is the same (nothing written).
    static bool ChangeNumber(vl::db::Connection& conn, vl::db::Transaction* outer, const vl::shell::Session& session,
                             const ItemKey& key, const QString& newCode, qint64 loadedRecordVersion = 0);

    // ---- the return document
    // The product's take-back day: its "VSZ" activity's, else its planned
    // return ("" when it has neither).
    static QString ReturnDocumentDate(vl::db::Transaction& tx, const ItemKey& key);
    static QString NoReturnDateText() {
        return QStringLiteral("A terméknek nincs visszavételi dátuma: se visszaszállítási tevékenysége, se tervezett visszavételi dátuma.");
    }
};

} // namespace vl::rental
