// Another program writing a database: a connection of its own inside a
// write transaction, holding the database until release() or destruction.
#pragma once

#include <sqlite3.h>

#include <stdexcept>
#include <string>

namespace tuv::test {

class held_database {
  public:
    explicit held_database(const std::string& db_path) {
        if (sqlite3_open(db_path.c_str(), &handle_) != SQLITE_OK ||
            sqlite3_exec(handle_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK) {
            throw std::runtime_error("cannot hold " + db_path + ": " + sqlite3_errmsg(handle_));
        }
    }
    ~held_database() { sqlite3_close(handle_); }  // rolls back what is still open
    held_database(const held_database&) = delete;
    held_database& operator=(const held_database&) = delete;

    // Ends the transaction, changing nothing; more calls do nothing.
    void release() { sqlite3_exec(handle_, "ROLLBACK", nullptr, nullptr, nullptr); }

  private:
    sqlite3* handle_ = nullptr;
};

}  // namespace tuv::test
