#include "rental/OrdersSession.h"
#include "rental/WorkCalendar.h"

#include "db/TxScope.h"
#include "rental/CustomerLinks.h"
#include "rental/ProductRegister.h"
#include "rental/Schedule.h"
#include "util/Error.h"

#include <functional>
#include <optional>
#include <utility>

namespace vl::rental {

using vl::customers::Customer;
using vl::customers::CustomerService;
using vl::customers::Site;
using vl::db::RowSet;
using vl::db::Transaction;

namespace {

// A rule's refusal (vl::RuleRefusal) as the outcome's message; the
// continuation of a question is guarded the same way. `mark` notes what the
// refusal means for the caller (the rows changed elsewhere, a field at fault).
template <class X>
vl::OutcomeOf<X> guarded(const std::function<vl::OutcomeOf<X>()>& f,
                         const std::function<void(vl::OutcomeOf<X>&, const QString&)>& mark = {}) {
    vl::OutcomeOf<X> o;
    try {
        o = f();
    } catch (const vl::RuleRefusal& e) {
        o = vl::OutcomeOf<X>::refusal(e.text());
        if (mark) mark(o, e.text());
        return o;
    }
    if (o.asks() && o.proceed) {
        const auto next = o.proceed;
        o.proceed = [next, mark](bool yes) {
            return guarded<X>([&] { return next(yes); }, mark);
        };
    }
    return o;
}

// A store refused by its rule (the row changed or deleted elsewhere): the
// refusal, with the panel to show what is stored now; none when it stored.
template <class O, class F>
std::optional<O> refusedStore(F&& store) {
    try {
        store();
        return std::nullopt;
    } catch (const vl::RuleRefusal& e) {
        O o = O::refusal(e.text());
        o.reload = true;
        return o;
    }
}

template <class X>
vl::OutcomeOf<X> declined() {
    return vl::OutcomeOf<X>::refusal(QStringList());
}

QString siteText(const QString& irszam, const QString& varos, const QString& utca) {
    return irszam + QLatin1Char(' ') + varos + QStringLiteral(", ") + utca;
}

bool contractChanged(const QString& text) { return text == ProductRegister::ContractChangedElsewhereText(); }

} // namespace

OrdersSession::OrdersSession(vl::db::Connection& conn, const vl::shell::Session& who) : conn_(conn), who_(who) {
    // A customer or site is deleted only when no contract names it.
    registerCustomerLinks();
}

// ---------------------------------------------------------------- reading

RowSet OrdersSession::readDictionary(Dictionary which) { return ReadDictionary(conn_, which); }

RowSet OrdersSession::readCustomerChooser(bool activeOnly, bool runningOnly) {
    return vl::db::readOnly(conn_, [&](Transaction& tx) { return OrdersWorkspace::CustomerChooser(tx, activeOnly, runningOnly); });
}

LoadedCustomer OrdersSession::loadCustomer(const QString& key) {
    LoadedCustomer l;
    if (key.trimmed().isEmpty()) return l;
    auto tx = conn_.begin(vl::db::TxMode::ReadOnly);
    l.customer = CustomerService::loadCustomer(*tx, key.trimmed());
    if (l.customer) {
        const QString fizmod = l.customer->fizmod.trimmed();
        RowSet fm = tx->query(QStringLiteral("SELECT NEV, KP FROM SZ_FIZMOD WHERE KOD = :kod"),
                              {{QStringLiteral("kod"), fizmod}});
        if (fm.next()) {
            l.paymentModeKnown = true;
            l.paymentModeName = fm.text(QStringLiteral("NEV"));
            l.cashFlag = fm.text(QStringLiteral("KP")).trimmed();
        } else {
            l.missingModeText = QStringLiteral("Hova lett ez az fizmód? ") + fizmod;
        }
    }
    tx->commit();
    return l;
}

RowSet OrdersSession::readSites(const QString& customerKey) {
    if (customerKey.trimmed().isEmpty()) return RowSet();
    return vl::db::readOnly(conn_, [&](Transaction& tx) { return CustomerService::loadSites(tx, customerKey.trimmed()); });
}

std::optional<Site> OrdersSession::loadSite(const QString& key) {
    if (key.trimmed().isEmpty()) return std::nullopt;
    return vl::db::readOnly(conn_, [&](Transaction& tx) { return CustomerService::loadSite(tx, key.trimmed()); });
}

OrderLists OrdersSession::readOrderLists(const OrderFilter& f) {
    OrderLists l;
    if (f.customerKey.trimmed().isEmpty()) return l;
    auto tx = conn_.begin(vl::db::TxMode::ReadOnly);
    l.summary = OrdersWorkspace::SummaryLines(*tx, f);
    l.lines = OrdersWorkspace::Lines(*tx, f);
    l.payments = OrdersWorkspace::Payments(*tx, f);
    l.products = OrdersWorkspace::Products(*tx, f);
    tx->commit();
    return l;
}

OrderLists OrdersSession::readItemLists(const OrderFilter& f) {
    OrderLists l;
    if (f.customerKey.trimmed().isEmpty()) return l;
    auto tx = conn_.begin(vl::db::TxMode::ReadOnly);
    l.products = OrdersWorkspace::Products(*tx, f);
    l.payments = OrdersWorkspace::Payments(*tx, f);
    tx->commit();
    return l;
}

RowSet OrdersSession::readActivities(const ItemKey& k, const QString& arukod, const QString& upTo) {
    return vl::db::readOnly(conn_, [&](Transaction& tx) {
        return OrdersWorkspace::Activities(tx, k.bizonylat, k.verzio, k.tetelsor, k.sorszam, arukod, upTo);
    });
}

// ---------------------------------------------------------------- customer and site panels

QString OrdersSession::customerErrorText(const QStringList& errors) {
    QString text = OrdersWorkspace::CustomerHeading() + QStringLiteral("\n\n");
    for (const QString& e : errors) text += e + QLatin1Char('\n');
    return text;
}

QString OrdersSession::duplicateQuestion(const QList<Customer>& same) {
    QString q = QStringLiteral("Már van ilyen nevű ügyfél.\n");
    for (const Customer& o : same) q += o.nev + QLatin1Char(' ') + siteText(o.irszam, o.varos, o.utca) + QLatin1Char('\n');
    return q + QStringLiteral("\nBiztosan felviszi az ügyfél adatait?");
}

CustomerOutcome OrdersSession::storeCustomer(const Customer& customer) {
    using O = CustomerOutcome;
    const bool insert = customer.kod.trimmed().isEmpty();
    QList<Customer> same;
    {
        auto tx = conn_.begin(vl::db::TxMode::ReadOnly);
        // The payment mode may change here: it is checked as the new one.
        const QStringList errors = CustomerService::customerErrors(*tx, customer, insert ? QString() : customer.fizmod);
        if (!errors.isEmpty()) return O::refusal(customerErrorText(errors));
        same = CustomerService::sameName(*tx, customer.nev, insert ? QStringLiteral("0") : customer.kod);
        tx->commit();
    }
    const auto store = [this, customer]() -> O {
        Customer c = customer;
        OrdersWorkspace::CustomerStoreOutcome r;
        if (auto refused = refusedStore<O>([&] { r = OrdersWorkspace::storeCustomer(conn_, who_, c); }))
            return *refused;
        if (!r.result.ok) return O::refusal(customerErrorText(r.result.errors));
        O o = O::done();
        o.key = r.result.key;
        o.modeChanged = r.modeChanged;
        o.summary = r.summary;
        if (r.modeChanged && r.summary.contracts > 0)
            o.messages << QStringLiteral("%1 szerződés fizetési módja módosult. ").arg(r.summary.contracts) + r.summary.line();
        return o;
    };
    if (same.isEmpty()) return store();
    return O::asking(duplicateQuestion(same), [store](bool yes) { return yes ? store() : declined<CustomerStored>(); });
}

vl::Outcome OrdersSession::deleteCustomer(const QString& key) {
    const QString refusal =
        vl::db::readOnly(conn_, [&](Transaction& tx) { return CustomerService::customerDeleteRefusal(tx, key); });
    if (!refusal.isEmpty()) return vl::Outcome::refusal(vl::customers::texts::customerInUse());
    return vl::Outcome::asking(
        customerDeleteQuestion(),
        [this, key](bool yes) {
            if (!yes) return declined<vl::NoExtra>();
            return guarded<vl::NoExtra>([&] {
                CustomerService::deleteCustomer(conn_, nullptr, key);
                return vl::Outcome::done();
            });
        },
        true);
}

SiteOutcome OrdersSession::storeSite(const Site& site) {
    using O = SiteOutcome;
    const QStringList errors = vl::db::readOnly(conn_, [&](Transaction& tx) { return CustomerService::siteErrors(tx, site); });
    if (!errors.isEmpty()) return O::refusal(CustomerService::siteErrorText(errors));
    Site s = site;
    vl::customers::StoreResult r;
    if (auto refused = refusedStore<O>([&] { r = CustomerService::storeSite(conn_, nullptr, s); })) return *refused;
    if (!r.ok) return O::refusal(CustomerService::siteErrorText(r.errors));
    O o = O::done();
    o.key = r.key;
    return o;
}

vl::Outcome OrdersSession::deleteSite(const QString& key, const QString& customerKey) {
    const QString refusal = vl::db::readOnly(conn_, [&](Transaction& tx) { return CustomerService::siteDeleteRefusal(tx, key); });
    if (!refusal.isEmpty()) return vl::Outcome::refusal(vl::customers::texts::siteInUse());
    return vl::Outcome::asking(
        siteDeleteQuestion(),
        [this, key, customerKey](bool yes) {
            if (!yes) return declined<vl::NoExtra>();
            return guarded<vl::NoExtra>([&] {
                CustomerService::deleteSite(conn_, nullptr, key, customerKey);
                return vl::Outcome::done();
            });
        },
        true);
}

SummaryOutcome OrdersSession::changePaymentMode(const QString& customerKey, const QString& newFizmod) {
    return guarded<StoreSummary>([&] {
        SummaryOutcome o = SummaryOutcome::done();
        static_cast<StoreSummary&>(o) = OrdersWorkspace::changePaymentMode(conn_, nullptr, who_, customerKey, newFizmod);
        return o;
    });
}

// ---------------------------------------------------------------- product-group lines

NewLineTarget OrdersSession::findNewLineTarget(const QString& customerKey, const QString& siteKey) {
    return vl::db::readOnly(conn_, [&](Transaction& tx) { return OrdersWorkspace::FindNewLineTarget(tx, customerKey, siteKey); });
}

qint64 OrdersSession::readActivityPrice(const QString& kind, const QString& group, int weekday) {
    return vl::db::readOnly(conn_, [&](Transaction& tx) { return ActivityPrice(tx, kind, group, weekday); });
}

QString OrdersSession::dayOffQuestion(const QStringList& days) {
    const WorkCalendar cal = vl::db::readOnly(conn_, [](Transaction& tx) { return WorkCalendar::load(tx); });
    if (!askDayOff_) {
        for (const QString& d : days)
            if (const QString n = cal.dayOffNotice(d); !n.isEmpty() && !dayOffNotices_.contains(n)) dayOffNotices_ << n;
        return QString();
    }
    for (const QString& d : days)
        if (const QString q = cal.dayOffQuestion(d); !q.isEmpty()) return q;
    return QString();
}

LineStoreOutcome OrdersSession::storeLine(const LineStoreRequest& rq) {
    auto store = [this, rq] {
        return guarded<LineStoreResult>([&] { return OrdersWorkspace::storeLine(conn_, who_, rq); },
                                        [](LineStoreOutcome& o, const QString& text) { o.reload = contractChanged(text); });
    };
    // A delivery or planned return typed on a day off is asked about once.
    const QString q = dayOffQuestion({rq.input.kiszall, rq.input.vszall});
    if (!q.isEmpty())
        return LineStoreOutcome::asking(q, [store](bool yes) { return yes ? store() : declined<LineStoreResult>(); });
    return store();
}

vl::OutcomeOf<LineRead> OrdersSession::readLine(const QString& customerKey, const QString& siteKey, qint64 bizonylat,
                                                qint64 tetelsor) {
    return guarded<LineRead>([&] {
        return vl::db::readOnly(conn_, [&](Transaction& tx) {
            using O = vl::OutcomeOf<LineRead>;
            if (!OrdersWorkspace::contractBelongsTo(tx, bizonylat, customerKey, siteKey))
                return O::refusal(QStringLiteral("a(z) %1. szerződés nem ennek az ügyfélnek ennél a címénél van.").arg(bizonylat));
            O o = O::done();
            o.input = OrdersWorkspace::InputOfLine(tx, bizonylat, tetelsor);
            return o;
        });
    });
}

// ---------------------------------------------------------------- products

ItemPanel OrdersSession::readItemPanel(const ItemKey& item) {
    return vl::db::readOnly(conn_, [&](Transaction& tx) { return OrdersItems::PanelOfItem(tx, item); });
}

ItemStoreOutcome OrdersSession::storeItems(const ItemStoreRequest& rq) {
    // A changed delivery or planned return on a day off is asked about once.
    QStringList days;
    const unsigned fields = rq.fields ? rq.fields
                                      : (rq.panel.kiszall != rq.source.kiszall ? unsigned(FieldKiszall) : 0u) |
                                            (rq.panel.vszallt != rq.source.vszallt ? unsigned(FieldVszallt) : 0u);
    if (fields & FieldKiszall) days << rq.panel.kiszall;
    if (fields & FieldVszallt) days << rq.panel.vszallt;
    if (const QString q = dayOffQuestion(days); !q.isEmpty()) {
        OrdersSession* self = this;
        return ItemStoreOutcome::asking(q, [self, rq](bool yes) {
            if (!yes) return declined<ItemStoreResult>();
            OrdersSession& me = *self;
            const bool ask = me.askDayOff_;
            me.askDayOff_ = false;
            ItemStoreOutcome o = me.storeItems(rq);
            me.askDayOff_ = ask;
            me.dayOffNotices_.clear();   // answered "Igen": nothing to tell
            return o;
        });
    }
    return guarded<ItemStoreResult>(
        [&] {
            ItemStoreOutcome o;
            static_cast<ItemStoreResult&>(o) = OrdersItems::StoreItems(conn_, nullptr, who_, rq);
            o.ok = true;
            o.warning = false;
            o.messages << o.line();
            return o;
        },
        [](ItemStoreOutcome& o, const QString& text) {
            // A refusal of the dates keeps the panel as typed, on the delivery day.
            if (text.startsWith(OrdersWorkspace::DateHeading())) o.focus = QStringLiteral("e_kiszallkab");
        });
}

SummaryOutcome OrdersSession::removeItem(const ItemKey& item) {
    const QString refusal = vl::db::readOnly(conn_, [&](Transaction& tx) { return OrdersItems::RemoveRefusal(tx, item); });
    if (!refusal.isEmpty()) return SummaryOutcome::refusal(refusal);
    return SummaryOutcome::asking(
        OrdersItems::RemoveQuestion(),
        [this, item](bool yes) {
            if (!yes) return declined<StoreSummary>();
            return guarded<StoreSummary>([&] {
                SummaryOutcome o;
                static_cast<StoreSummary&>(o) = OrdersItems::RemoveItem(conn_, nullptr, who_, item);
                o.ok = true;
                o.warning = false;
                o.messages << o.line();
                return o;
            });
        },
        true);
}

vl::OutcomeOf<NumberChanged> OrdersSession::changeNumber(const ItemKey& item, const QString& newCode) {
    return guarded<NumberChanged>([&] {
        auto o = vl::OutcomeOf<NumberChanged>::done();
        o.changed = OrdersItems::ChangeNumber(conn_, nullptr, who_, item, newCode);
        return o;
    });
}

QString OrdersSession::readReturnDocumentDate(const ItemKey& item) {
    return vl::db::readOnly(conn_, [&](Transaction& tx) { return OrdersItems::ReturnDocumentDate(tx, item); });
}

// ---------------------------------------------------------------- payments

QString OrdersSession::proposePeriodEnd(qint64 bizonylat, const QString& from) {
    return vl::db::readOnly(conn_, [&](Transaction& tx) { return Payments::DefaultPeriodEnd(tx, bizonylat, 1, from); });
}

QString OrdersSession::readFirstLineDriver(qint64 bizonylat) {
    return vl::db::readOnly(conn_, [&](Transaction& tx) { return Payments::FirstLineDriver(tx, bizonylat, 1); });
}

PaymentRow OrdersSession::readPaymentRow(const PaymentRowKey& key) {
    return vl::db::readOnly(conn_, [&](Transaction& tx) { return Payments::ReadRow(tx, key); });
}

PaymentOutcome OrdersSession::recordPayment(const PaymentEntry& entry) {
    return guarded<PaymentResult>([&] {
        PaymentOutcome o = PaymentOutcome::done();
        static_cast<PaymentResult&>(o) = Payments::RecordPayment(conn_, nullptr, who_, entry);
        return o;
    });
}

PaymentOutcome OrdersSession::togglePaid(const PaymentRow& shown, const QString& now) {
    const auto toggle = [this, shown, now](bool confirmed) {
        return guarded<PaymentResult>([&] {
            PaymentOutcome o = PaymentOutcome::done();
            static_cast<PaymentResult&>(o) = Payments::TogglePaid(conn_, nullptr, who_, shown, confirmed, now);
            return o;
        });
    };
    const bool paid = vl::db::readOnly(conn_, [&](Transaction& tx) { return Payments::IsPaid(tx, shown.tevallapot); });
    if (!paid) return toggle(false);
    return PaymentOutcome::asking(Payments::UnpayQuestion(),
                                  [toggle](bool yes) { return yes ? toggle(true) : declined<PaymentResult>(); });
}

PaymentOutcome OrdersSession::deletePayment(const PaymentRow& shown) {
    const auto remove = [this, shown] {
        return guarded<PaymentResult>([&] {
            PaymentOutcome o = PaymentOutcome::done();
            static_cast<PaymentResult&>(o) = Payments::DeletePayment(conn_, nullptr, who_, shown);
            return o;
        });
    };
    const bool paid = vl::db::readOnly(conn_, [&](Transaction& tx) { return Payments::IsPaid(tx, shown.tevallapot); });
    return PaymentOutcome::asking(Payments::DeleteQuestion(shown), [remove, paid](bool yes) {
        if (!yes) return declined<PaymentResult>();
        if (!paid) return remove();
        return PaymentOutcome::asking(Payments::PaidDeleteQuestion(),
                                      [remove](bool sure) { return sure ? remove() : declined<PaymentResult>(); });
    });
}

} // namespace vl::rental
