// A schema of one test's own in the PostgreSQL database that
// QUILLMARK_TEST_PG names (tests/support/pg_cluster makes one), so that tests
// may run side by side; dropped with everything in it at the end.
#pragma once

#include <memory>
#include <string>

#include "core/db/db.h"

namespace tuv::test {

class test_schema {
  public:
    // Makes nothing when the variable is unset or empty, or the build has no
    // PostgreSQL: available() then says so.
    test_schema();
    ~test_schema();
    test_schema(const test_schema&) = delete;
    test_schema& operator=(const test_schema&) = delete;

    bool available() const { return admin_ != nullptr; }
    // The server's address with this schema first on the search path.
    const std::string& address() const { return address_; }

  private:
    std::unique_ptr<db> admin_;
    std::string name_;
    std::string address_;
};

}  // namespace tuv::test
