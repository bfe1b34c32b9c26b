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

namespace tuv {

class db;

class write_transaction {
  public:
    // Throws db_exception when the transaction cannot begin.
    explicit write_transaction(db& database);
    ~write_transaction();
    write_transaction(const write_transaction&) = delete;
    write_transaction& operator=(const write_transaction&) = delete;

    // Throws db_exception when the commit fails; the transaction is then
    // rolled back.
    void commit();

  private:
    db& database_;
    bool owns_ = false;
};

}  // namespace tuv
