#pragma once
// Another workstation changed the same contract meanwhile, or writes it at the
// same moment: the one refusal the contract rules give for it
// (ProductRegister::ContractChangedElsewhereText()), under the rule's name.
#include "db/WriteConflict.h"
#include "rental/ProductRegister.h"
#include "util/Error.h"

#include <utility>

namespace vl::rental {

// Refuses: the contract read before has changed since.
[[noreturn]] inline void refuseContractChanged(const QString& rule) {
    throw vl::RuleRefusal(ProductRegister::ContractChangedElsewhereText(), rule);
}

// Runs a write of a contract's rows; a write that meets another
// workstation's write of the same rows becomes that refusal.
template <class F>
auto refusingContractConflict(const QString& rule, F&& write) -> decltype(write()) {
    return vl::db::refusingWriteConflict(ProductRegister::ContractChangedElsewhereText(), rule, std::forward<F>(write));
}

} // namespace vl::rental
