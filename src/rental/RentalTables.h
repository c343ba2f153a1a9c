#pragma once
// The four tables a contract's rows live in: the rental tables themselves, or
// the private work copies of one contract-entry session. Every rule that works
// on a contract's lines, items, activities or payments names its tables only
// through a set, so the same rule runs on the stored contract (orders
// workspace, activity log) and on a session's copies (contract entry).
//
// A name is either the real table or a valid work-table identifier ("TMP_" +
// A-Z 0-9 _, at most 31 characters); a statement splices the quoted form
// (sqlLines() ...), never a typed text.
#include <QString>

namespace vl::rental {

struct RentalTables {
    QString lines = QStringLiteral("FORGSOR");
    QString items = QStringLiteral("FORGKABIN");
    QString activities = QStringLiteral("FORGTEV");
    QString payments = QStringLiteral("FORGFIZ");

    static RentalTables stored() { return RentalTables(); }
    // Work copies; each name must be "TMP_" + A-Z 0-9 _ (at most 31 characters)
    // or the real table. Throws vl::RuleRefusal otherwise.
    static RentalTables workCopies(const QString& lines, const QString& items,
                                   const QString& activities, const QString& payments);
    // Re-checks every name (throws vl::RuleRefusal for a bad one).
    void check() const;
    // True when the set names the rental tables themselves.
    bool isStored() const;

    // The checked names, quoted for a statement ("FORGTEV", "TMP_TEVX_...").
    // Throw vl::RuleRefusal for a bad name.
    QString sqlLines() const;
    QString sqlItems() const;
    QString sqlActivities() const;
    QString sqlPayments() const;
};

} // namespace vl::rental
