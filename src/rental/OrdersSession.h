#pragma once
// One opening of the customer orders workspace ("Ügyfél megrendelései"): what
// the form shows and every action it offers, on the stored tables, for the
// user and year of the Session it was made with.
//
// The session owns its transactions: every read runs in a read-only
// transaction of its own, every action in one transaction (TxScope), all or
// nothing. The rules are those of OrdersWorkspace (lists, lines, the payment
// mode), OrdersItems (products), Payments (the "Fizetések" page) and the
// customers' service (customer and site panels); the session adds no rule of
// its own but the order in which an action checks, asks and writes.
//
// Actions answer as vl::OutcomeOf<...>: done, refused with the messages to
// show, or a question with its continuation. Nothing is written while a
// question is open; the caller (the form, vorlanda-admin) asks in its own way
// and calls proceed(answer). A refusal because another workstation changed
// the same rows meanwhile carries `reload`: the caller shows what is stored now.
#include "customers/CustomerService.h"
#include "db/Database.h"
#include "rental/Dictionaries.h"
#include "rental/OrdersItems.h"
#include "rental/OrdersWorkspace.h"
#include "rental/Payments.h"
#include "shell/Session.h"
#include "util/Outcome.h"

#include <utility>
#include <QHash>
#include <QList>
#include <QString>
#include <optional>

namespace vl::rental {

// The customer panel as loaded.
struct LoadedCustomer {
    std::optional<vl::customers::Customer> customer;   // none: no key, or no such customer
    bool paymentModeKnown = false;   // its FIZMOD is in SZ_FIZMOD
    QString paymentModeName;         // that mode's NEV
    QString cashFlag;                // that mode's KP ("" unknown)
    // "Hova lett ez az fizmód? " + the code, for a mode missing from SZ_FIZMOD ("" otherwise).
    QString missingModeText;
};

// The order lists of one filter, read in one transaction.
struct OrderLists {
    vl::db::RowSet summary;    // "Összevont"
    vl::db::RowSet lines;      // "Tételes"
    vl::db::RowSet products;   // "Termékek"
    vl::db::RowSet payments;   // "Fizetések"
};

// What the answers of the actions carry beside ok / messages / question.
struct CustomerStored {
    QString key;               // the customer's key (a new one's too)
    bool modeChanged = false;  // the payment mode changed (the contracts followed)
    StoreSummary summary;
    bool reload = false;       // changed or deleted elsewhere: show the stored row
};
struct SiteStored {
    QString key;
    bool reload = false;
};
struct NumberChanged {
    bool changed = false;      // false: the number was the same, nothing written
};
struct LineRead {
    LineInput input;           // the stored line as the panel shows it
};

using CustomerOutcome = vl::OutcomeOf<CustomerStored>;
using SiteOutcome = vl::OutcomeOf<SiteStored>;
using ItemStoreOutcome = vl::OutcomeOf<ItemStoreResult>;
using SummaryOutcome = vl::OutcomeOf<StoreSummary>;
using PaymentOutcome = vl::OutcomeOf<PaymentResult>;

class OrdersSession {
public:
    // The connection stays the caller's and must outlive the session.
    OrdersSession(vl::db::Connection& conn, const vl::shell::Session& who);

    const vl::shell::Session& who() const { return who_; }

    // ---------------------------------------------------------------- reading
    // A dictionary as the combos list it.
    vl::db::RowSet readDictionary(Dictionary which);
    // The customer chooser: KOD, NEV, optionally the active customers and
    // those with a contract in progress.
    vl::db::RowSet readCustomerChooser(bool activeOnly, bool runningOnly);
    LoadedCustomer loadCustomer(const QString& key);
    // The customer's sites (the site chooser's items) and one site.
    vl::db::RowSet readSites(const QString& customerKey);
    std::optional<vl::customers::Site> loadSite(const QString& key);
    // The four order lists (empty without a customer).
    OrderLists readOrderLists(const OrderFilter& filter);
    // Only the products and the payments (the pages 1-3).
    OrderLists readItemLists(const OrderFilter& filter);
    // The activities of one product up to a day ('yyyy.mm.dd'), latest first.
    vl::db::RowSet readActivities(const ItemKey& item, const QString& arukod, const QString& upTo);

