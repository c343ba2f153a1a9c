#pragma once
// The one way for a rule that writes to say which transaction it writes in.
//
//   void StoreThing(vl::db::Connection& conn, vl::db::Transaction* outer, ...)
//   {
//       vl::db::TxScope tx(conn, outer);   // joins `outer`, or owns a new one
//       tx->exec(...);
//       tx->exec(...);
//       tx.commit();                       // commits only what it owns
//   }
//
// A scope that owns its transaction rolls it back when it is left without
// commit() (an exception, an early return), so the rule lands whole or not at
// all. A scope that joined a caller's transaction never commits nor rolls back:
// the caller decides for the whole, so several rules make one all-or-nothing
// store.
#include "db/Database.h"
#include <memory>
#include <utility>

namespace vl::db {

class TxScope {
public:
    TxScope(Connection& conn, Transaction* outer, TxMode mode = TxMode::ReadWrite)
        : tx_(outer)
    {
        if (!tx_) {
            owned_ = conn.begin(mode);
            tx_ = owned_.get();
        }
    }
    TxScope(const TxScope&) = delete;
    TxScope& operator=(const TxScope&) = delete;
    ~TxScope()
    {
        if (owned_ && owned_->isActive()) {
            try { owned_->rollback(); } catch (...) {}
        }
    }

    Transaction& tx() { return *tx_; }
    Transaction* operator->() { return tx_; }
    Transaction& operator*() { return *tx_; }
    bool owns() const { return owned_ != nullptr; }

    // Commits an owned transaction; a joined one is left to its owner.
    void commit()
    {
        if (owned_ && owned_->isActive()) owned_->commit();
    }

private:
    std::unique_ptr<Transaction> owned_;
    Transaction* tx_ = nullptr;
};

// Runs `read` in a read-only transaction of its own, committed after it, and
// returns what `read` returns (a throw rolls the transaction back).
template <class F>
auto readOnly(Connection& conn, F&& read) -> decltype(read(std::declval<Transaction&>())) {
    auto tx = conn.begin(TxMode::ReadOnly);
    auto result = read(*tx);
    tx->commit();
    return result;
}

} // namespace vl::db
