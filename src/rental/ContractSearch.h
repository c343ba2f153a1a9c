#pragma once
// The rental lookup's rules: finding contracts by a filter, and the status
// actions on one contract (cancel, restore, reopen).
//
// The search: a ContractFilter becomes one statement. Every value is bound
// (one parameter per ticked code), the sort order and the optional
// conditions are fixed texts of this file, so nothing typed reaches the
// statement text.
//
// The status actions each run in one transaction that first checks the
// contract's record version against the one the caller loaded, stamps the
// contract (JUZER, MIKOR) and sets the products' status only through
// ProductStore::UpdateProductStatus. They never ask: the checks run first
// and the question comes back as data (vl::Outcome, "Nem" the default); the
// write runs in the continuation when the caller answers "Igen". A refusal
// is an outcome with the sentence the user reads.
#include "db/Database.h"
#include "shell/Session.h"
#include "util/Outcome.h"

#include <QString>
#include <QStringList>
#include <QVariantMap>

namespace vl::rental {

struct ContractFilter {
    // The period: applied only when usePeriod is set; each bound may be empty.
    bool usePeriod = false;
    bool periodOfActivities = false;   // false: the rental's start; true: an activity dated in it
    QString from, to;                  // 'yyyy.mm.dd' (or 'yyyymmdd')

    // The customer: a typed name prefix, or the key of a customer chosen
    // from the register (the key takes over the text).
    QString customerText;
    QString customerKey;
    bool allProjects = true;           // false with a site key: that site's contracts only
    QString siteKey;

    QString driver;                    // SZ_SOFOR.KOD; "" all
    QString group;                     // SZ_ARUCSOP.KOD; "" all
    QString cabin;                     // ARU.KOD held by an item; "" all
    QString number;                    // contract number as typed; "" all
    QString filing;                    // SZERZODES (filing number); "" all

    QStringList modes;                 // ticked SZ_BERMOD codes
    QStringList statuses;              // ticked SZ_STATUSR codes
    int order = 1;                     // 1..6, the items of "Sorrend"
};

struct BuiltSearch {
    QString sql;
    vl::db::Params params;
};

struct HandoverArgs {
    qint64 contract = 0;
    int version = 1;
    QString activity;                  // "KIH"
    QString date;                      // the rental start
    QString endDate;                   // the rental start, or its end for an occasional rental
    QVariantMap params() const;        // as "ShowDocPrint" takes them
};

class ContractSearch {
public:
    // The captions of the sort orders, item 1..6.
    static const QStringList& OrderNames();
    // "ORDER BY" columns of an order (1..6; anything else: 1).
    static QString OrderBy(int order);

    // Why the filter cannot be searched ("" when it can): an empty choice of
    // rental modes or statuses, a bad date of the period, a contract number
    // that is not a whole number.
    static QString Refusal(const ContractFilter& f);
    // The statement of a filter; throws vl::RuleRefusal(Refusal(f)).
    static BuiltSearch Build(const ContractFilter& f);
    // Runs it: the rows the list shows, in order (with RV, the record version).
    static vl::db::RowSet Run(vl::db::Transaction& tx, const ContractFilter& f);
    static vl::db::RowSet Run(vl::db::Connection& conn, const ContractFilter& f);

    // ---- one contract's actions
    // Each returns the question (nothing written yet) or the refusal; answered
    // "Igen" the continuation writes and ends ok, answered "Nem" it ends
    // refused without a message and nothing is written. A database failure
    // during the write throws vl::Error with nothing written.
    //
    // The "Stornó" button: cancels a contract that is not cancelled, restores
    // one that is. loadedRv: the record version the list showed (0: not checked).
    static vl::Outcome cancelOrRestore(vl::db::Connection& conn, vl::db::Transaction* outer, const vl::shell::Session& s,
                                       qint64 bizonylat, qint64 verzio, qint64 loadedRv = 0);
    // Cancels: refused after a done activity other than maintenance; asks;
    // sets the status "X" (keeping the old in STATUSELOZO) and then lets the
    // product service settle each product of the contract (a cabin out on
    // another running contract stays rented).
    static vl::Outcome cancel(vl::db::Connection& conn, vl::db::Transaction* outer, const vl::shell::Session& s,
                              qint64 bizonylat, qint64 verzio, qint64 loadedRv = 0);
    // Restores a cancelled contract: asks; refuses when a cabin of an item
    // not yet back is no longer free (naming them); sets STATUSELOZO back
    // ("FO" when it is empty) and rents the cabins of the items not yet back.
    static vl::Outcome restore(vl::db::Connection& conn, vl::db::Transaction* outer, const vl::shell::Session& s,
                               qint64 bizonylat, qint64 verzio, qint64 loadedRv = 0);
    // Reopens a closed contract ("LEZ" only): asks; status "FO" and the end it
    // had before a take-back closed it (empty for an open-ended one).
    static vl::Outcome reopen(vl::db::Connection& conn, vl::db::Transaction* outer, const vl::shell::Session& s,
                              qint64 bizonylat, qint64 verzio, qint64 loadedRv = 0);

    // The handover document's arguments for a row of the list (BIZONYLAT,
    // VERZIO, BERKEZD, BERVEG, BERMOD).
    static HandoverArgs Handover(const QVariantMap& row);
    // "<STATUSZ> szerződés nem módosítható." for a row whose status may not
    // be changed, "" otherwise.
    static QString ModifyRefusal(const QVariantMap& row);

    // The legend: "Színek jelentése: " + "SZIN = NEV, " for every status in name order.
    static QString Legend(vl::db::Transaction& tx);

    // Texts.
    static QString NoModeText() { return QStringLiteral("Legalább egy bérletmódot ki kell választani."); }
    static QString NoStatusText() { return QStringLiteral("Legalább egy státuszt ki kell választani."); }
    static QString BadNumberText(const QString& typed) {
        return QStringLiteral("A bizonylatszám csak egész szám lehet: \"%1\".").arg(typed);
    }
    static QString DoneActivityText() { return QStringLiteral("Nem stornózható, mert volt elvégzett tevékenység."); }
    static QString CancelQuestion() { return QStringLiteral("Biztos, hogy stornózza a szerződést?"); }
    static QString RestoreQuestion() { return QStringLiteral("A szerződés már stornózott. Visszaállítja élőnek?"); }
    static QString NotFreeText() { return QStringLiteral("Nem állítható vissza, mert az alábbi kabinok már nem szabadok:"); }
    static QString OnlyClosedText() { return QStringLiteral("Csak lezártat lehet újra folyamatban levővé tenni."); }
    static QString ReopenQuestion() {
        return QStringLiteral("Biztos, hogy felbontja a lezárást és folyamatban levővé teszi a bérletet?");
    }
    static QString NotCancelledText() { return QStringLiteral("Csak stornózott szerződést lehet visszaállítani."); }
    static QString AlreadyCancelledText() { return QStringLiteral("A szerződés már stornózott."); }
};

} // namespace vl::rental