    // ---------------------------------------------------------------- customer and site panels
    // "Ügyfél tárolás": the checks (one message: the heading, a blank line,
    // the errors), the question of a name that exists already, then the
    // customer stored with its payment mode in one transaction: a changed
    // mode goes through changePaymentMode (the old cash flag read from the
    // database in that transaction, never from what the panel remembers).
    CustomerOutcome storeCustomer(const vl::customers::Customer& customer);
    // "Ügyfél törlés": the refusal, the question (default "Nem"), the delete.
    vl::Outcome deleteCustomer(const QString& key);
    // "Cím tárolás" and "Cím törlés".
    SiteOutcome storeSite(const vl::customers::Site& site);
    vl::Outcome deleteSite(const QString& key, const QString& customerKey);
    // vorlanda-admin payment-mode and the customer store: the customer's
    // FIZMOD and its contracts in one transaction.
    SummaryOutcome changePaymentMode(const QString& customerKey, const QString& newFizmod);

    static QString customerErrorText(const QStringList& errors);
    static QString duplicateQuestion(const QList<vl::customers::Customer>& same);
    static QString customerDeleteQuestion() {
        return QStringLiteral("Biztosan törli az ügyfelet és az össezes címét?");
    }
    static QString siteDeleteQuestion() { return QStringLiteral("Biztosan törli ezt a címet?"); }

    // ---------------------------------------------------------------- product-group lines
    // The contract a new line of the site goes to.
    NewLineTarget findNewLineTarget(const QString& customerKey, const QString& siteKey);
    // ActivityPrice(kind, group, weekday): the schedule spin buttons' default.
    qint64 readActivityPrice(const QString& kind, const QString& group, int weekday);
    // "Termék típus adatok tárolása": the questions of the checks first, then
    // the store (OrdersWorkspace::storeLine). Refusals as messages; a
    // contract changed elsewhere also sets `reload`.
    LineStoreOutcome storeLine(const LineStoreRequest& request);
    // A typed delivery or return day that is a day off of the working calendar
    // is asked about first ("A megadott nap munkaszüneti nap (…). Megtartja?";
    // "Nem" changes nothing); commands switch the question off and go ahead.
    void setAskDayOff(bool ask) { askDayOff_ = ask; }
    // With the question switched off: the notices of the days off met since
    // the last call, each once, for the command to print; the list is emptied.
    QStringList takeDayOffNotices() { return std::exchange(dayOffNotices_, {}); }
    // A stored line of the customer's site as the panel shows it (refused
    // when the contract is not that customer's at that site).
    vl::OutcomeOf<LineRead> readLine(const QString& customerKey, const QString& siteKey, qint64 bizonylat,
                                     qint64 tetelsor);

    // ---------------------------------------------------------------- products
    ItemPanel readItemPanel(const ItemKey& item);
    // "Termék adatok tárolása". A refusal of the dates focuses e_kiszallkab.
    ItemStoreOutcome storeItems(const ItemStoreRequest& request);
    // "Termék törlése": the refusal, then RemoveQuestion() (default "Nem";
    // the form shows it with RemoveButtons()), then the removal.
    SummaryOutcome removeItem(const ItemKey& item);
    // "Termékszám módosítása" after the product was picked.
    vl::OutcomeOf<NumberChanged> changeNumber(const ItemKey& item, const QString& newCode);
    // The take-back day of the return document ("" none).
    QString readReturnDocumentDate(const ItemKey& item);

    // ---------------------------------------------------------------- payments
    QString proposePeriodEnd(qint64 bizonylat, const QString& from);
    QString readFirstLineDriver(qint64 bizonylat);
    PaymentRow readPaymentRow(const PaymentRowKey& key);
    // "Fiz. adatok tárolása".
    PaymentOutcome recordPayment(const PaymentEntry& entry);
    // "Fizetve / Mégsem": a paid row asks UnpayQuestion() first. Any other
    // status than planned or paid: done with an empty status, nothing written.
    PaymentOutcome togglePaid(const PaymentRow& shown, const QString& now = QString());
    // "Törlés": DeleteQuestion(), for a paid row PaidDeleteQuestion() too, then the delete.
    PaymentOutcome deletePayment(const PaymentRow& shown);

private:
    QString dayOffQuestion(const QStringList& days);
    bool askDayOff_ = true;
    QStringList dayOffNotices_;
    vl::db::Connection& conn_;
    vl::shell::Session who_;
};

} // namespace vl::rental
