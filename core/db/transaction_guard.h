// The one guard behind read_snapshot and write_transaction (whose headers
// state what callers get): begins a transaction of the given kind unless the
// caller already holds one, and always leaves per-statement transactions on
// again, committed or rolled back.
#pragma once

namespace tuv {

class db;

enum class transaction_kind {
    // Deferred BEGIN: no lock yet; the first SELECT fixes what later ones see.
    read_snapshot,
    // BEGIN IMMEDIATE: takes the write lock now.
    write,
};

class transaction_guard {
  public:
    // `database` is borrowed and must outlive the guard. Throws db_exception
    // when the transaction cannot begin.
    transaction_guard(db& database, transaction_kind kind);
    ~transaction_guard();
    transaction_guard(const transaction_guard&) = delete;
    transaction_guard& operator=(const transaction_guard&) = delete;

  protected:
    // Commits a transaction this guard began; see write_transaction.
    void commit();

  private:
    db& database_;
    bool owns_ = false;
};

}  // namespace tuv
