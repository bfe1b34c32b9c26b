// Makes a group of statements one transaction: all of them or none.
//
// When the database runs each statement in a transaction of its own (the
// default), construction switches that off and begins a transaction that
// holds the write lock; commit() commits, and destruction without commit()
// rolls back. Either way per-statement transactions are switched back on, so
// the caller never inherits an open transaction. When the caller already
// holds a transaction (per-statement transactions are off), the statements
// simply join it and this object does nothing.
#pragma once

#include "core/db/transaction_guard.h"

namespace tuv {

class write_transaction : public transaction_guard {
  public:
    // `database` is borrowed. Throws db_exception when the transaction
    // cannot begin.
    explicit write_transaction(db& database)
        : transaction_guard(database, transaction_kind::write) {}

    // Throws db_exception when the commit fails; the transaction is then
    // rolled back.
    using transaction_guard::commit;
};

}  // namespace tuv
