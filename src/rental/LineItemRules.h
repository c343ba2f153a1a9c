#pragma once
// The rules of a contract's lines, product items and activities, over one
// table set (RentalTables): the rental tables themselves (orders workspace,
// activity log) or the private work copies of a contract-entry session. One
// class, so every place that changes a contract's lines and items follows the
// same rules:
//
//  - Activity identity is contract, version, line, item, day and number. A
//    generated or cascading write never replaces a row of another kind or a
//    row that is not planned; done, cancelled and moved-away rows change only
//    by an explicit action on that very row (done / undone, move, delete).
//  - Maintenance is regenerated through GenerateMaintenanceSchedule: only
//    planned visits are rewritten, surviving visits cover their day. On a
//    contract that is already stored it starts on the later of today and the
//    day after the delivery, never earlier.
//  - Moving an item's delivery moves its KIH, EKI and delivery-class
//    activities of the old day to the new day whatever their state; a later
//    delivery removes the planned activities before the new day. Moving the
//    planned return moves its planned return-class activities, clearing it
//    removes them, setting it generates them; maintenance visits are never
//    removed by a return change other than through the regeneration. A moved
//    activity takes the next free number of the item on its new day. An item
//    that is back keeps its dates.
//  - A new item is numbered above every item and activity of its line, a new
//    line above every line, item and activity of the contract; a line's
//    quantity is the count of its item rows and is lowered only by removing
//    items; removing an item removes its planned activities (cancels them on
//    the stored tables) and keeps the rest; a line without items is deleted.
//  - An item carries its own pattern, period and visit prices; it is
//    individual ("E") when its pattern or period differs from its line's. A
//    line change carries the dates to every item not back, the pattern, period
//    and prices only to items that are not individual; an item's product,
//    driver and remark stay.
//  - A missing driver is written as NULL; NULL, '' and blanks compare alike.
//
// Every action runs in the caller's transaction; validation failures and
// questions come back as data (Outcome), nothing written.
#include "db/Database.h"
#include "rental/RentalTables.h"
#include "rental/Schedule.h"
#include "util/Outcome.h"

#include <QString>
#include <QStringList>
#include <array>
#include <functional>
#include <map>
#include <optional>
#include <vector>

namespace vl::rental {

// Which lists an action changed, so a form rereads only those.
enum ChangedTables : unsigned {
    ChangedNone = 0,
    ChangedHeader = 1,
    ChangedLines = 2,
    ChangedItems = 4,
    ChangedActivities = 8,
    ChangedPayments = 16,
};

// One activity row of a contract (its identity).
struct ActivityKey {
    qint64 tetelsor = 0;
    qint64 sorszam = 0;
    QString datum;        // 'yyyy.mm.dd'
    qint64 tevsorszam = 0;
    bool isNull() const { return tetelsor == 0 || datum.isEmpty(); }
    bool operator==(const ActivityKey& o) const {
        return tetelsor == o.tetelsor && sorszam == o.sorszam && datum == o.datum && tevsorszam == o.tevsorszam;
    }
};

// Where an action leaves the lists, beside what every rule answers
// (vl::Outcome: done, refused with messages, or a question).
struct Landing {
    unsigned changed = ChangedNone;   // ChangedTables bits
    qint64 line = 0;              // the line the lists stand on afterwards (0: unchanged)
    qint64 item = 0;              // the item the lists stand on afterwards (0: unchanged)
    ActivityKey activity;         // the activity to stand on (null: unchanged)
};

// What an action did, as the form shows it.
using Outcome = vl::OutcomeOf<Landing>;

// Answers already given to the questions of one action, by question text.
using Answers = std::map<QString, bool>;

// The line panel as typed (texts, so the rules see exactly what was entered).
struct LineInput {
    QString arucsoport;                 // product group KOD (a NEV is accepted too)
    QString mennyiseg;                  // "Darabszám"
    QString bermenny;                   // "Bérleti idő mennyisége"
    QString bermegyseg;                 // rental unit KOD (a NEV is accepted too)
    QString minimalar;                  // "Minimális díj"
    QString nettoar;                    // "Bérlet nettó ár"
    QString karertek;                   // "Kárérték"
    QString kiszall;                    // "Kiszállítás dátuma"
    QString vszall;                     // "Visszaszállítás tervezett dátuma"
    std::array<QString, 7> counts;      // e_1csop .. e_7csop (blank = 0)
    std::array<QString, 7> prices;      // e_1csopar .. e_7csopar
    QString periodus;                   // "Hány hetente"
    QString soforkod;                   // driver KOD (a NEV is accepted too), "" none
    QString komment;
    QString naptarszabaly;              // cb_naptarszabaly: "" the company's rule, else "M", "E", "K", "X"
};

// The item panel as typed.
struct ItemInput {
    QString arukod;                     // "Termék szám" ("*" none yet)
    QString kiszall;                    // e_kiszallkab
    QString vszallt;                    // e_vszallkab
    std::array<QString, 7> counts;      // e_1kab .. e_7kab
    std::array<QString, 7> prices;      // e_1kabar .. e_7kabar
    QString periodus;                   // e_h7kab
    QString komment;                    // e_kommkabin
};

// The activity panel as typed.
struct ActivityInput {
    QString datum;                      // e_datumtev
    QString tevkod;                     // activity kind KOD (a NEV is accepted too)
    QString soforkod;                   // driver KOD (a NEV is accepted too), "" none
    QString nettoar;                    // e_tevar
    QString komment;                    // e_tevkomment
    QString mennyiseg;                  // e_tevmenny ("" or 1: the current item only)
};

// The contract-level values the line rules need.
struct ContractTerms {
    qint64 bizonylat = 0;
    qint64 verzio = 1;
    QString bermod;          // SZ_BERMOD.KOD of the header
    QString bermodNev;       // its NEV (messages)
    bool fixedTerm = false;  // KOTNAP "I"
};

// A take-back done or undone on the table set, for the part that has no work
// copy (product status, the contract's closing, billing): the store runs it.
struct TakeBackMark {
    qint64 tetelsor = 0;
    qint64 sorszam = 0;
    QString arukod;
    QString datum;           // the take-back day
    bool done = true;        // true: marked done; false: the mark taken back
};

struct LineItemOptions {
    // The contract is stored in the database (modify mode, orders workspace,
    // activity log): regeneration starts no earlier than today.
    bool storedContract = false;
    // Removed activities are cancelled (state class "X") instead of deleted:
    // true on the rental tables themselves.
    bool cancelRemoved = false;
    QString today;           // 'yyyy.mm.dd'; empty: the clock
    QString kepzett = QStringLiteral("K");   // KEPZETT of the activities a user adds
};

class LineItemRules {
public:
    LineItemRules(const GeneratorContext& ctx, const RentalTables& tables, const ContractTerms& terms,
                  const LineItemOptions& options);

