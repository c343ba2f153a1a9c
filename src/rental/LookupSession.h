#pragma once
// One opening of the rental lookup: what its filters offer, the list a filter
// finds, and the actions on a contract of the list (view, modify, cancel or
// restore, reopen, the handover document).
//
// The form and the commands "contracts" and "contract cancel|restore|reopen"
// work through this class only. Every read runs in a read-only transaction of
// its own, every action in the transactions of ContractSearch; nothing stays
// open between two calls. Refusals and questions come back as data
// (vl::Outcome): the caller shows the messages, asks the question and calls
// `proceed` with the answer; nothing is written before "Igen".
#include "db/Database.h"
#include "rental/ContractSearch.h"
#include "shell/Session.h"
#include "util/Outcome.h"

#include <QString>
#include <QStringList>
#include <QVariantMap>

namespace vl::rental {

// The list a filter found. `replacesList`: the rows take the list's place
// (also when empty, after a refusal of the choice); false when the filter was
// refused before the search (a bad period bound) and the list stays as it is.
struct LookupRows {
    vl::db::RowSet rows;
    bool replacesList = true;
};
using LookupOutcome = vl::OutcomeOf<LookupRows>;

// A contract the lookup opens in contract entry.
struct ContractToOpen {
    QString mode;          // "view" / "modify" (contract entry's Mode)
    qint64 contract = 0;
    int version = 1;
    QVariantMap params() const;   // Mode, Contract, Version as "Tszerzfelfm" takes them
};
using OpenOutcome = vl::OutcomeOf<ContractToOpen>;

class LookupSession {
public:
    // The connection and the session stay the caller's and must outlive this.
    LookupSession(vl::db::Connection& conn, const vl::shell::Session& who);

    // ---------------------------------------------------------------- the filters
    // The driver chooser's rows (every driver, by name) and the product groups' (by name): KOD, NEV.
    vl::db::RowSet drivers();
    vl::db::RowSet productGroups();
    // The check lists' rows: rental modes (name descending) and contract statuses (by name): KOD, NEV.
    vl::db::RowSet rentalModes();
    vl::db::RowSet contractStatuses();
    // The codes of every rental mode and every status, in the lists' order (the form opens with all ticked).
    QStringList allRentalModes();
    QStringList allStatuses();
    // "Színek jelentése: " + "SZIN = NEV, " for every status in name order.
    QString legend();
    // The captions of the sort orders, item 1..6.
    static const QStringList& orderNames();

    // ---------------------------------------------------------------- the list
    // The contracts of a filter, in its order, with RV (the record version the
    // actions compare). Refused with the message and the control at fault:
    //  - a filled period bound that is no date, with the period used:
    //    "Hibás dátum." + LF + the text (information; focus e_tol / e_ig; the list stays);
    //  - no rental mode or no status ticked, a contract number that is not a
    //    whole number (focus e_bizszam): the list empties.
    // Throws vl::Error when the database cannot be read.
    LookupOutcome search(const ContractFilter& f);

    // ---------------------------------------------------------------- the actions
    // The row of the list (BIZONYLAT, VERZIO, STATUSZ, MODOSITHATO, BERKEZD, BERVEG, BERMOD).
    OpenOutcome view(const QVariantMap& row) const;
    // Refused with "<STATUSZ> szerződés nem módosítható." for a status that may not be changed.
    OpenOutcome modify(const QVariantMap& row) const;
    // The handover document's arguments ("ShowDocPrint").
    HandoverArgs handover(const QVariantMap& row) const;
    // "Stornó": cancels a contract that is not cancelled, restores one that is
    // (each asks first, "Nem" the default). loadedRv: the record version the
    // list showed (0: not checked). Outcome ok when the contract changed;
    // refused without messages when the answer was "Nem".
    vl::Outcome cancelOrRestore(qint64 bizonylat, qint64 verzio, qint64 loadedRv = 0);
    vl::Outcome cancel(qint64 bizonylat, qint64 verzio, qint64 loadedRv = 0);
    vl::Outcome restore(qint64 bizonylat, qint64 verzio, qint64 loadedRv = 0);
    // "Folyamatban levő legyen": a closed contract in progress again.
    vl::Outcome reopen(qint64 bizonylat, qint64 verzio, qint64 loadedRv = 0);
    // The action refused because another workstation changed the contract
    // since the list was read: the list should be read again.
    static bool changedElsewhere(const vl::Outcome& o);

private:
    QStringList codesOf(const vl::db::RowSet& rows) const;

    vl::db::Connection& conn_;
    vl::shell::Session who_;
};

} // namespace vl::rental
