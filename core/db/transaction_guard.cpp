#include "core/db/transaction_guard.h"

#include "core/db/db.h"

namespace tuv {

transaction_guard::transaction_guard(db& database, transaction_kind kind) : database_(database) {
    if (!database_.transactional()) return;
    database_.set_transactional(false);
    try {
        // IMMEDIATE takes the write lock now: a transaction that read first
        // and wrote later could find its snapshot stale and never get it.
        database_.execute(kind == transaction_kind::write ? "BEGIN IMMEDIATE" : "BEGIN");
    } catch (...) {
        database_.set_transactional(true);
        throw;
    }
    owns_ = true;
}

transaction_guard::~transaction_guard() {
    if (!owns_) return;
    try {
        database_.execute("ROLLBACK");
    } catch (...) {
        // Nothing more to undo: a read changed nothing, and SQLite ends a
        // failed transaction itself.
    }
    database_.set_transactional(true);
}

void transaction_guard::commit() {
    if (!owns_) return;
    database_.execute("COMMIT");
    owns_ = false;
    database_.set_transactional(true);
}

}  // namespace tuv
