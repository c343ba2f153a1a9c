#pragma once
// One opening of the contract entry: a contract entered, changed or viewed.
//
// Insert and modify work on four private work copies of FORGSOR, FORGKABIN,
// FORGTEV and FORGFIZ, made for this session by CopyTableDef (valid names,
// recorded in the work-table register with this connection, so the clean-up
// never drops them while the program runs) and dropped when the session is
// discarded or destroyed (and by the run's clean-up at the latest). Modify
// copies the contract's rows in. View reads the rental tables and makes no
// copy. Every action goes through LineItemRules on the copies, each in one
// transaction, and reports its outcome as data: messages, a question with its
// continuation, the lists it changed. Nothing reaches the rental tables
// before the store.
//
// A contract whose status may not be changed (SZ_STATUSR.MODOSITHATO "N")
// opens with its lines and items read-only: those actions answer
// STATUSZ + " szerződés nem módosítható."; payments and the done mark of a
// take-back stay open.
#include "db/Database.h"
#include "rental/Dictionaries.h"
#include "rental/LineItemRules.h"
#include "rental/RentalTables.h"
#include "rental/Schedule.h"
#include "shell/Session.h"

#include <utility>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

namespace vl::rental {

enum class ContractMode { Insert, Modify, View };

// "insert" / "modify" / "view" (the registry's Mode parameter); anything else: View.
ContractMode ContractModeFromText(const QString& text);
QString ContractModeText(ContractMode mode);

// The header panel's values. Codes; a payment or rental mode may also be
// given by its NEV (the combo's text) and is resolved on validation.
struct HeaderFields {
    QString ugyfelkod;    // UGYFEL.KOD
    QString ugyfelcim;    // UGYFELCIM.KOD
    QString fizmod;       // SZ_FIZMOD.KOD (or NEV)
    QString bermod;       // SZ_BERMOD.KOD (or NEV)
    QString berkezd;      // e_berkezd as typed
    QString berveg;       // e_berveg as typed
    QString szerzodes;    // e_szerzodes
    QString komment;      // e_komment
    QString vegkomment;   // the multi-line remark (CR LF)
    // Read from the stored header (not edited here).
    QString status;       // FORGFEJ.STATUS
    QString lastprint;    // FORGFEJ.LASTPRINT
};

// The customer labels of the header panel.
struct CustomerLabels {
    QString ugyfelnev;    // "Ügyfél neve: " + NEV
    QString ugyfelcim;    // "Szállítási cím: " + NEV IRSZAM VAROS, UTCA
    QString cimadat;      // SZEMELY TELEFON
    QString kommentspec;  // the customer's internal remark (UGYFEL.KOMMENTSPEC)
};

class ContractSession {
public:
    // The connection and the session stay the caller's and must outlive this.
    ContractSession(vl::db::Connection& conn, const vl::shell::Session& who);
    ~ContractSession();   // discard()
    ContractSession(const ContractSession&) = delete;
    ContractSession& operator=(const ContractSession&) = delete;

    // Opens the session: insert (bizonylat -1, version 0; an optional preset
    // customer and site), modify or view of a stored contract. Makes the work
    // copies (not in view) and loads the contract. Throws vl::Error
    // (RuleRefusal when the contract does not exist).
    void open(ContractMode mode, qint64 bizonylat = -1, int verzio = 0, const QString& customerKey = QString(),
              const QString& siteKey = QString());
    bool isOpen() const { return open_; }
    // A new contract on the work copies of the insert session that is open
    // (their rows removed), without making them again: an import entering
    // contracts one after another. Opens an insert session when none is.
    void openNext();

    // A running contract brought in from another system (the import of
    // running contracts; insert only): its maintenance is generated from
    // today, never from a delivery day in the past (a regeneration's rule),
    // and `paidUpTo` (a day, or "" for none) is its last appendix end
    // (LASTPRINT, LASTPRINTT the start), so billing starts the day after it.
    void setBroughtIn(const QString& paidUpTo);
    bool broughtIn() const { return broughtIn_; }

