#include "core/db/write_transaction.h"

#include "core/db/db.h"

namespace tuv {

write_transaction::write_transaction(db& database) : database_(database) {
    if (!database_.transactional()) return;
    database_.set_transactional(false);
    try {
        // IMMEDIATE takes the write lock now: a transaction that read first
        // and wrote later could find its snapshot stale and never get it.
        database_.execute("BEGIN IMMEDIATE");
    } catch (...) {
        database_.set_transactional(true);
        throw;
    }
    owns_ = true;
}

write_transaction::~write_transaction() {
    if (!owns_) return;
    try {
        database_.execute("ROLLBACK");
    } catch (...) {
        // Nothing more to undo: SQLite ends a failed transaction itself.
    }
    database_.set_transactional(true);
}

void write_transaction::commit() {
    if (!owns_) return;
    database_.execute("COMMIT");
    owns_ = false;
    database_.set_transactional(true);
}

}  // namespace tuv
