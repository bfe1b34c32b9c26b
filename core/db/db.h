// The database layer: an abstract connection (`db`) and the rows of one query
// (`db_recordset`). Every value enters SQL as a bound parameter (`db_param`);
// statements are written with "?" placeholders and prepared once per text.
//
// Two engines keep this contract: db_sqlite, and db_postgres where libpq is
// built in; open_database() chooses by the address.
//
// Result sets borrow the connection: destroy them before the `db` and as soon
// as their rows have been read (a live result set keeps its read open).
#pragma once

#include <concepts>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

namespace tuv {

class busy_observer;

// One value bound to a "?" of a statement: an integer, a text or a blob.
class db_param {
  public:
    struct blob_bytes {
        const void* data;
        std::size_t size;
    };
    using value_type = std::variant<std::int64_t, std::string_view, blob_bytes>;

    // A char is refused: a one-character text must be passed as text.
    template <std::integral T>
    requires(!std::same_as<T, char>) db_param(T value) : value_(static_cast<std::int64_t>(value)) {}
    db_param(std::string_view text) : value_(text) {}
    db_param(const std::string& text) : value_(std::string_view(text)) {}
    db_param(const char* text) : value_(std::string_view(text)) {}

    static db_param blob(const void* data, std::size_t size) {
        return db_param(blob_bytes{data, size});
    }

    const value_type& value() const { return value_; }

  private:
    explicit db_param(blob_bytes bytes) : value_(bytes) {}
    value_type value_;
};

using db_params = std::span<const db_param>;

class db_recordset {
  public:
    virtual ~db_recordset() = default;

    // Advances to the next row; true while a row is current. The first call
    // moves to the first row.
    virtual bool next() = 0;
    // Not supported; always throws db_exception.
    virtual bool prev() = 0;
    virtual int column_count() = 0;
    virtual std::string column_name(int index) = 0;

    // Values of the current row. Lookups by name compare exactly, case
    // included; the first column with that name wins. An unknown name throws
    // db_exception "Column name '<name>' not found".
    virtual std::int32_t get_int(int index) = 0;
    virtual std::int32_t get_int(const std::string& name) = 0;
    virtual std::int64_t get_int64(int index) = 0;
    virtual std::int64_t get_int64(const std::string& name) = 0;
    virtual std::string get_string(int index) = 0;
    virtual std::string get_string(const std::string& name) = 0;
    virtual bool is_null(const std::string& name) = 0;
};

enum class db_open_mode {
    existing,   // the database file must already exist
    create,     // create it when missing (installation only)
    read_only,  // it must exist; nothing is written, and a read-only folder will do
};

class db {
  public:
    virtual ~db() = default;

    virtual void open(const std::string& path, db_open_mode mode = db_open_mode::existing) = 0;
    virtual void close() = 0;
    // A new connection on the same file, in the same mode.
    virtual std::unique_ptr<db> clone() = 0;
    virtual std::string name() = 0;

    // Runs a query and returns its rows, positioned before the first one.
    virtual std::unique_ptr<db_recordset> query(const std::string& sql, db_params params) = 0;
    std::unique_ptr<db_recordset> query(const std::string& sql,
                                        std::initializer_list<db_param> params = {}) {
        return query(sql, db_params(params.begin(), params.size()));
    }

    // When on (the default), execute() wraps each statement in a transaction
    // of its own. A caller that runs its own BEGIN ... COMMIT turns it off
    // for that time, because SQLite transactions do not nest.
    virtual void set_transactional(bool transactional) = 0;
    virtual bool transactional() const = 0;

    // Runs a statement that returns no rows, retrying a busy database.
    virtual void execute(const std::string& sql, db_params params) = 0;
    void execute(const std::string& sql, std::initializer_list<db_param> params = {}) {
        execute(sql, db_params(params.begin(), params.size()));
    }

    // The prepare / bind / execute_prepared sequence for a statement whose
    // parameters are bound one by one; positions count from 1.
    virtual void prepare(const std::string& sql) = 0;
    virtual void bind_blob(int position, const void* bytes, std::size_t length) = 0;
    virtual void bind_text(int position, std::string_view text) = 0;
    virtual void bind_int(int position, std::int64_t value) = 0;
    virtual std::unique_ptr<db_recordset> execute_prepared() = 0;

    // Told while execute() waits for a busy database; null for nobody.
    // Borrowed: it must outlive its use.
    virtual void set_busy_observer(busy_observer* observer) = 0;

    // Whether other writers may change the database while this connection
    // writes (a server): a writer then locks the rows it builds on, with
    // SELECT ... FOR UPDATE, which only such an engine is sent. SQLite lets
    // one writer in at a time, and it holds the whole database.
    virtual bool many_writers() const = 0;

    // Makes the keys that inserts into `table` are given from now on follow
    // the largest one it holds, after rows came in with keys of their own
    // (a copy of another vault). SQLite does so by itself.
    virtual void resume_keys(const std::string& table) = 0;

    // The rowid of the last row this connection inserted.
    virtual std::int64_t last_insert_id() = 0;

    // Differs whenever the content may have changed since the last call,
    // through this connection or another: what a cache of a query's result
    // is keyed on. Empty while this connection is writing, because what it
    // sees then may yet be rolled back.
    virtual std::optional<std::pair<std::int64_t, std::int64_t>> change_stamp() = 0;
};

}  // namespace tuv