    ContractMode mode() const { return mode_; }
    qint64 contract() const { return bizonylat_; }   // -1 for a new contract
    int version() const { return verzio_; }
    // The number and version the copies' rows carry (a new contract: 0 / 1).
    qint64 rowContract() const;
    qint64 rowVersion() const;
    // "Bérletbe kiadás - új szerződés felvitele" / "<n>. sz. szerződés módosítása" / "... megtekintése".
    QString caption() const;
    // The tables the lists read: the copies, or the rental tables in view mode.
    const RentalTables& tables() const { return tables_; }
    // The four copies' names ("" in view mode) in the order lines, items, activities, payments.
    QStringList workCopyNames() const;

    // Lines and items may be changed (not view mode, and the contract's status allows it).
    bool linesEditable() const;
    // The refusal for a contract whose status may not be changed ("" when it may).
    QString notModifiableText() const { return notModifiable_; }

    // For tests and commands: the day the rules take as today ('yyyy.mm.dd').
    void setToday(const QString& today);
    QString today() const;

    // ---------------------------------------------------------------- header
    const HeaderFields& header() const { return header_; }
    void setHeader(const HeaderFields& h);
    // The header's checks in the order and with the texts of the form: on
    // failure one message "A fej adatokban az alábbi hibák vannak:" + CR + the
    // messages (each followed by CR), focus = objectName of the first control
    // at fault (b_ugyfel, cb_fizmod, e_berkezd, e_berveg, cb_bermod).
    //
    // The customer's checks (every door: the form, the import, the orders
    // workspace): the customer exists and, for a new contract or another
    // customer chosen, is not inactive; a site is given, exists and is that
    // customer's.
    Outcome validateHeader();
    static QStringList CustomerErrors(vl::db::Transaction& tx, const HeaderFields& h,
                                      const QString& loadedCustomer = QString());
    // The customer and site of the stored contract as loaded ("" for a new one).
    QString loadedCustomer() const { return loadedCustomer_; }
    QString loadedSite() const { return loadedSite_; }
    // The customer and site chosen in the customer register: without a site
    // "Az ügyfélhez nincs szállítási cím rendelve!"; otherwise the header takes
    // the codes, the customer's payment mode, the site's remark (KOMMENT) and
    // the customer's internal remark (KOMMENTSPEC) as the multi-line remark.
    Outcome chooseCustomer(const QString& customerKey, const QString& siteKey);
    CustomerLabels customerLabels() const;

    // ---------------------------------------------------------------- lists
    vl::db::RowSet lines();                                   // + CSOPNEV, SOFORNEV
    vl::db::RowSet items();                                   // + NEV (group), MEGNEVEZES (pattern)
    vl::db::RowSet activities(qint64 tetelsor, qint64 sorszam); // + NEV, ALLAPOT, SOFORNEV
    vl::db::RowSet payments();                                // + ALLAPOT
    vl::db::RowSet dictionary(Dictionary which);
    bool hasLines();
    // The cabins the other items of this contract hold and have not brought
    // back, as the copies have them (the register learns of them only at the
    // store): the cabin picker shows them taken. (tetelsor, sorszam) is the
    // item being edited, left out; "*" is no cabin.
    QStringList productsTaken(qint64 tetelsor, qint64 sorszam);

    // ---------------------------------------------------------------- panels
    // A stored row as the panel shows it (weekday counts, prices and period
    // blank when 0; codes as codes).
    LineInput lineFields(qint64 tetelsor);
    ItemInput itemFields(qint64 tetelsor, qint64 sorszam);
    // The activity's fields; showing an activity makes its KEPZETT the value
    // for new activities.
    ActivityInput activityFields(const ActivityKey& key);
    // The line panel of a first line in insert mode: period "1", delivery = the
    // contract start, return = the contract end.
    LineInput newLineDefaults() const;
    // SZ_ARUCSOP.KARAR and the NEV of its M_EGYSEG for the group chosen.
    struct GroupInfo { bool found = false; qint64 karar = 0; QString unitCode, unitName; };
    GroupInfo groupInfo(const QString& group);
    // ActivityPrice(kind, group, weekday): the spin buttons' default (kind
    // "KA", weekday 1..7) and the activity box's price (weekday 0).
    qint64 activityPrice(const QString& kind, const QString& group, int weekday = 0);
    // l_termek: line + "/" + item + " (" + code + " )".
    static QString itemLabel(qint64 tetelsor, qint64 sorszam, const QString& arukod);

