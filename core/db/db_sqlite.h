// The SQLite implementation of the database layer.
//
// One db_sqlite per process, owned by the repository. Statements are prepared
// once per text and kept in a cache; a statement still read by a live result
// set is not handed out twice (a second one is prepared for that caller).
// execute() waits up to the busy timeout for a lock another connection
// holds, in slices of SQLite's own busy wait, telling the busy observer
// between them (so that a wait can be stopped within a slice). Connections
// run with synchronous=FULL, so a committed transaction survives a power loss.
#pragma once

#include <memory>
#include <string>
#include <unordered_map>

#include "core/db/db.h"
#include "core/db/sqlite3x.h"

namespace tuv {

class db_sqlite : public db {
  public:
    // How long execute() waits in all for a lock another connection holds.
    static constexpr int default_busy_timeout_ms = 25000;
    // SQLite's own wait for a lock: one slice of execute()'s wait, and all
    // that a query waits (in WAL mode a writer never holds readers up).
    static constexpr int busy_slice_ms = 100;
    // Statements built from varying pieces (search) must not grow the cache
    // without bound; past this many texts, the idle ones are dropped.
    static constexpr std::size_t max_cached_statements = 256;

    db_sqlite() = default;
    ~db_sqlite() override;
    db_sqlite(const db_sqlite&) = delete;
    db_sqlite& operator=(const db_sqlite&) = delete;

    // Throws db_exception with the wrapper's text when the file cannot be opened.
    // read_only reads the file at once (see sqlite3x::sqlite3_connection::open).
    void open(const std::string& path, db_open_mode mode = db_open_mode::existing) override;
    void close() override;
    std::unique_ptr<db> clone() override;
    std::string name() override;

    using db::query;
    // Throws db_exception "Database connection lost" when not open; errors of
    // the statement itself reach the caller as sqlite3x errors.
    std::unique_ptr<db_recordset> query(const std::string& sql, db_params params) override;

    void set_transactional(bool transactional) override { transactional_ = transactional; }
    bool transactional() const override { return transactional_; }

    using db::execute;
    // Retries a busy database (the statement, and the commit of its own
    // transaction) until the busy timeout has passed, then raises
    // db_busy_exception with the wrapper's text; any other error is raised as
    // db_exception with the wrapper's text. What the busy observer throws
    // goes through as it is.
    void execute(const std::string& sql, db_params params) override;

    void prepare(const std::string& sql) override;
    void bind_blob(int position, const void* bytes, std::size_t length) override;
    void bind_text(int position, std::string_view text) override;
    void bind_int(int position, std::int64_t value) override;
    std::unique_ptr<db_recordset> execute_prepared() override;

    void set_busy_observer(busy_observer* observer) override { busy_observer_ = observer; }

    bool many_writers() const override { return false; }
    void resume_keys(const std::string&) override {}
    std::int64_t last_insert_id() override;
    std::optional<std::pair<std::int64_t, std::int64_t>> change_stamp() override;

    // How long execute() waits in all; SQLite's own wait is this, or a
    // slice when that is shorter.
    void set_busy_timeout(int milliseconds);
    // The wrapper connection, for the installer and for tests.
    sqlite3x::sqlite3_connection& connection() { return connection_; }

    class statement_lease;

  private:
    struct cached_statement {
        std::unique_ptr<sqlite3x::sqlite3_command> command;
        bool in_use = false;
    };

    void require_open() const;
    statement_lease acquire(const std::string& sql);
    void evict_idle_statements();

    sqlite3x::sqlite3_connection connection_;
    std::unordered_map<std::string, cached_statement> statements_;
    std::unique_ptr<statement_lease> prepared_;  // the statement of prepare()
    bool is_open_ = false;
    bool read_only_ = false;
    bool transactional_ = true;
    int busy_timeout_ms_ = default_busy_timeout_ms;
    busy_observer* busy_observer_ = nullptr;
};

// A statement taken from the cache (or prepared for one use when the cached
// one is busy); it goes back, reset, when the lease ends.
class db_sqlite::statement_lease {
  public:
    statement_lease(sqlite3x::sqlite3_command* command, bool* in_use,
                    std::unique_ptr<sqlite3x::sqlite3_command> own);
    statement_lease(statement_lease&& other) noexcept;
    statement_lease& operator=(statement_lease&&) = delete;
    ~statement_lease();

    sqlite3x::sqlite3_command& command() { return *command_; }
    void bind_all(db_params params);

  private:
    sqlite3x::sqlite3_command* command_;
    bool* in_use_;
    std::unique_ptr<sqlite3x::sqlite3_command> own_;
};

}  // namespace tuv
