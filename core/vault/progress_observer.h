// Receives the progress of a long operation (a check-in), as a percentage,
// and hears while it waits for another program that holds the vault's
// database: the check-in hands the observer it was given to the database
// while it writes and commits, so throwing from any of these stops the
// check-in, which then rolls back as on any failure.
#pragma once

#include "core/db/busy_observer.h"

namespace tuv {

class progress_observer : public busy_observer {
  public:
    // `percent` runs from 0 to 100.
    virtual void update(int percent) = 0;

    // An observer that shows no wait need not override these.
    void still_busy() override {}
    void no_longer_busy() override {}
};

}  // namespace tuv
