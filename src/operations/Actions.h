#pragma once
// The actions of the activity log that change the schedule: marking an
// activity done or taking the mark back, a remark, moving one cleaning,
// rescheduling a weekday's cleanings for the rest of the rental, assigning a
// driver, deleting and restoring, and recording a new activity.
//
// Every action works on the source rows a day sheet line keeps (their keys as
// loaded), never on a search by the line's texts. One action is one
// transaction: every marked line and every cascade lands whole or not at all.
// Each touched contract's FORGFEJ row is stamped (JUZER, MIKOR) first. The
// update of an activity is guarded by its state and driver as loaded; when it
// changes no row (someone changed the row meanwhile) the whole action is
// rolled back and reported once by ReportStoreError, and the caller reloads.
// An activity the log updates is the desk's from then on: its phone source
// (FORRAS, FORRASSOFOR, FORRASMIKOR) is cleared.
// A take-back ("VSZ") marked done or undone runs the one take-back routine
// (return record, product status, later activities, contract status, cash
// billing). A cash contract whose priced activities an action created,
// re-dated, deleted or restored has its planned periods regenerated from its
// first day still to bill, in the same transaction.
//
// The actions never ask and never show anything: each returns an
// ActionOutcome, a refusal with its text, or a question with its continuation
// (nothing is written while a question is open); the caller (the activity
// log's form, the activity command) asks and shows it through
// ShowThroughSink, the one place that does.
#include "db/Database.h"
#include "operations/DaySheet.h"
#include "shell/Session.h"
#include "util/Outcome.h"

#include <QList>
#include <QString>
#include <functional>
#include <optional>

namespace vl::operations {

enum class LineAction { DoneToggle, Remark, Move, Reschedule, Driver, DeleteRestore };

// The button name an action reports its store errors under ("b_elvegezve" ...).
QString ActionName(LineAction a);

// What the data panel holds for the actions.
struct ActionInputs {
    QString newDate;     // e_ujnap as typed
    QString remark;      // e_komment as typed
    QString driverCode;  // the new driver (cbx_soforuj's code); "" removes the driver
};

// A guarded update that changed no row: the statement and its values.
struct StoreMiss {
    QString query;
    vl::db::Params params;
};

// What an action run did besides landing or not.
struct ActionFacts {
    bool storeError = false;    // a guarded update missed: rolled back, to be reported by ReportStoreError
    bool conflict = false;      // another workstation wrote the same rows: rolled back
    StoreMiss miss;             // the missed update (storeError)
    QString module;             // the button it is reported under (storeError)
    int rows = 0;               // activity rows the action changed or wrote
    QList<qint64> contracts;    // the contracts it touched
};
// ok: the action landed. A refusal (a check, a "Nem", a store error, a
// conflict) wrote nothing; its text is in messages, the control at fault in
// focus. A question: ask it and call proceed with the answer.
using ActionOutcome = vl::OutcomeOf<ActionFacts>;

// The questions of the actions, word for word.
namespace texts {
QString DoneQuestion(const QString& warning);   // warning + "\rÁtállítja a kijelölt tevékenységek státuszát?"
QString RescheduleQuestion();                   // "Áthelyezi a karbantartásokat másik napra?"
QString DeleteQuestion();                       // "Törli a kijelölt tevékenységeket?" ("Nem" under Enter)
QString RestoreQuestion();                      // "Visszaállítja a  kijelölt, törölt tevékenységeket?"
} // namespace texts

// Shows an outcome through the message sink until it ends: its messages in
// order, the store error through ReportStoreError, each question asked (the
// form's message form, the command's --yes) and answered through proceed.
// Returns the final outcome.
ActionOutcome ShowThroughSink(ActionOutcome o);
// True when a check or a "Nem" stopped the action (not a store error or a
// conflict, which ran and were rolled back).
bool StoppedBeforeWriting(const ActionOutcome& o);

// The texts of the actions.
namespace texts {
QString NotApplicable();      // "Ilyen státuszú tevékenységre ez a funkció nem alkalmazható."
QString PaymentElsewhere();   // "Fizetést az "Ügyfél megrendelései / Fizetések" pont alatt lehet rendezni."
QString StoreFailedHead();    // the head of ReportStoreError's message
} // namespace texts

// "none": "Nem hajtható végre, ki van jelölve <n> sor." when a line is marked;
// "required": "Nincs kijelölve tétel" when none is. "" when the check passes.
QString CheckMarks(const QList<int>& marks, const QString& mode);

// ---- checks of one line (each "" when it passes)
// Done checks: the refusal of the line.
QString DoneRefusal(const DaySheetLine& line);
// Done checks: the warning to ask about ("" none).
QString DoneWarning(const DaySheetLine& line, const QString& day, const QString& today);
// Move checks of a line; reschedule adds "\rNincs átütemezhető tevékenység." at the first marked line.
QString MoveRefusal(const DaySheetLine& line, bool reschedule, bool firstMarked);
// The new date of a move: "Hibás dátum." or "Előbb adjon meg másik dátumot!".
QString NewDateRefusal(const QString& typed, const QString& day);
QString DriverRefusal(const DaySheetLine& line);
// Delete checks of each line: FIZ, done or moved-away lines; then live and
// deleted lines together.
QString DeleteRefusal(const QList<const DaySheetLine*>& lines);
// Whether the lines are deleted ones (restore) rather than live ones.
bool LinesAreDeleted(const QList<const DaySheetLine*>& lines);
// The driver of a driver action: "" or an active driver's code, else
// "Adatbázis hiba, nincs meg a sofőr".
QString checkDriverCode(vl::db::Transaction& tx, const QString& code);

// A product placed at a site, as the new activity's product list holds it.
struct PlacedProduct {
    QString kod;            // "line,product,item"
    qint64 bizonylat = 0;
    qint64 verzio = 1;
    qint64 tetelsor = 0;
    QString arukod;
    qint64 sorszam = 0;
    QString nev;            // product code, blank, type name
};
// The products placed at a customer's site on running contracts.
QList<PlacedProduct> readPlacedProducts(vl::db::Transaction& tx, const QString& customerKey, const QString& siteKey);
QString NoPlacedProductText();   // "Az ügyfélnek ezen a címén nincs kihelyezett termék."

// A new activity as the data panel gives it.
struct NewActivity {
    QString siteKey;             // "" when no site was chosen
    std::optional<PlacedProduct> product;
    QString activityCode;        // "" none chosen
    QString newDate;             // typed
    QString driverCode;          // "" none
    QString quantity;            // typed
    QString price;               // typed
    QString remark;              // as typed
};
// The collected refusal ("Nem tárolható, az alábbi hibák miatt\r" + lines), "" when none.
QString NewActivityRefusal(const NewActivity& a, QString* focus = nullptr);

// The done checks of one activity's line for "done" (or "undone"): the
// line's refusal, "A tevékenység már el van végezve." or "A tevékenység
// nincs elvégezve."; "" when it passes.
QString DoneOrUndoneRefusal(const DaySheetLine& line, bool done);

// What the command does to one activity.
enum class CommandAction { Done, Undone, Move, Delete, Restore, Driver };

// One activity row as a line of one source row (its own state, driver,
// remark, product); nullopt when there is none on an active, not cancelled
// contract.
std::optional<DaySheetLine> readActivityLine(vl::db::Transaction& tx, qint64 bizonylat, qint64 tetelsor, qint64 sorszam,
                                             const QString& day, qint64 tevsorszam);

class ActivityActions {
public:
    ActivityActions(vl::db::Connection& conn, const vl::shell::Session& session);

