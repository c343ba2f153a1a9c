#include "rental/LookupSession.h"

#include "db/TxScope.h"
#include "rental/Dictionaries.h"
#include "rental/ProductRegister.h"
#include "util/Dates.h"
#include "util/Texts.h"

namespace vl::rental {

using vl::db::RowSet;
using vl::db::TxScope;

namespace {

// The message of the date check (DateValid) for a text that is no date: the
// trimmed text, in the dotted form when it had the length of a date or period.
QString badDateText(const QString& typed) {
    const QString t = vl::util::TrimText(typed);
    QString n;
    switch (t.size()) {
    case 6: n = t.left(4) + u'.' + t.mid(4, 2) + QStringLiteral(".01"); break;
    case 7: n = t + QStringLiteral(".01"); break;
    case 8: n = vl::util::DigitsToDateStr(t); break;
    case 10: n = t; break;
    default: break;
    }
    return QStringLiteral("Hibás dátum.\n") + (n.isEmpty() ? t : n);
}

} // namespace

QVariantMap ContractToOpen::params() const {
    return {{QStringLiteral("Mode"), mode}, {QStringLiteral("Contract"), contract}, {QStringLiteral("Version"), version}};
}

LookupSession::LookupSession(vl::db::Connection& conn, const vl::shell::Session& who) : conn_(conn), who_(who) {}

RowSet LookupSession::drivers() { return ReadDictionary(conn_, Dictionary::AllDrivers); }
RowSet LookupSession::productGroups() { return ReadDictionary(conn_, Dictionary::ProductGroups); }
RowSet LookupSession::rentalModes() { return ReadDictionary(conn_, Dictionary::RentalModes); }
RowSet LookupSession::contractStatuses() { return ReadDictionary(conn_, Dictionary::ContractStatuses); }

QStringList LookupSession::codesOf(const RowSet& rows) const {
    QStringList codes;
    const int c = rows.indexOf(QStringLiteral("KOD"));
    for (int r = 0; c >= 0 && r < rows.rowCount(); ++r) codes << rows.at(r, c).toString().trimmed();
    return codes;
}

QStringList LookupSession::allRentalModes() { return codesOf(rentalModes()); }
QStringList LookupSession::allStatuses() { return codesOf(contractStatuses()); }

QString LookupSession::legend() {
    TxScope tx(conn_, nullptr, vl::db::TxMode::ReadOnly);
    const QString text = ContractSearch::Legend(*tx);
    tx.commit();
    return text;
}

const QStringList& LookupSession::orderNames() { return ContractSearch::OrderNames(); }

LookupOutcome LookupSession::search(const ContractFilter& f) {
    // A period bound that is no date: said as the date check says it, the list kept.
    if (f.usePeriod) {
        const QList<QPair<QString, QString>> bounds = {{f.from, QStringLiteral("e_tol")}, {f.to, QStringLiteral("e_ig")}};
        for (const auto& [text, control] : bounds) {
            if (text.trimmed().isEmpty() || vl::util::DateValid(text, false)) continue;
            LookupOutcome o = LookupOutcome::refusal(badDateText(text), control);
            o.warning = false;
            o.replacesList = false;
            return o;
        }
    }
    if (const QString why = ContractSearch::Refusal(f); !why.isEmpty()) {
        const bool number = why == ContractSearch::BadNumberText(f.number.trimmed());
        return LookupOutcome::refusal(why, number ? QStringLiteral("e_bizszam") : QString());
    }
    TxScope tx(conn_, nullptr, vl::db::TxMode::ReadOnly);
    LookupOutcome o = LookupOutcome::done();
    o.rows = ContractSearch::Run(*tx, f);
    tx.commit();
    return o;
}

OpenOutcome LookupSession::view(const QVariantMap& row) const {
    OpenOutcome o = OpenOutcome::done();
    o.mode = QStringLiteral("view");
    o.contract = row.value(QStringLiteral("BIZONYLAT")).toLongLong();
    o.version = row.value(QStringLiteral("VERZIO"), 1).toInt();
    return o;
}

OpenOutcome LookupSession::modify(const QVariantMap& row) const {
    if (const QString why = ContractSearch::ModifyRefusal(row); !why.isEmpty()) return OpenOutcome::refusal(why);
    OpenOutcome o = view(row);
    o.mode = QStringLiteral("modify");
    return o;
}

HandoverArgs LookupSession::handover(const QVariantMap& row) const { return ContractSearch::Handover(row); }

vl::Outcome LookupSession::cancelOrRestore(qint64 bizonylat, qint64 verzio, qint64 loadedRv) {
    return ContractSearch::cancelOrRestore(conn_, nullptr, who_, bizonylat, verzio, loadedRv);
}

vl::Outcome LookupSession::cancel(qint64 bizonylat, qint64 verzio, qint64 loadedRv) {
    return ContractSearch::cancel(conn_, nullptr, who_, bizonylat, verzio, loadedRv);
}

vl::Outcome LookupSession::restore(qint64 bizonylat, qint64 verzio, qint64 loadedRv) {
    return ContractSearch::restore(conn_, nullptr, who_, bizonylat, verzio, loadedRv);
}

vl::Outcome LookupSession::reopen(qint64 bizonylat, qint64 verzio, qint64 loadedRv) {
    return ContractSearch::reopen(conn_, nullptr, who_, bizonylat, verzio, loadedRv);
}

bool LookupSession::changedElsewhere(const vl::Outcome& o) {
    return o.messages.contains(ProductRegister::ContractChangedElsewhereText());
}

} // namespace vl::rental
