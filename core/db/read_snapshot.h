// Makes a series of queries read one snapshot of the vault, so that a
// check-in committing meanwhile is either wholly seen or not at all.
//
// When the database runs each statement in a transaction of its own (the
// default), construction switches that off and begins a deferred transaction:
// BEGIN takes no lock, the first SELECT fixes what the later ones see.
// Destruction ends it and switches per-statement transactions back on. A
// caller that already holds a transaction is simply joined.
#pragma once

#include "core/db/db.h"

namespace tuv {

class read_snapshot {
  public:
    // `database` is borrowed. Throws db_exception when BEGIN fails.
    explicit read_snapshot(db& database) : database_(database) {
        if (!database_.transactional()) return;
        database_.set_transactional(false);
        try {
            database_.execute("BEGIN");
        } catch (...) {
            database_.set_transactional(true);
            throw;
        }
        owns_ = true;
    }
    ~read_snapshot() {
        if (!owns_) return;
        try {
            database_.execute("ROLLBACK");
        } catch (...) {
            // A read transaction has nothing to undo.
        }
        database_.set_transactional(true);
    }
    read_snapshot(const read_snapshot&) = delete;
    read_snapshot& operator=(const read_snapshot&) = delete;

  private:
    db& database_;
    bool owns_ = false;
};

}  // namespace tuv
