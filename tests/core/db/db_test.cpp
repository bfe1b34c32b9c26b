// The database layer's contract, on each engine: a SQLite file in a
// temporary folder, and a schema of its own on PostgreSQL (test_schema.h;
// without a server those cases are skipped).
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>

#include "core/base/errors.h"
#include "core/db/busy_observer.h"
#include "core/db/db_sqlite.h"
#include "core/db/open_database.h"
#include "core/db/read_snapshot.h"
#include "core/db/schema.h"
#include "core/db/settings.h"
#include "core/db/write_transaction.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_schema.h"
#ifdef QUILLMARK_HAS_POSTGRES
#include "core/db/db_postgres.h"
#endif

namespace tuv {
namespace {

struct engine {
    const char* name;
    const char* prev_error;
    const char* missing_table_error;
    const char* busy_error;
    const char* read_only_error;
};

// Shown in test names and failures.
void PrintTo(const engine& e, std::ostream* out) {
    *out << e.name;
}

const engine sqlite_engine{"sqlite", "db_sqlite_recordset::prev() : Not implemented yet",
                           "no such table: nowhere", "database is busy",
                           "attempt to write a readonly database"};
const engine postgres_engine{"postgres", "db_postgres_recordset::prev() : Not implemented yet",
                             "relation \"nowhere\" does not exist",
                             "database is busy: canceling statement due to lock timeout",
                             "cannot execute INSERT in a read-only transaction"};

bool is_postgres(const engine& e) {
    return std::string(e.name) == "postgres";
}

void set_busy_timeout(db& database, int milliseconds) {
    if (auto* sqlite = dynamic_cast<db_sqlite*>(&database)) sqlite->set_busy_timeout(milliseconds);
#ifdef QUILLMARK_HAS_POSTGRES
    if (auto* postgres = dynamic_cast<db_postgres*>(&database)) {
        postgres->set_busy_timeout(milliseconds);
    }
#endif
}

class db_test : public ::testing::TestWithParam<engine> {
  protected:
    void SetUp() override {
        if (is_postgres(GetParam())) {
            schema_ = std::make_unique<test::test_schema>();
            if (!schema_->available()) GTEST_SKIP() << "QUILLMARK_TEST_PG is not set";
            address_ = schema_->address();
        } else {
            address_ = (folder / "test.db").string();
        }
        database = open_database(address_, db_open_mode::create);
        if (!is_postgres(GetParam())) database->query("PRAGMA journal_mode=WAL")->next();
        database->execute("CREATE TABLE t(id INTEGER PRIMARY KEY, name TEXT, n INTEGER)");
    }

    void TearDown() override { database.reset(); }

    int count_rows() {
        auto rows = database->query("SELECT COUNT(*) AS c FROM t");
        EXPECT_TRUE(rows->next());
        return rows->get_int("c");
    }

    template <typename F>
    void expect_error(F&& call, const std::string& text) {
        try {
            call();
            FAIL() << "no exception";
        } catch (const db_exception& e) {
            EXPECT_EQ(std::string(e.what()), text);
        }
    }