    const RentalTables& tables() const { return tables_; }
    const ContractTerms& terms() const { return terms_; }
    void setTerms(const ContractTerms& t) { terms_ = t; }
    LineItemOptions& options() { return options_; }
    QString today() const;

    // ---------------------------------------------------------------- checks (no writes)

    // Day name + ": a napi gyakoriság értelmetlen" (a count below 0 or above 9),
    // ": a karbantartás ára értelmetlen" (a price below 0), ": a gyakoriságot és
    // az árat egyszerre kell kitölteni" (a price without a count), Monday first.
    static QStringList CheckDayFields(const std::array<QString, 7>& counts, const std::array<QString, 7>& prices);
    // The seven counts joined, blanks as "0".
    static QString PatternOf(const std::array<QString, 7>& counts);
    // The most cabins a line may hold: PKR.INI's SORMAXKABIN, 500 when it is
    // not set or not a whole number above 0. Every door's line check refuses
    // more ("A darabszám legfeljebb N lehet").
    static int MaxCabinsPerLine();

    // The messages of a line (empty: valid). May end in a question: then
    // *question holds it and the messages are not complete yet.
    QStringList ValidateLine(vl::db::Transaction& tx, const LineInput& in, const Answers& answers,
                             QString* question) const;
    // The messages of an item of line `tetelsor`. The product's availability is
    // checked only when `productChanged`.
    QStringList ValidateItem(vl::db::Transaction& tx, qint64 tetelsor, const ItemInput& in, bool productChanged,
                             const Answers& answers, QString* question) const;
    QStringList ValidateActivity(vl::db::Transaction& tx, const ActivityInput& in) const;

    // ---------------------------------------------------------------- actions

