// What only SQLite does; the contract both engines keep is in db_test.cpp.
#include "core/db/db_sqlite.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "core/base/errors.h"
#include "core/db/open_database.h"
#include "tests/support/checks.h"
#include "tests/support/temp_dir.h"

namespace tuv {
namespace {

class db_sqlite_test : public ::testing::Test {
  protected:
    void SetUp() override {
        database.open(path(), db_open_mode::create);
        database.query("PRAGMA journal_mode=WAL")->next();
        database.execute("CREATE TABLE t(id INTEGER PRIMARY KEY, name TEXT, n INTEGER)");
    }

    std::string path() const { return (folder / "test.db").string(); }

    int count_rows() {
        auto rows = database.query("SELECT COUNT(*) AS c FROM t");
        EXPECT_TRUE(rows->next());
        return rows->get_int("c");
    }

    test::temp_dir folder;
    db_sqlite database;
};

TEST_F(db_sqlite_test, opening_a_missing_file_fails_and_creates_nothing) {
    db_sqlite other;
    const std::string missing = (folder / "missing.db").string();
    try {
        other.open(missing);
        FAIL() << "no exception";
    } catch (const db_exception& e) {
        EXPECT_EQ(std::string(e.what()),
                  "cannot open database " + missing + ": unable to open database file");
    }
    EXPECT_FALSE(std::filesystem::exists(missing));
}

TEST_F(db_sqlite_test, query_passes_the_wrappers_errors_on) {
    try {
        database.query("SELECT * FROM nowhere");
        FAIL() << "no exception";
    } catch (const tuv_error&) {
        FAIL() << "query converted a wrapper error";
    } catch (const sqlite3x::database_error& e) {
        EXPECT_STREQ(e.what(), "no such table: nowhere");
    }
}

TEST_F(db_sqlite_test, failed_execute_leaves_no_transaction_open) {
    database.execute("CREATE TABLE u(k TEXT PRIMARY KEY)");
    database.execute("INSERT INTO u VALUES('a')");
    EXPECT_THROW(database.execute("INSERT INTO u VALUES('a')"), db_exception);
    EXPECT_EQ(sqlite3_get_autocommit(database.connection().handle()), 1);
}

TEST_F(db_sqlite_test, destroying_a_result_set_whose_statement_failed_does_not_raise) {
    auto rows = database.query("SELECT abs(-9223372036854775807 - 1)");
    EXPECT_EQ(test::failure<db_exception>([&] { rows->next(); }), "integer overflow");
    EXPECT_NO_THROW(rows.reset());
    EXPECT_EQ(count_rows(), 0);  // the connection is still usable
}

// The busy retry, against a real second connection that holds the write lock.
class busy_retry_test : public db_sqlite_test {
  protected:
    void SetUp() override {
        db_sqlite_test::SetUp();
        blocker.open(path());
        blocker.set_transactional(false);
        blocker.execute("BEGIN IMMEDIATE");
        // Each attempt asks the handler once; answering 0 makes it report busy.
        sqlite3_busy_handler(database.connection().handle(), &busy_retry_test::on_busy, this);
    }

    static int on_busy(void* self, int /*count*/) {
        auto* test = static_cast<busy_retry_test*>(self);
        ++test->busy_calls;
        if (test->busy_calls == test->release_at) {
            test->blocker.execute("COMMIT");
            return 1;  // try again: the lock is free now
        }
        return 0;
    }

    db_sqlite blocker;
    int busy_calls = 0;
    int release_at = 0;
};

TEST_F(busy_retry_test, four_busy_attempts_then_success_executes_once) {
    release_at = 5;
    EXPECT_NO_THROW(database.execute("INSERT INTO t(name) VALUES('once')"));
    EXPECT_EQ(busy_calls, 5);
    EXPECT_EQ(count_rows(), 1);
}

#ifdef QUILLMARK_HAS_POSTGRES
// Loading libpq and what it needs costs every program's start: opening a
// local vault must not load it.
TEST(open_database_test, a_local_vault_never_loads_libpq) {
    const test::temp_dir folder;
    const auto database = open_database((folder / "vault.db").string(), db_open_mode::create);
    std::ifstream maps("/proc/self/maps");
    const std::string mapped{std::istreambuf_iterator<char>(maps), {}};
    EXPECT_EQ(mapped.find("libpq.so"), std::string::npos);
}
#endif

}  // namespace
}  // namespace tuv
