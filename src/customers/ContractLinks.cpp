#include "customers/ContractLinks.h"

namespace vl::customers {

namespace {
QList<ContractLinks>& registry() {
    static QList<ContractLinks> l;
    return l;
}
} // namespace

void registerContractLinks(const ContractLinks& links) {
    unregisterContractLinks(links.name);
    registry().append(links);
}

void unregisterContractLinks(const QString& name) {
    auto& l = registry();
    for (int i = l.size() - 1; i >= 0; --i)
        if (l.at(i).name == name) l.removeAt(i);
}

const QList<ContractLinks>& contractLinks() { return registry(); }

} // namespace vl::customers