    test::temp_dir folder;
    std::unique_ptr<test::test_schema> schema_;
    std::string address_;
    std::unique_ptr<db> database;
};

TEST_P(db_test, never_opened_database_reports_lost_connection) {
    std::unique_ptr<db> closed = std::make_unique<db_sqlite>();
#ifdef QUILLMARK_HAS_POSTGRES
    if (is_postgres(GetParam())) closed = std::make_unique<db_postgres>();
#endif
    for (const auto& call : std::initializer_list<std::function<void()>>{
             [&] { closed->query("SELECT 1"); }, [&] { closed->execute("SELECT 1"); },
             [&] { closed->prepare("SELECT 1"); }, [&] { closed->bind_int(1, 1); }}) {
        try {
            call();
            FAIL() << "no exception";
        } catch (const db_exception& e) {
            EXPECT_STREQ(e.what(), "Database connection lost");
            EXPECT_EQ(e.code(), 4);
        }
    }
}

TEST_P(db_test, values_are_bound_not_pasted) {
    const std::string awkward = "O'Brien's \"file\" -- ; DROP TABLE t; ? $1 é€";
    database->execute("INSERT INTO t(name, n) VALUES(?, ?)", {awkward, INT64_C(5000000000)});
    auto rows = database->query("SELECT name, n FROM t WHERE name = ?", {awkward});
    ASSERT_TRUE(rows->next());
    EXPECT_EQ(rows->get_string("name"), awkward);
    EXPECT_EQ(rows->get_int64("n"), INT64_C(5000000000));
    EXPECT_FALSE(rows->next());
}

TEST_P(db_test, last_insert_id_is_the_row_just_inserted) {
    database->execute("INSERT INTO t(name) VALUES('a')");
    database->execute("INSERT INTO t(name) VALUES('b')");
    const std::int64_t id = database->last_insert_id();
    auto rows = database->query("SELECT name FROM t WHERE id = ?", {id});
    ASSERT_TRUE(rows->next());
    EXPECT_EQ(rows->get_string(0), "b");
}

TEST_P(db_test, query_without_rows_gives_false_at_first_next) {
    EXPECT_FALSE(database->query("SELECT * FROM t")->next());
}

TEST_P(db_test, prev_always_raises) {
    database->execute("INSERT INTO t(name) VALUES('a')");
    auto rows = database->query("SELECT * FROM t");
    ASSERT_TRUE(rows->next());
    expect_error([&] { rows->prev(); }, GetParam().prev_error);
}

TEST_P(db_test, column_lookup_by_name_is_exact_and_first_wins) {
    database->execute("INSERT INTO t(name) VALUES('a')");
    auto rows = database->query("SELECT name FROM t");
    ASSERT_TRUE(rows->next());
    EXPECT_EQ(rows->get_string("name"), "a");
    expect_error([&] { rows->get_string("Name"); }, "Column name 'Name' not found");

    auto twice = database->query("SELECT 1 AS x, 2 AS x");
    ASSERT_TRUE(twice->next());
    EXPECT_EQ(twice->get_int("x"), 1);
}

TEST_P(db_test, nested_queries_with_the_same_text_do_not_disturb_each_other) {
    for (int i = 1; i <= 3; ++i) database->execute("INSERT INTO t(n) VALUES(?)", {i});
    const std::string sql = "SELECT n FROM t ORDER BY n";
    auto outer = database->query(sql);
    int sum = 0;
    while (outer->next()) {
        auto inner = database->query(sql);
        while (inner->next()) sum += outer->get_int(0) * inner->get_int(0);
    }
    EXPECT_EQ(sum, 36);  // (1 + 2 + 3)^2
}

TEST_P(db_test, many_statement_texts_never_disturb_a_live_result_set) {
    for (int i = 1; i <= 3; ++i) database->execute("INSERT INTO t(n) VALUES(?)", {i});
    auto live = database->query("SELECT n FROM t ORDER BY n");
    ASSERT_TRUE(live->next());
    // More texts than either engine keeps prepared, so some are dropped.
    for (int i = 0; i < 600; ++i) {
        auto rows = database->query("SELECT " + std::to_string(i) + " AS k");
        ASSERT_TRUE(rows->next());
        EXPECT_EQ(rows->get_int64("k"), i);
    }
    EXPECT_EQ(live->get_int(0), 1);
    ASSERT_TRUE(live->next());
    EXPECT_EQ(live->get_int(0), 2);
}

TEST_P(db_test, execute_reports_the_engines_text) {
    expect_error([&] { database->execute("INSERT INTO nowhere VALUES(1)"); },
                 GetParam().missing_table_error);
}

TEST_P(db_test, a_read_only_connection_refuses_to_write) {
    auto reader = open_database(address_, db_open_mode::read_only);
    expect_error([&] { reader->execute("INSERT INTO t(name) VALUES('no')"); },
                 GetParam().read_only_error);
    EXPECT_EQ(count_rows(), 0);
}

TEST_P(db_test, a_failed_statement_leaves_the_callers_transaction_usable) {
    database->execute("CREATE TABLE u(k TEXT PRIMARY KEY)");
    database->set_transactional(false);
    database->execute("BEGIN");
    database->execute("INSERT INTO u VALUES('a')");
    EXPECT_THROW(database->execute("INSERT INTO u VALUES('a')"), db_exception);
    database->execute("INSERT INTO u VALUES('b')");
    database->execute("COMMIT");
    database->set_transactional(true);
    auto rows = database->query("SELECT COUNT(*) FROM u");
    ASSERT_TRUE(rows->next());
    EXPECT_EQ(rows->get_int(0), 2);
}

TEST_P(db_test, non_transactional_execute_joins_the_callers_transaction) {
    database->set_transactional(false);
    database->execute("BEGIN");
    database->execute("INSERT INTO t(name) VALUES('x')");
    database->execute("ROLLBACK");
    database->set_transactional(true);
    EXPECT_EQ(count_rows(), 0);
}

TEST_P(db_test, prepared_statement_takes_bound_values) {
    const char bytes[] = {'\0', '\xff', 'z'};
    database->execute("CREATE TABLE b(data BLOB, name TEXT, n INTEGER)");
    database->prepare("INSERT INTO b VALUES(?, ?, ?)");
    database->bind_blob(1, bytes, sizeof bytes);
    database->bind_text(2, "it's");
    database->bind_int(3, -7);
    EXPECT_FALSE(database->execute_prepared()->next());

    database->prepare("SELECT length(data) AS len, name, n, data FROM b WHERE name = ?");
    database->bind_text(1, "it's");
    auto rows = database->execute_prepared();
    ASSERT_TRUE(rows->next());
    EXPECT_EQ(rows->get_int("len"), 3);
    EXPECT_EQ(rows->get_int("n"), -7);
    EXPECT_EQ(rows->get_string("data"), std::string(bytes, sizeof bytes));
    // A blob alone may come in another form; its bytes are the same.
    auto alone = database->query("SELECT data FROM b");
    ASSERT_TRUE(alone->next());
    EXPECT_EQ(alone->get_string(0), std::string(bytes, sizeof bytes));
}

TEST_P(db_test, a_read_snapshot_does_not_see_a_later_commit) {
    auto other = database->clone();
    read_snapshot snapshot(*database);
    EXPECT_EQ(count_rows(), 0);
    other->execute("INSERT INTO t(name) VALUES('later')");
    EXPECT_EQ(count_rows(), 0);
}

TEST_P(db_test, change_stamp_moves_with_another_commit_and_is_empty_while_writing) {
    const auto before = database->change_stamp();
    ASSERT_TRUE(before.has_value());
    database->clone()->execute("INSERT INTO t(name) VALUES('elsewhere')");
    EXPECT_NE(database->change_stamp(), before);

    write_transaction writing(*database);
    database->execute("INSERT INTO t(name) VALUES('here')");
    EXPECT_FALSE(database->change_stamp().has_value());
}

TEST_P(db_test, the_schema_is_made_and_its_settings_read) {
    write_transaction transaction(*database);
    create_schema(*database);
    database->execute("INSERT INTO settings(key, value) VALUES(?, ?)",
                      {setting_key::path_separator, "/"});
    transaction.commit();
    EXPECT_TRUE(read_chunk_columns(*database).stored_form);
    EXPECT_TRUE(read_chunk_columns(*database).frame_offset);
    EXPECT_EQ(settings_reader(*database).get_setting(setting_key::path_separator), "/");
}

TEST_P(db_test, a_database_without_the_schema_is_not_a_vault) {
    EXPECT_EQ(database->name(), address_);
    try {
        settings_reader reader(*database);
        FAIL() << "no exception";
    } catch (const tuv_error& e) {
        EXPECT_EQ(std::string(e.what()),
                  address_ + " is not a Quillmark vault: it has no settings table");
    }
}

// Another connection holds the row's lock; the observer may let it go.
class releasing_observer : public busy_observer {
  public:
    explicit releasing_observer(db* holder) : holder_(holder) {}
    void still_busy() override {
        ++waits;
        if (holder_ != nullptr) holder_->execute("COMMIT");
        holder_ = nullptr;
    }
    void no_longer_busy() override { ++ends; }
    int waits = 0;
    int ends = 0;

