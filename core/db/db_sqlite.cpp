#include "core/db/db_sqlite.h"

#include <algorithm>
#include <chrono>
#include <utility>
#include <vector>

#include <sqlite3.h>

#include "core/base/errors.h"
#include "core/db/busy_observer.h"

namespace tuv {
namespace {

// Runs `attempt` again while another connection holds the lock it needs,
// until `timeout` has passed since the first try; SQLite waits one slice
// inside each attempt. The observer, when there is one, hears of every slice
// but the last, and may end the wait by throwing.
template <typename F>
void retry_while_busy(busy_observer* observer, std::chrono::milliseconds timeout, F&& attempt) {
    const auto start = std::chrono::steady_clock::now();
    bool waited = false;
    for (;;) {
        try {
            attempt();
            break;
        } catch (const sqlite3x::database_busy_error&) {
            if (std::chrono::steady_clock::now() - start >= timeout) throw;
            waited = true;
            if (observer != nullptr) observer->still_busy();
        }
    }
    if (waited && observer != nullptr) observer->no_longer_busy();
}

// Runs a wrapper call, turning its errors into db_exception with the same text.
template <typename F>
auto converted(F&& call) {
    try {
        return call();
    } catch (const sqlite3x::database_error& e) {
        throw db_exception(std::string(e.what()));
    }
}

class db_sqlite_recordset : public db_recordset {
  public:
    db_sqlite_recordset(db_sqlite::statement_lease lease, std::chrono::milliseconds busy_timeout)
        : lease_(std::move(lease)),
          cursor_(lease_.command().executecursor()),
          busy_timeout_(busy_timeout) {}

    ~db_sqlite_recordset() override { cursor_.close(); }  // the lease resets the statement

    // A reader waits for a lock (rare with the write-ahead log) as patiently
    // as a writer, in the same slices.
    bool next() override {
        bool row = false;
        try {
            retry_while_busy(nullptr, busy_timeout_, [&] { row = cursor_.step(); });
        } catch (const sqlite3x::database_busy_error& e) {
            throw db_busy_exception(std::string(e.what()));
        } catch (const sqlite3x::database_error& e) {
            // A statement that writes (INSERT ... RETURNING) fails here.
            throw db_exception(std::string(e.what()));
        }
        return row;
    }

    bool prev() override {
        throw db_exception(std::string("db_sqlite_recordset::prev() : Not implemented yet"));
    }

    int column_count() override { return cursor_.colcount(); }

    std::string column_name(int index) override {
        return converted([&] { return cursor_.getcolname(index); });
    }

    std::int32_t get_int(int index) override {
        return converted([&] { return cursor_.getint(index); });
    }
    std::int32_t get_int(const std::string& name) override { return cursor_.getint(find(name)); }

    std::int64_t get_int64(int index) override {
        return converted([&] { return cursor_.getint64(index); });
    }
    std::int64_t get_int64(const std::string& name) override {
        return cursor_.getint64(find(name));
    }

    std::string get_string(int index) override {
        return converted([&] { return cursor_.getstring(index); });
    }
    std::string get_string(const std::string& name) override {
        return cursor_.getstring(find(name));
    }

    bool is_null(const std::string& name) override { return cursor_.isnull(find(name)); }

  private:
    int find(const std::string& name) {
        // Read once: a long result asks for the same few names on every row.
        if (names_.empty()) {
            const int count = cursor_.colcount();
            names_.reserve(static_cast<std::size_t>(count));
            for (int i = 0; i < count; ++i) names_.push_back(cursor_.getcolname(i));
        }
        for (std::size_t i = 0; i < names_.size(); ++i) {
            if (names_[i] == name) return static_cast<int>(i);
        }
        throw db_exception("Column name '" + name + "' not found");
    }

