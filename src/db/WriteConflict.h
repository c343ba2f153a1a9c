#pragma once
// The one place a write that met another connection's write of the same rows
// (a DbError of the kind WriteConflict) becomes the rule's refusal: nothing of
// the write landed (its transaction goes back with the refusal), and the user
// is told in the rule's own words to try again.
//
//   const auto s = vl::db::refusingWriteConflict(ContractChangedElsewhereText(), kRule,
//                                                [&] { return Exchange(*tx, ...); });
//
// Every other DbError passes through unchanged.
#include "db/Database.h"
#include "util/Error.h"

#include <utility>

namespace vl::db {

template <class F>
auto refusingWriteConflict(const QString& text, const QString& rule, F&& write) -> decltype(write()) {
    try {
        return std::forward<F>(write)();
    } catch (const DbError& e) {
        if (!e.isWriteConflict()) throw;
        throw vl::RuleRefusal(text, rule);
    }
}

} // namespace vl::db