  private:
    db* holder_;
};

class db_busy_test : public db_test {
  protected:
    void SetUp() override {
        db_test::SetUp();
        if (IsSkipped()) return;
        database->execute("INSERT INTO t(name, n) VALUES('row', 0)");
        holder = database->clone();
        holder->set_transactional(false);
        holder->execute("BEGIN IMMEDIATE");
        holder->execute("UPDATE t SET n = 1");
    }
    void TearDown() override {
        holder.reset();
        db_test::TearDown();
    }

    int value() {
        auto rows = database->query("SELECT n FROM t");
        EXPECT_TRUE(rows->next());
        return rows->get_int(0);
    }

    std::unique_ptr<db> holder;
};

TEST_P(db_busy_test, a_lock_released_while_waiting_lets_the_statement_through) {
    releasing_observer observer(holder.get());
    database->set_busy_observer(&observer);
    database->execute("UPDATE t SET n = n + 10");
    EXPECT_EQ(observer.waits, 1);
    EXPECT_EQ(observer.ends, 1);
    EXPECT_EQ(value(), 11);
}

TEST_P(db_busy_test, a_lock_held_past_the_timeout_raises_busy_and_changes_nothing) {
    releasing_observer observer(nullptr);
    database->set_busy_observer(&observer);
    set_busy_timeout(*database, 300);
    try {
        database->execute("UPDATE t SET n = 2");
        FAIL() << "no exception";
    } catch (const db_busy_exception& e) {
        EXPECT_EQ(std::string(e.what()), GetParam().busy_error);
    }
    EXPECT_GE(observer.waits, 1);
    EXPECT_EQ(observer.ends, 0);
    holder->execute("ROLLBACK");
    EXPECT_EQ(value(), 0);
}

std::string engine_name(const ::testing::TestParamInfo<engine>& info) {
    return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(engines, db_test, ::testing::Values(sqlite_engine, postgres_engine),
                         engine_name);
INSTANTIATE_TEST_SUITE_P(engines, db_busy_test, ::testing::Values(sqlite_engine, postgres_engine),
                         engine_name);

}  // namespace
}  // namespace tuv
