// One workstation of the concurrency suite: a process of its own over the
// same libraries as the program, on the database that VL_MULTI_DB names (a
// server's "host/port:/path"), with VL_MULTI_USER and VL_MULTI_PASSWORD.
//
//   multi_driver hammer P N          N operations in a bounded loop, in turn:
//                                    a new customer with a site, a change of the
//                                    shared customer, a new contract on the cabin
//                                    the other workstation also reaches for, a
//                                    change of a shared contract (its counter in
//                                    KOMMENT + 1), a paid period of the shared cash
//                                    contract, a new activity on a shared contract
//   multi_driver store-contract B    one change of contract B (counter + 1)
//   multi_driver new-activity B      one new activity on the first item of contract B
//   multi_driver new-contract C MARK  one new contract on cabin C (SZERZODES = MARK)
//   multi_driver customer-edit customer|site PHONE
//                                    a desk's change of the shared customer or its site:
//                                    read (the read ends), stopping point
//                                    "customer-edit:read", then the telephone stored
//
// Every operation prints one line "OP <kind> ok|refused|error <first line of the message>";
// hammer ends with "MULTI P ops=.. ok=.. refused=.. errors=..". A refusal is the
// message a user reads; an error is anything else (a raw server text, an
// unexpected exception), which the suite counts as a fault.
#include "customers/CustomerService.h"
#include "db/Database.h"
#include "db/TestHook.h"
#include "operations/Actions.h"
#include "rental/ContractSave.h"
#include "rental/ContractSession.h"
#include "rental/ContractStore.h"
#include "shell/Session.h"
#include "util/Error.h"
#include "util/MessageSink.h"

#include <QCoreApplication>
#include <QDate>
#include <QTextStream>
#include <cstdio>

using namespace vl;