    db_sqlite::statement_lease lease_;
    sqlite3x::sqlite3_cursor cursor_;
    std::chrono::milliseconds busy_timeout_;
    std::vector<std::string> names_;
};

}  // namespace

// --- statement lease ----------------------------------------------------------

db_sqlite::statement_lease::statement_lease(sqlite3x::sqlite3_command* command, bool* in_use,
                                            std::unique_ptr<sqlite3x::sqlite3_command> own)
    : command_(command), in_use_(in_use), own_(std::move(own)) {
    if (own_) command_ = own_.get();
}

db_sqlite::statement_lease::statement_lease(statement_lease&& other) noexcept
    : command_(std::exchange(other.command_, nullptr)),
      in_use_(std::exchange(other.in_use_, nullptr)),
      own_(std::move(other.own_)) {}

db_sqlite::statement_lease::~statement_lease() {
    // Resetting ends the statement's read, so a finished result set never
    // holds the database.
    if (command_ != nullptr) command_->reset();
    if (in_use_ != nullptr) *in_use_ = false;
}

void db_sqlite::statement_lease::bind_all(db_params params) {
    int position = 1;
    for (const db_param& param : params) {
        std::visit(
            [&](const auto& value) {
                using T = std::decay_t<decltype(value)>;
                if constexpr (std::is_same_v<T, db_param::blob_bytes>) {
                    command_->bind(position, value.data, value.size);
                } else {
                    command_->bind(position, value);
                }
            },
            param.value());
        ++position;
    }
}

// --- db_sqlite ----------------------------------------------------------------

db_sqlite::~db_sqlite() {
    prepared_.reset();
    statements_.clear();
    try {
        close();
    } catch (...) {
        // Nothing is left to report to: the connection is released anyway.
    }
}

void db_sqlite::open(const std::string& path, db_open_mode mode) {
    using sqlite3x::open_mode;
    const open_mode wrapper_mode = mode == db_open_mode::create      ? open_mode::create
                                   : mode == db_open_mode::read_only ? open_mode::read_only
                                                                     : open_mode::existing;
    try {
        connection_.set_busy_timeout(std::min(busy_timeout_ms_, busy_slice_ms));
        connection_.open(path, wrapper_mode);
        connection_.executenonquery("PRAGMA synchronous=FULL");
        // A statement that writes many rows keeps what it would undo in
        // memory, not in a file of its own in the system's temporary folder.
        connection_.executenonquery("PRAGMA temp_store=MEMORY");
    } catch (const sqlite3x::database_error& e) {
        throw db_exception(std::string(e.what()));
    }
    is_open_ = true;
    read_only_ = mode == db_open_mode::read_only;
}

void db_sqlite::close() {
    prepared_.reset();
    statements_.clear();
    try {
        connection_.close();
    } catch (const sqlite3x::database_error& e) {
        throw db_exception(std::string(e.what()));
    }
    is_open_ = false;
}

std::unique_ptr<db> db_sqlite::clone() {
    auto copy = std::make_unique<db_sqlite>();
    copy->open(name(), read_only_ ? db_open_mode::read_only : db_open_mode::existing);
    return copy;
}

std::string db_sqlite::name() {
    return connection_.name();
}

void db_sqlite::require_open() const {
    if (!is_open_) throw db_exception(db_exception::connection_lost);
}

void db_sqlite::set_busy_timeout(int milliseconds) {
    require_open();
    busy_timeout_ms_ = milliseconds;
    connection_.set_busy_timeout(std::min(milliseconds, busy_slice_ms));
}

db_sqlite::statement_lease db_sqlite::acquire(const std::string& sql) {
    auto found = statements_.find(sql);
    if (found == statements_.end()) {
        if (statements_.size() >= max_cached_statements) evict_idle_statements();
        auto command = std::make_unique<sqlite3x::sqlite3_command>(connection_, sql);
        found = statements_.emplace(sql, cached_statement{std::move(command), false}).first;
    }
    cached_statement& cached = found->second;
    if (cached.in_use) {
        // The same text is still being read (a nested lookup): use a
        // statement of its own for this one caller.
        return statement_lease(nullptr, nullptr,
                               std::make_unique<sqlite3x::sqlite3_command>(connection_, sql));
    }
    cached.in_use = true;
    return statement_lease(cached.command.get(), &cached.in_use, nullptr);
}

void db_sqlite::evict_idle_statements() {
    // Statements in use stay: a live result set still reads from them.
    std::erase_if(statements_, [](const auto& entry) { return !entry.second.in_use; });
}

std::unique_ptr<db_recordset> db_sqlite::query(const std::string& sql, db_params params) {
    require_open();
    statement_lease lease = acquire(sql);
    lease.bind_all(params);
    return std::make_unique<db_sqlite_recordset>(std::move(lease),
                                                 std::chrono::milliseconds(busy_timeout_ms_));
}

void db_sqlite::execute(const std::string& sql, db_params params) {
    require_open();
    try {
        std::unique_ptr<sqlite3x::sqlite3_transaction> transaction;
        if (transactional_)
            transaction = std::make_unique<sqlite3x::sqlite3_transaction>(connection_);
        statement_lease lease = acquire(sql);
        lease.bind_all(params);
        // A long wait in one piece could not be stopped: it is waited in
        // slices, and the observer may end it between two.
        const std::chrono::milliseconds timeout(busy_timeout_ms_);
        retry_while_busy(busy_observer_, timeout, [&] { lease.command().executenonquery(); });
        if (transaction) retry_while_busy(busy_observer_, timeout, [&] { transaction->commit(); });
    } catch (const sqlite3x::database_busy_error& e) {
        throw db_busy_exception(std::string(e.what()));
    } catch (const sqlite3x::database_error& e) {
        throw db_exception(std::string(e.what()));
    }
}

void db_sqlite::prepare(const std::string& sql) {
    require_open();
    prepared_.reset();
    prepared_ = std::make_unique<statement_lease>(acquire(sql));
}

void db_sqlite::bind_blob(int position, const void* bytes, std::size_t length) {
    require_open();
    if (!prepared_) throw db_exception(std::string("no statement prepared"));
    prepared_->command().bind(position, bytes, length);
}

void db_sqlite::bind_text(int position, std::string_view text) {
    require_open();
    if (!prepared_) throw db_exception(std::string("no statement prepared"));
    prepared_->command().bind(position, text);
}

void db_sqlite::bind_int(int position, std::int64_t value) {
    require_open();
    if (!prepared_) throw db_exception(std::string("no statement prepared"));
    prepared_->command().bind(position, value);
}

std::unique_ptr<db_recordset> db_sqlite::execute_prepared() {
    if (!prepared_) throw db_exception(std::string("no statement prepared"));
    auto lease = std::move(*prepared_);
    prepared_.reset();
    return std::make_unique<db_sqlite_recordset>(std::move(lease),
                                                 std::chrono::milliseconds(busy_timeout_ms_));
}

std::int64_t db_sqlite::last_insert_id() {
    require_open();
    return connection_.insertid();
}

std::optional<std::pair<std::int64_t, std::int64_t>> db_sqlite::change_stamp() {
    require_open();
    sqlite3* handle = connection_.handle();
    if (sqlite3_txn_state(handle, "main") == SQLITE_TXN_WRITE) return std::nullopt;
    // data_version counts other connections' commits, total_changes this one's.
    auto version = query("PRAGMA data_version", {});
    version->next();
    return std::pair{version->get_int64(0), sqlite3_total_changes64(handle)};
}

}  // namespace tuv
