#pragma once
// What the customers library asks about contracts without knowing them.
//
// The contract tables belong to a higher library (rental), which registers
// here how to count the contracts that name a customer or a site, and how the
// site list is limited to the sites that have an active contract in a given
// status. The customer service refuses every delete while nothing is
// registered: without the check it could not keep a named customer.
#include "db/Database.h"

#include <QList>
#include <QString>
#include <functional>

namespace vl::customers {

struct ContractLinks {
    QString name;   // who registered it ("rental"); a later one of the same name replaces it
    // The number of contracts (of any status, cancelled ones included) that
    // name the customer / the site, counted in the caller's transaction.
    std::function<qint64(vl::db::Transaction&, const QString& customerKey)> customerUses;
    std::function<qint64(vl::db::Transaction&, const QString& siteKey)> siteUses;
    // A condition on the site list (alias C, with the parameter :status bound
    // to a SZ_STATUSR code) that keeps the sites having an active contract in
    // that status. Empty: the status filter keeps every site.
    QString siteStatusCondition;
};

void registerContractLinks(const ContractLinks& links);
void unregisterContractLinks(const QString& name);
const QList<ContractLinks>& contractLinks();

} // namespace vl::customers