    // The connection to work on from now on (the program's after a reconnect).
    void useConnection(vl::db::Connection& conn) { conn_ = &conn; }

    // Applies an action to every applicable source row of a line in the
    // caller's transaction. Throws StoreMiss when a guarded update changes no
    // row. `day` is the sheet's day.
    int ApplyLineAction(vl::db::Transaction& tx, LineAction action, const DaySheetLine& line, const QString& day,
                        const ActionInputs& in);

    // Runs an action on the lines in order, all in one transaction; prices
    // the touched cash contracts at the end. On a missed guarded update the
    // whole action is rolled back and the outcome carries the miss (storeError)
    // for ReportStoreError; on a write conflict with another workstation the
    // contract-changed message.
    ActionOutcome ActOnLines(LineAction action, const QList<DaySheetLine>& lines, const QString& day,
                             const ActionInputs& in);
    // The same inside the caller's transaction, which is neither committed
    // nor rolled back here: on anything but ok (a refusal, a missed guarded
    // update, a write conflict) the caller rolls it back.
    ActionOutcome ActOnLinesIn(vl::db::Transaction& tx, LineAction action, const QList<DaySheetLine>& lines,
                               const QString& day, const ActionInputs& in);

    // Stores a new activity (after NewActivityRefusal passed): one transaction.
    ActionOutcome storeNewActivity(const NewActivity& a);

    // The buttons as the form runs them on a sheet: checks in order, the
    // question as data, the action, then the sheet reloaded (which clears the
    // marks). `current` is the grid's current line.
    ActionOutcome markDone(DaySheet& sheet, int current);             // done, or the done mark taken back
    ActionOutcome storeRemark(DaySheet& sheet, int current, const ActionInputs& in);
    ActionOutcome moveToDay(DaySheet& sheet, const ActionInputs& in);   // the marked lines to another day
    ActionOutcome reschedule(DaySheet& sheet, const ActionInputs& in);  // the rest of the rental
    ActionOutcome assignDriver(DaySheet& sheet, const ActionInputs& in);
    ActionOutcome deleteOrRestore(DaySheet& sheet);                   // the marked lines
    ActionOutcome addActivity(DaySheet& sheet, const NewActivity& a);

    // The command's door: the same checks, questions and action on one
    // activity (contract, line, item, day, number).
    ActionOutcome actOnActivity(qint64 bizonylat, qint64 tetelsor, qint64 sorszam, const QString& day,
                                qint64 tevsorszam, CommandAction what, const ActionInputs& in);
    // The done action (done, or `done` false: the mark taken back) on one
    // activity's line (readActivityLine) inside the caller's transaction, as
    // the command runs it: the same checks and action, its question answered
    // "Igen" (the drivers' phones: the driver's tap is the confirmation). Not
    // ok: the caller rolls back.
    ActionOutcome markDoneIn(vl::db::Transaction& tx, const DaySheetLine& line, const QString& day, bool done);

    // Told the number of cleanings a reschedule writes (total) and how many
    // are written so far, 0 .. total; (-1, -1) when it has finished. The form
    // shows it on its progress bar.
    std::function<void(int done, int total)> onProgress;

private:
    ActionOutcome runMoveChecks(DaySheet& sheet, const ActionInputs& in, bool reschedule);
    QList<DaySheetLine> markedLines(const DaySheet& sheet) const;
    void reload(DaySheet& sheet);
    // The action after its question: `then` runs on "Igen", "Nem" is a
    // refusal without text.
    ActionOutcome confirmDone(const DaySheetLine& line, const QString& day, std::function<ActionOutcome()> then);
    ActionOutcome confirmDeleteOrRestore(bool restore, std::function<ActionOutcome()> then);
    ActionOutcome confirmReschedule(std::function<ActionOutcome()> then);

    vl::db::Connection* conn_;
    vl::shell::Session session_;
};

} // namespace vl::operations