namespace {

QTextStream& out() {
    static QTextStream s(stdout);
    return s;
}

// Questions answered "Igen", messages kept for the operation's line.
class DriverSink : public vl::MessageSink {
public:
    QStringList texts;
    void notify(vl::MsgKind, const QString& text) override { texts << text; }
    int ask(const QString&, vl::MsgKind, const QStringList& buttons) override {
        const int i = vl::proceedButton(buttons);
        return i < 0 ? 0 : i;
    }
};
DriverSink g_sink;

vl::shell::Session session(const QString& user) {
    vl::shell::Session s;
    s.userCode = user;
    s.userName = user;
    s.rights = QStringLiteral("W");
    s.businessYear = 2026;
    return s;
}

std::unique_ptr<db::Connection> connectFromEnv() {
    db::ConnectParams p;
    p.database = qEnvironmentVariable("VL_MULTI_DB");
    p.user = qEnvironmentVariable("VL_MULTI_USER");
    p.password = qEnvironmentVariable("VL_MULTI_PASSWORD");
    return db::connect(p);
}

struct Tally {
    int ops = 0, ok = 0, refused = 0, errors = 0;
};

QString firstLine(const QString& t) { return t.section(QLatin1Char('\n'), 0, 0).section(QLatin1Char('\r'), 0, 0).trimmed(); }
// The whole text on one line, its first line first ("|" between the lines).
QString oneLine(const QString& t) {
    QString s = t.trimmed();
    s.replace(QLatin1String("\r\n"), QLatin1String(" | "));
    s.replace(QLatin1Char('\n'), QLatin1String(" | "));
    s.replace(QLatin1Char('\r'), QLatin1String(" | "));
    return s;
}

void report(Tally& t, const QString& kind, int outcome /*0 ok 1 refused 2 error*/, const QString& text = QString()) {
    ++t.ops;
    static const char* names[] = {"ok", "refused", "error"};
    if (outcome == 0) ++t.ok;
    else if (outcome == 1) ++t.refused;
    else ++t.errors;
    out() << "OP " << kind << ' ' << names[outcome] << ' ' << oneLine(text) << '\n';
    out().flush();
}

// Runs one operation, sorting what it threw into refusals and errors: a
// vl::Error other than a database error is a rule's refusal; a database error
// is a refusal only when it is a write conflict reported in Hungarian.
template <class F>
void runOp(Tally& t, const QString& kind, F&& f) {
    g_sink.texts.clear();
    try {
        QString refusal;
        if (f(refusal)) report(t, kind, 0, refusal);
        else report(t, kind, 1, refusal);
    } catch (const db::DbError& e) {
        report(t, kind, e.isWriteConflict() ? 1 : 2, e.text());
    } catch (const vl::Error& e) {
        report(t, kind, 1, e.text());
    } catch (const std::exception& e) {
        report(t, kind, 2, QString::fromLocal8Bit(e.what()));
    }
}

qint64 sharedContract(db::Connection& c, const QString& mark) {
    const auto rs = c.query(QStringLiteral("SELECT BIZONYLAT FROM FORGFEJ WHERE SZERZODES = :m"), {{QStringLiteral("m"), mark}});
    return rs.isEmpty() ? 0 : rs.at(0, 0).toLongLong();
}

// One change of a stored contract through contract entry's store: the
// counter in the header's remark goes up by one.
bool storeContract(db::Connection& c, const shell::Session& who, qint64 b, QString& refusal) {
    rental::ContractSession s(c, who);
    s.open(rental::ContractMode::Modify, b, 1);
    rental::HeaderFields h = s.header();
    h.komment = QString::number(h.komment.trimmed().toLongLong() + 1);
    s.setHeader(h);
    // What an ok line tells: the contract, its counter as written and the record version it was loaded with.
    const QString done = QStringLiteral("%1: %2 (rv %3)").arg(b).arg(h.komment).arg(s.loadedRecordVersion());
    try {
        rental::ContractSave::StoreNow(s);
    } catch (const vl::RuleRefusal& e) {
        refusal = e.text();
        return false;
    }
    refusal = done;
    return true;
}

// A paid period of one day on the shared cash contract: workstation P pays the
// days P, P + 2, P + 4, ... from 1 November, so the two never overlap.
bool payDay(db::Connection& c, const shell::Session& who, qint64 b, int proc, int n, QString& refusal) {
    rental::ContractSession s(c, who);
    s.open(rental::ContractMode::Modify, b, 1);
    const QString day = QDate(2026, 11, 1).addDays(2 * n + proc).toString(QStringLiteral("yyyy.MM.dd"));
    rental::PaymentInput in;
    in.datum = day;
    in.datum2 = day;
    in.netto = QStringLiteral("1000");
    const rental::Outcome o = rental::ContractPayments::Add(s, in);
    if (!o.ok) {
        refusal = o.messages.join(QLatin1Char(' '));
        return false;
    }
    try {
        rental::ContractSave::StoreNow(s);
    } catch (const vl::RuleRefusal& e) {
        refusal = e.text();
        return false;
    }
    return true;
}

bool newActivity(db::Connection& c, const shell::Session& who, qint64 b, const QString& remark, QString& refusal) {
    QString customer, site;
    {
        const auto rs = c.query(QStringLiteral("SELECT UGYFELKOD, UGYFELCIM FROM FORGFEJ WHERE BIZONYLAT = :b"), {{QStringLiteral("b"), b}});
        customer = rs.at(0, 0).toString();
        site = rs.at(0, 1).toString();
    }
    QList<operations::PlacedProduct> placed;
    {
        auto tx = c.begin(db::TxMode::ReadOnly);
        placed = operations::readPlacedProducts(*tx, customer, site);
        tx->commit();
    }
    operations::NewActivity a;
    a.siteKey = site;
    for (const auto& p : placed)
        if (p.bizonylat == b) {
            a.product = p;
            break;
        }
    if (!a.product) {
        refusal = operations::NoPlacedProductText();
        return false;
    }
    a.activityCode = QStringLiteral("SZK");
    a.newDate = QStringLiteral("2026.12.15");
    a.quantity = QStringLiteral("1");
    a.price = QStringLiteral("0");
    a.remark = remark;
    const QString why = operations::NewActivityRefusal(a);
    if (!why.isEmpty()) {
        refusal = why;
        return false;
    }
    operations::ActivityActions act(c, who);
    const operations::ActionOutcome r = act.storeNewActivity(a);
    if (!r.ok)
        refusal = r.messages.isEmpty() ? g_sink.texts.join(QLatin1Char(' ')) : r.messages.join(QLatin1Char(' '));
    return r.ok;
}

// A new contract of one line and one cabin for the shared customer.
qint64 newContract(db::Connection& c, const shell::Session& who, const QString& customer, const QString& site,
                   const QString& cabin, const QString& mark) {
    auto tx = c.begin();
    rental::ContractHeader h;
    h.bermod = QStringLiteral("HT");
    h.fizmod = QStringLiteral("ATU");
    h.berkezd = QStringLiteral("2026.11.02");
    h.ugyfelkod = customer;
    h.ugyfelcim = site;
    h.szerzodes = mark;
    rental::ContractLine l;
    l.arucsoport = QStringLiteral("ALAP");
    l.mennyiseg = 1;
    l.bermegyseg = QStringLiteral("Hét");
    l.nettoar = 10000;
    l.kiszall = QStringLiteral("2026.11.02");
    l.hkszcspszv = QStringLiteral("1000000");
    l.karbar = {4500, 0, 0, 0, 0, 0, 0};
    l.products = {cabin};
    const qint64 b = rental::ContractStore::StoreNewContract(*tx, h, {l}, who.userCode);
    tx->commit();
    return b;
}

QString sharedCustomerKey(db::Connection& c) {
    return c.query(QStringLiteral("SELECT KOD FROM UGYFEL WHERE NEV = 'Közös Kft.'")).at(0, 0).toString();
}
QString sharedSiteKey(db::Connection& c, const QString& customer) {
    return c.query(QStringLiteral("SELECT KOD FROM UGYFELCIM WHERE UGYFELKOD = :u"), {{QStringLiteral("u"), customer}})
        .at(0, 0)
        .toString();
}

// What a register's desk does: reads the row (its read transaction ends, as
// when the form shows it), waits for the user, stores the typed telephone on
// the version it read.
bool editCustomer(db::Connection& c, bool site, const QString& phone, QString& refusal) {
    const QString customer = sharedCustomerKey(c);
    std::optional<customers::Customer> cu;
    std::optional<customers::Site> s;
    {
        auto tx = c.begin(db::TxMode::ReadOnly);
        cu = customers::CustomerService::loadCustomer(*tx, customer);
        s = customers::CustomerService::loadSite(*tx, sharedSiteKey(c, customer));
        tx->commit();
    }
    db::testHook("customer-edit:read");
    customers::StoreResult r;
    try {
        if (site) {
            s->telefon = phone;
            r = customers::CustomerService::storeSite(c, nullptr, *s);
        } else {
            cu->telefon = phone;
            r = customers::CustomerService::storeCustomer(c, nullptr, *cu, customers::DuplicatePolicy::Allow);
        }
    } catch (const vl::RuleRefusal& e) {
        refusal = e.text();
        return false;
    }
    refusal = r.errors.join(QLatin1Char(' '));
    return r.ok;
}

int hammer(int proc, int n) {
    auto conn = connectFromEnv();
    db::Connection& c = *conn;
    const shell::Session who = session(QStringLiteral("MULTI%1").arg(proc));
    const qint64 shared1 = sharedContract(c, QStringLiteral("MULTI-1"));
    const qint64 shared2 = sharedContract(c, QStringLiteral("MULTI-2"));
    const qint64 cash = sharedContract(c, QStringLiteral("MULTI-KP"));
    const QString sharedCustomer = sharedCustomerKey(c);
    const QString site = sharedSiteKey(c, sharedCustomer);
    Tally t;
    int cabins = 0, pays = 0;
    for (int i = 0; i < n; ++i) {
        switch (i % 6) {
        case 0:
            runOp(t, QStringLiteral("customer"), [&](QString& refusal) {
                auto tx = c.begin();
                customers::Customer cu = customers::CustomerService::newCustomer();
                cu.nev = QStringLiteral("Multi %1-%2 Kft.").arg(proc).arg(i);
                cu.fizmod = QStringLiteral("ATU");
                cu.telefon = QStringLiteral("+36 1 555 %1").arg(i);
                auto r = customers::CustomerService::storeCustomer(c, tx.get(), cu, customers::DuplicatePolicy::Allow);
                if (!r.ok) {
                    refusal = r.errors.join(QLatin1Char(' '));
                    return false;
                }
                customers::Site s;
                s.ugyfelkod = cu.kod;
                s.nev = cu.nev + QStringLiteral(" telep");
                s.irszam = QStringLiteral("1117");
                s.varos = QStringLiteral("Budapest");
                s.utca = QStringLiteral("Fő utca %1.").arg(i);
                s.szemely = QStringLiteral("Kiss Anna");
                s.telefon = QStringLiteral("+36 30 555 %1").arg(i);
                r = customers::CustomerService::storeSite(c, tx.get(), s);
                if (!r.ok) {
                    refusal = r.errors.join(QLatin1Char(' '));
                    return false;
                }
                tx->commit();
                return true;
            });
            break;
        case 1:
            runOp(t, QStringLiteral("customer-change"), [&](QString& refusal) {
                auto tx = c.begin();
                auto cu = customers::CustomerService::loadCustomer(*tx, sharedCustomer);
                if (!cu) {
                    refusal = QStringLiteral("nincs meg a közös ügyfél");
                    return false;
                }
                cu->telefon = QStringLiteral("+36 1 %1%2").arg(proc).arg(i, 6, 10, QLatin1Char('0'));
                const auto r = customers::CustomerService::storeCustomer(c, tx.get(), *cu, customers::DuplicatePolicy::Allow);
                if (!r.ok) {
                    refusal = r.errors.join(QLatin1Char(' '));
                    return false;
                }
                tx->commit();
                return true;
            });
            break;
        case 2: {
            // Both workstations reach for the same cabin in the same turn.
            const QString cabin = QString::number(5000 + cabins++);
            runOp(t, QStringLiteral("new-contract"), [&](QString&) {
                newContract(c, who, sharedCustomer, site, cabin, QStringLiteral("MULTI-NEW-%1").arg(proc));
                return true;
            });
            break;
        }
        case 3:
            runOp(t, QStringLiteral("contract-change"), [&](QString& refusal) {
                return storeContract(c, who, (i / 6) % 2 ? shared2 : shared1, refusal);
            });
            break;
        case 4:
            runOp(t, QStringLiteral("payment"), [&](QString& refusal) { return payDay(c, who, cash, proc, pays++, refusal); });
            break;
        case 5:
            runOp(t, QStringLiteral("activity"), [&](QString& refusal) {
                return newActivity(c, who, (i / 6) % 2 ? shared1 : shared2, QStringLiteral("multi %1-%2").arg(proc).arg(i),
                                   refusal);
            });
            break;
        }
    }
    conn->close();
    out() << "MULTI " << proc << " ops=" << t.ops << " ok=" << t.ok << " refused=" << t.refused << " errors=" << t.errors
          << '\n';
    out().flush();
    return t.errors == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    db::handleTerminationSignals({});
    QCoreApplication app(argc, argv);
    vl::setMessageSink(&g_sink);
    const QStringList args = app.arguments().mid(1);
    int rc = 2;
    try {
        if (args.size() == 3 && args[0] == QLatin1String("hammer")) {
            rc = hammer(args[1].toInt(), args[2].toInt());
        } else if (args.size() == 2 && args[0] == QLatin1String("store-contract")) {
            auto conn = connectFromEnv();
            Tally t;
            runOp(t, QStringLiteral("contract-change"), [&](QString& refusal) {
                return storeContract(*conn, session(QStringLiteral("MULTI")), args[1].toLongLong(), refusal);
            });
            rc = t.ok == 1 ? 0 : 1;
        } else if (args.size() == 3 && args[0] == QLatin1String("new-contract")) {
            auto conn = connectFromEnv();
            const QString customer = sharedCustomerKey(*conn);
            Tally t;
            runOp(t, QStringLiteral("new-contract"), [&](QString& done) {
                done = QString::number(newContract(*conn, session(QStringLiteral("MULTI")), customer,
                                                   sharedSiteKey(*conn, customer), args[1], args[2]));
                return true;
            });
            rc = t.ok == 1 ? 0 : 1;
        } else if (args.size() == 2 && args[0] == QLatin1String("new-activity")) {
            auto conn = connectFromEnv();
            Tally t;
            runOp(t, QStringLiteral("activity"), [&](QString& refusal) {
                return newActivity(*conn, session(QStringLiteral("MULTI")), args[1].toLongLong(),
                                   QStringLiteral("hiba után"), refusal);
            });
            rc = t.ok == 1 ? 0 : 1;
        } else if (args.size() == 3 && args[0] == QLatin1String("customer-edit")) {
            auto conn = connectFromEnv();
            Tally t;
            runOp(t, QStringLiteral("customer-edit"), [&](QString& refusal) {
                return editCustomer(*conn, args[1] == QLatin1String("site"), args[2], refusal);
            });
            rc = t.ok == 1 ? 0 : 1;
        } else {
            std::fprintf(stderr, "multi_driver hammer P N | store-contract B | new-activity B | new-contract C MARK"
                                 " | customer-edit customer|site PHONE\n");
        }
    } catch (const vl::Error& e) {
        out() << "FAILED " << firstLine(e.text()) << '\n';
        rc = 1;
    }
    out().flush();
    db::shutdownEngine();
    return rc;
}