    // ---------------------------------------------------------------- actions (on the copies)
    // A typed delivery or take-back day that is a day off of the working
    // calendar is asked about once ("A megadott nap munkaszüneti nap (…).
    // Megtartja?"; "Nem" changes nothing). Commands switch it off and go ahead.
    void setAskDayOff(bool ask) { askDayOff_ = ask; }
    // With the question switched off: the notices of the days off met since
    // the last call, each once, for the command to print; the list is emptied.
    QStringList takeDayOffNotices() { return std::exchange(dayOffNotices_, {}); }
    Outcome addLine(const LineInput& in);                                   // b_hozzaad
    Outcome changeLine(qint64 tetelsor, const LineInput& in);               // b_modcsop
    Outcome deleteLine(qint64 tetelsor);                                    // b_torolcsop
    Outcome storeItem(qint64 tetelsor, qint64 sorszam, const ItemInput& in); // b_modkabin
    Outcome deleteItem(qint64 tetelsor, qint64 sorszam);                    // b_torolkab
    Outcome addActivity(qint64 tetelsor, qint64 sorszam, const ActivityInput& in); // b_ujtev
    Outcome changeActivity(const ActivityKey& key, const ActivityInput& in);       // b_tartev
    Outcome deleteActivity(const ActivityKey& key);                          // b_toroltev
    Outcome toggleDone(const ActivityKey& key);                              // b_elvegezve
    Outcome generateMaintenance(qint64 tetelsor, qint64 sorszam);            // b_karbgen
    // The done mark ("Elvégezve", its question answered "Igen") of every
    // planned delivery-class activity (KEPEZVE "UJTCS") dated before today,
    // in one transaction: a brought-in contract's cabins are out already.
    Outcome markPastDeliveriesDone();

    // ---------------------------------------------------------------- leaving
    // The question of "Kilépés tárolás nélkül" ("" when the form may close at once).
    QString leaveQuestion();
    // Drops the work copies; the session is closed. Safe to call twice.
    void discard();

    // ---------------------------------------------------------------- for the store
    // The take-backs marked done or undone on the copies, in order.
    const std::vector<TakeBackMark>& takeBacks() const { return takeBacks_; }
    // RDB$RECORD_VERSION of the header as loaded (modify), for the store's check.
    qint64 loadedRecordVersion() const { return recordVersion_; }
    // The generator context of this session (status codes, year, writer).
    const GeneratorContext& context() const { return ctx_; }
    // Resolved codes of the header's payment and rental mode ("" when unknown).
    QString paymentModeCode();
    QString rentalModeCode();
    vl::db::Connection& connection() { return conn_; }

private:
    Outcome run(const std::function<Outcome(vl::db::Transaction&, LineItemRules&)>& action, bool linesAction);
    Outcome askDayOff(const Answers& answers, const std::vector<std::pair<QString, QString>>& days);
    bool askDayOff_ = true;
    QStringList dayOffNotices_;
    LineItemRules rules();
    ContractTerms terms(vl::db::Transaction& tx);
    void makeCopies();
    void loadHeader();

    vl::db::Connection& conn_;
    vl::shell::Session who_;
    bool open_ = false;
    ContractMode mode_ = ContractMode::View;
    qint64 bizonylat_ = -1;
    int verzio_ = 0;
    RentalTables tables_;
    QStringList copies_;
    HeaderFields header_;
    QString loadedCustomer_, loadedSite_;
    QString notModifiable_;
    QString today_;
    QString kepzett_ = QStringLiteral("K");
    GeneratorContext ctx_;
    std::vector<TakeBackMark> takeBacks_;
    qint64 recordVersion_ = 0;
    bool broughtIn_ = false;
};

} // namespace vl::rental
