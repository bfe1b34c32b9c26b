// Told while a statement waits for a lock that another connection holds
// (another program writing the vault), so that the one who waits can say so
// and stop waiting.
//
// db::execute() waits in short slices and calls still_busy() after each;
// see db_sqlite.h for how long it waits in all.
#pragma once

namespace tuv {

class busy_observer {
  public:
    virtual ~busy_observer() = default;

    // The statement has waited one more slice and will wait again. Throwing
    // ends the wait: the statement has changed nothing, and the exception
    // reaches the caller of execute() as it was thrown.
    virtual void still_busy() = 0;

    // The statement that had to wait got its lock and went on.
    virtual void no_longer_busy() = 0;
};

}  // namespace tuv
