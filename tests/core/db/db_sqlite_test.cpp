#include "core/db/db_sqlite.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <filesystem>

#include "core/base/errors.h"
#include "core/db/settings.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_vault.h"

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

TEST_F(db_sqlite_test, never_opened_database_reports_lost_connection) {
    db_sqlite closed;
    const auto expect_lost = [](auto&& call) {
        try {
            call();
            FAIL() << "no exception";
        } catch (const db_exception& e) {
            EXPECT_STREQ(e.what(), "Database connection lost");
            EXPECT_EQ(e.code(), 4);
        }
    };
    expect_lost([&] { closed.query("SELECT 1"); });
    expect_lost([&] { closed.execute("SELECT 1"); });
    expect_lost([&] { closed.prepare("SELECT 1"); });
    expect_lost([&] { closed.bind_int(1, 1); });
}

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

TEST_F(db_sqlite_test, values_are_bound_not_pasted) {
    const std::string awkward = "O'Brien's \"file\" -- ; DROP TABLE t; é€";
    database.execute("INSERT INTO t(name, n) VALUES(?, ?)", {awkward, INT64_C(5000000000)});
    auto rows = database.query("SELECT name, n FROM t WHERE name = ?", {awkward});
    ASSERT_TRUE(rows->next());
    EXPECT_EQ(rows->get_string("name"), awkward);
    EXPECT_EQ(rows->get_int64("n"), INT64_C(5000000000));
    EXPECT_FALSE(rows->next());
}

TEST_F(db_sqlite_test, last_insert_id_is_the_row_just_inserted) {
    database.execute("INSERT INTO t(name) VALUES('a')");
    database.execute("INSERT INTO t(name) VALUES('b')");
    const std::int64_t id = database.last_insert_id();
    auto rows = database.query("SELECT name FROM t WHERE id = ?", {id});
    ASSERT_TRUE(rows->next());
    EXPECT_EQ(rows->get_string(0), "b");
}

TEST_F(db_sqlite_test, query_without_rows_gives_false_at_first_next) {
    auto rows = database.query("SELECT * FROM t");
    EXPECT_FALSE(rows->next());
}

TEST_F(db_sqlite_test, prev_always_raises) {
    database.execute("INSERT INTO t(name) VALUES('a')");
    auto rows = database.query("SELECT * FROM t");
    ASSERT_TRUE(rows->next());
    try {
        rows->prev();
        FAIL() << "no exception";
    } catch (const db_exception& e) {
        EXPECT_STREQ(e.what(), "db_sqlite_recordset::prev() : Not implemented yet");
    }
}

TEST_F(db_sqlite_test, column_lookup_by_name_is_exact_and_first_wins) {
    test::test_vault vault;
    auto rows = vault.database().query("SELECT value FROM settings WHERE key = 'path_separator'");
    ASSERT_TRUE(rows->next());
    EXPECT_EQ(rows->get_string("value"), rows->get_string(0));
    try {
        rows->get_string("Value");
        FAIL() << "no exception";
    } catch (const db_exception& e) {
        EXPECT_STREQ(e.what(), "Column name 'Value' not found");
    }

    auto twice = database.query("SELECT 1 AS x, 2 AS x");
    ASSERT_TRUE(twice->next());
    EXPECT_EQ(twice->get_int("x"), 1);
}

TEST_F(db_sqlite_test, nested_queries_with_the_same_text_do_not_disturb_each_other) {
    for (int i = 1; i <= 3; ++i) database.execute("INSERT INTO t(n) VALUES(?)", {i});
    const std::string sql = "SELECT n FROM t ORDER BY n";
    auto outer = database.query(sql);
    int sum = 0;
    while (outer->next()) {
        auto inner = database.query(sql);
        while (inner->next()) sum += outer->get_int(0) * inner->get_int(0);
    }
    EXPECT_EQ(sum, 36);  // (1 + 2 + 3)^2
}

TEST_F(db_sqlite_test, many_statement_texts_never_disturb_a_live_result_set) {
    for (int i = 1; i <= 3; ++i) database.execute("INSERT INTO t(n) VALUES(?)", {i});
    auto live = database.query("SELECT n FROM t ORDER BY n");
    ASSERT_TRUE(live->next());
    // Far more texts than the cache keeps, so idle statements get dropped.
    for (std::size_t i = 0; i < 2 * db_sqlite::max_cached_statements; ++i) {
        auto rows = database.query("SELECT " + std::to_string(i) + " AS k");
        ASSERT_TRUE(rows->next());
        EXPECT_EQ(rows->get_int64("k"), static_cast<std::int64_t>(i));
    }
    EXPECT_EQ(live->get_int(0), 1);
    ASSERT_TRUE(live->next());
    EXPECT_EQ(live->get_int(0), 2);
}

TEST_F(db_sqlite_test, execute_converts_errors_and_query_passes_them_on) {
    try {
        database.execute("INSERT INTO nowhere VALUES(1)");
        FAIL() << "no exception";
    } catch (const db_exception& e) {
        EXPECT_STREQ(e.what(), "no such table: nowhere");
    }
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
    EXPECT_THROW(rows->next(), sqlite3x::database_error);
    EXPECT_NO_THROW(rows.reset());
    EXPECT_EQ(count_rows(), 0);  // the connection is still usable
}

TEST_F(db_sqlite_test, non_transactional_execute_joins_the_callers_transaction) {
    database.set_transactional(false);
    database.execute("BEGIN");
    database.execute("INSERT INTO t(name) VALUES('x')");
    database.execute("ROLLBACK");
    database.set_transactional(true);
    EXPECT_EQ(count_rows(), 0);
}

TEST_F(db_sqlite_test, prepared_statement_takes_bound_values) {
    const char bytes[] = {'\0', '\xff', 'z'};
    database.execute("CREATE TABLE b(data BLOB, name TEXT, n INTEGER)");
    database.prepare("INSERT INTO b VALUES(?, ?, ?)");
    database.bind_blob(1, bytes, sizeof bytes);
    database.bind_text(2, "it's");
    database.bind_int(3, -7);
    EXPECT_FALSE(database.execute_prepared()->next());

    database.prepare("SELECT length(data) AS len, name, n FROM b WHERE name = ?");
    database.bind_text(1, "it's");
    auto rows = database.execute_prepared();
    ASSERT_TRUE(rows->next());
    EXPECT_EQ(rows->get_int("len"), 3);
    EXPECT_EQ(rows->get_int("n"), -7);
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

TEST_F(busy_retry_test, a_lock_held_for_the_whole_timeout_raises_the_wrappers_text) {
    database.set_busy_timeout(300);  // SQLite's own waits, in place of the counting handler
    const auto start = std::chrono::steady_clock::now();
    try {
        database.execute("INSERT INTO t(name) VALUES('never')");
        FAIL() << "no exception";
    } catch (const db_busy_exception& e) {
        EXPECT_STREQ(e.what(), "database is busy");
        EXPECT_EQ(e.code(), -1);
    }
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(300));
    blocker.execute("COMMIT");
    EXPECT_EQ(count_rows(), 0);
}

}  // namespace
}  // namespace tuv
