// Makes a series of queries read one snapshot of the vault, so that a
// check-in committing meanwhile is either wholly seen or not at all.
//
// When the database runs each statement in a transaction of its own (the
// default), construction switches that off and begins a deferred transaction:
// BEGIN takes no lock, the first SELECT fixes what the later ones see.
// Destruction ends it and switches per-statement transactions back on. A
// caller that already holds a transaction is simply joined.
#pragma once

#include "core/db/transaction_guard.h"

namespace tuv {

class read_snapshot : public transaction_guard {
  public:
    // `database` is borrowed. Throws db_exception when BEGIN fails.
    explicit read_snapshot(db& database)
        : transaction_guard(database, transaction_kind::read_snapshot) {}
};

}  // namespace tuv