    // "Hozzáadás" of the line page: a new line with its items ("*"), their
    // delivery and return activities and their maintenance.
    Outcome AddLine(vl::db::Transaction& tx, const LineInput& in, const Answers& answers = {});
    // "Módosítás" of the line page.
    Outcome ChangeLine(vl::db::Transaction& tx, qint64 tetelsor, const LineInput& in, const Answers& answers = {});
    // "Törlés" of the line page (refused with a done activity).
    Outcome DeleteLine(vl::db::Transaction& tx, qint64 tetelsor, const Answers& answers = {});
    // "Módosítás tárolása" of the item page.
    Outcome StoreItem(vl::db::Transaction& tx, qint64 tetelsor, qint64 sorszam, const ItemInput& in,
                      const Answers& answers = {});
    // "Törlés" of the item page.
    Outcome DeleteItem(vl::db::Transaction& tx, qint64 tetelsor, qint64 sorszam, const Answers& answers = {});
    // "Hozzáadás" of the activity page (to the first `mennyiseg` items when above 1).
    Outcome AddActivity(vl::db::Transaction& tx, qint64 tetelsor, qint64 sorszam, const ActivityInput& in);
    // "Módosítás" of the activity page; a new day moves the row (next free number there).
    Outcome ChangeActivity(vl::db::Transaction& tx, const ActivityKey& key, const ActivityInput& in);
    // "Törlés" of the activity page (planned only).
    Outcome DeleteActivity(vl::db::Transaction& tx, const ActivityKey& key, const Answers& answers = {});
    // "Elvégezve": planned <-> done. A take-back runs the take-back routine's
    // first phase and is reported in *takeBack.
    Outcome ToggleDone(vl::db::Transaction& tx, const ActivityKey& key, const Answers& answers = {},
                       std::optional<TakeBackMark>* takeBack = nullptr);
    // "Karbantartások generálása" for one item.
    Outcome GenerateMaintenance(vl::db::Transaction& tx, qint64 tetelsor, qint64 sorszam);

    // ---------------------------------------------------------------- building blocks

    // Next free line number: one above every line, item and activity of the contract.
    qint64 NextLineNo(vl::db::Transaction& tx) const;
    // Next free item number of a line: one above every item and activity of the line.
    qint64 NextItemNo(vl::db::Transaction& tx, qint64 tetelsor) const;
    // Next free activity number of an item on a day.
    qint64 NextActivityNo(vl::db::Transaction& tx, qint64 tetelsor, qint64 sorszam, const QString& datum) const;

    // Writes the line row (UPDATE OR INSERT) and registers its pattern.
    void WriteLine(vl::db::Transaction& tx, qint64 tetelsor, const LineInput& in, qint64 mennyiseg,
                   qint64 vmennyiseg);
    // Writes an item row (UPDATE OR INSERT).
    struct ItemRow {
        qint64 tetelsor = 0, sorszam = 0;
        QString arukod = QStringLiteral("*");
        QString kiszall, vszallt, vszall;
        QString pattern = QStringLiteral("0000000");
        std::array<qint64, 7> karbar{};
        qint64 periodus = 0;
        QString egyedi = QStringLiteral("N");
        QString soforkod;
        QString komment;
    };
    void WriteItem(vl::db::Transaction& tx, const ItemRow& item);
    std::optional<ItemRow> ReadItem(vl::db::Transaction& tx, qint64 tetelsor, qint64 sorszam) const;
    std::vector<ItemRow> ReadItems(vl::db::Transaction& tx, qint64 tetelsor) const;

    // The activities of a generation class ("UJTCS" on the delivery day,
    // "HISZ" on the return day) for an item.
    int AddEventActivities(vl::db::Transaction& tx, const QString& generationClass, const ItemRow& item,
                           const QString& date);
    // Moves an item's delivery and planned-return activities after its dates
    // changed from (oldKiszall, oldVszall) to the item's current ones.
    void SyncDeliveryReturn(vl::db::Transaction& tx, const ItemRow& item, const QString& oldKiszall,
                            const QString& oldVszall);
    // Regenerates the planned maintenance of items (0: every item of the line).
    ScheduleResult RegenerateMaintenance(vl::db::Transaction& tx, qint64 tetelsor, qint64 sorszam = 0);
    // Removes an item: its planned activities removed (cancelled on stored
    // tables), the rest kept, the row deleted, the line's quantity recounted
    // (the line deleted when it has no item left). False with a done activity,
    // unless `doneChecked`: the caller has checked the done activities itself.
    bool RemoveItem(vl::db::Transaction& tx, qint64 tetelsor, qint64 sorszam, bool doneChecked = false);
    // A product exchanged for one of another group: a line of one item takes
    // the new group; otherwise the item moves to a new line (a copy of its line
    // with quantity 1 and the new group) with its planned activities from
    // `fromDay` on. Returns the item's (line, number) afterwards.
    std::pair<qint64, qint64> SplitItemToGroup(vl::db::Transaction& tx, qint64 tetelsor, qint64 sorszam,
                                               const QString& newGroup, const QString& newProduct,
                                               const QString& fromDay);

    // Counts a line's done activities (state class "N").
    qint64 DoneActivities(vl::db::Transaction& tx, qint64 tetelsor, qint64 sorszam = 0) const;

private:
    // On the rental tables: the contract's header stamped (JUZER, MIKOR).
    void stampIfStored(vl::db::Transaction& tx);

    GeneratorContext ctx_;
    RentalTables tables_;
    ContractTerms terms_;
    LineItemOptions options_;
};

// "yyyy.mm.dd" of a typed date in any form DateValid accepts; the text
// itself (trimmed) when it is no date, so a wrong text stays as typed.
QString NormalizeTypedDate(const QString& text);

} // namespace vl::rental
