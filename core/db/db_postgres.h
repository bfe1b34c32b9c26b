// The PostgreSQL implementation of the database layer, over libpq.
//
// The core's statements are written for SQLite; each new text is translated
// once (sql_dialect.h), prepared on the server and kept under a name of its
// own. A query fetches its rows whole, so a result set never holds a
// statement and nested queries of one text need nothing more. execute()
// retries a statement that lost to another connection (a lock it waited for
// past the lock timeout, a serialisation failure, a deadlock) until the busy
// timeout has passed, telling the busy observer between attempts; inside a
// caller's transaction the attempt is fenced by a savepoint, so a failed one
// leaves the transaction usable.
//
// The address is a libpq connection URI or "service=NAME"; passwords come
// only from where libpq looks for them (~/.pgpass, PGPASSFILE, the service
// file) or the address itself, and are never shown.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/base/errors.h"
#include "core/db/db.h"

struct pg_conn;
struct pg_result;

namespace tuv {

class db_postgres : public db {
  public:
    static constexpr int default_busy_timeout_ms = 25000;
    // The server's lock timeout: one slice of execute()'s wait.
    static constexpr int busy_slice_ms = 100;
    // Statements built from varying pieces (search) must not grow the
    // server's list without bound; past this many, all are dropped.
    static constexpr std::size_t max_cached_statements = 256;

    db_postgres() = default;
    ~db_postgres() override;
    db_postgres(const db_postgres&) = delete;
    db_postgres& operator=(const db_postgres&) = delete;

    // Throws db_exception, the address shown without its password:
    //   Invalid database address "<address>": <libpq's reason>
    //   Cannot reach the database server of <address>: <libpq's reason>
    //   The database server of <address> asks for a password and none was
    //     found in ~/.pgpass, PGPASSFILE or the service file
    //   The database server of <address> refused the user name or password
    //   Cannot open the database <address>: <the server's reason>
    // There is no file to create: create opens an existing database as
    // existing does; read_only makes every transaction read-only.
    void open(const std::string& path, db_open_mode mode = db_open_mode::existing) override;
    void close() override;
    std::unique_ptr<db> clone() override;
    // The address, without a password written into it.
    std::string name() override;

    using db::query;
    // Errors reach the caller as db_exception with the server's text.
    std::unique_ptr<db_recordset> query(const std::string& sql, db_params params) override;

    void set_transactional(bool transactional) override { transactional_ = transactional; }
    bool transactional() const override { return transactional_; }

    using db::execute;
    // Raises db_busy_exception "database is busy: <server's text>" once the
    // busy timeout has passed, db_exception with the server's text for any
    // other error.
    void execute(const std::string& sql, db_params params) override;

    void prepare(const std::string& sql) override;
    void bind_blob(int position, const void* bytes, std::size_t length) override;
    void bind_text(int position, std::string_view text) override;
    void bind_int(int position, std::int64_t value) override;
    std::unique_ptr<db_recordset> execute_prepared() override;

    void set_busy_observer(busy_observer* observer) override { busy_observer_ = observer; }

    bool many_writers() const override { return true; }
    void resume_keys(const std::string& table) override;
    std::int64_t last_insert_id() override;
    std::optional<std::pair<std::int64_t, std::int64_t>> change_stamp() override;

    void set_busy_timeout(int milliseconds) { busy_timeout_ms_ = milliseconds; }

    // One value as it is sent: text, or the bytes of a blob.
    struct bound_value {
        std::string bytes;
        bool is_null = true;
        bool binary = false;
    };

  private:
    void require_open() const;
    struct prepared_statement {
        std::string name;          // on the server
        bool returns_key = false;  // an insert that hands back its new key
        bool binary_rows = false;  // a query of blob columns only, answered in binary
    };
    // The statement prepared for `sql`, preparing it the first time.
    const prepared_statement& statement(const std::string& sql);
    // The identity column of `table` in the current schema, if it has one.
    const std::string* identity_key(const std::string& table);
    std::unique_ptr<db_recordset> run(const std::string& sql,
                                      const std::vector<bound_value>& values,
                                      busy_observer* observer);
    // The error of a failed statement: the server's words, or, when the
    // connection is gone, a message that says so.
    db_exception failure(const pg_result* result) const;
    void run_plain(const std::string& sql);
    // Prepares the savepoint and its release that fence a statement inside
    // a transaction.
    void prepare_fences();
    bound_value& prepared_value(int position);

    pg_conn* connection_ = nullptr;
    std::string address_;
    db_open_mode mode_ = db_open_mode::existing;
    std::unordered_map<std::string, prepared_statement> statements_;  // by SQLite text
    std::optional<std::unordered_map<std::string, std::string>> identity_keys_;
    std::optional<std::int64_t> last_key_;
    std::size_t named_ = 0;
    std::string prepared_sql_;
    std::vector<bound_value> prepared_values_;
    bool has_prepared_ = false;
    bool transactional_ = true;
    int busy_timeout_ms_ = default_busy_timeout_ms;
    std::int64_t executed_ = 0;
    busy_observer* busy_observer_ = nullptr;
};

}  // namespace tuv
