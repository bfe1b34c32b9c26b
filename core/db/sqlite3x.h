// A thin C++ layer of our own over the SQLite C API: connection, command,
// cursor and transaction, with errors as exceptions.
//
// Only the database layer (db_sqlite) and the vault installer use it; the rest
// of the core talks to the abstract `db`. Errors are std::runtime_error
// subclasses; the database layer converts them to tuv errors where it must.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace sqlite3x {

class database_error : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// SQLITE_BUSY: another connection holds the lock we need. Text "database is busy".
class database_busy_error : public database_error {
  public:
    database_busy_error() : database_error("database is busy") {}
};

// SQLITE_LOCKED: a conflict inside this connection. Text "database is locked".
class database_locked_error : public database_error {
  public:
    database_locked_error() : database_error("database is locked") {}
};

enum class open_mode {
    existing,   // the file must exist: a wrong path never leaves an empty database behind
    create,     // create the file when it is missing
    read_only,  // the file must exist; the connection never writes it (see open())
};

class sqlite3_connection {
  public:
    sqlite3_connection() = default;
    ~sqlite3_connection();
    sqlite3_connection(const sqlite3_connection&) = delete;
    sqlite3_connection& operator=(const sqlite3_connection&) = delete;

    // Opens the database file, its path in UTF-8 (as SQLite takes file names on
    // every system). Throws database_error naming the path on failure.
    // read_only also reads the schema at once, so that a database in a folder
    // that cannot take a write-ahead log's index file is found out here and
    // read without one (see sqlite3x.cpp); a file that is not a database
    // throws SQLite's own message then.
    void open(const std::string& path, open_mode mode = open_mode::existing);
    // Closes the connection; a no-op when not open. Throws database_error when
    // statements are still alive.
    void close();
    bool is_open() const { return handle_ != nullptr; }

    // The file name of the main database ("" when not open).
    std::string name() const;

    // Runs one or more statements that return no rows.
    void executenonquery(const std::string& sql);

    // Milliseconds SQLite itself waits for a lock before reporting busy; kept
    // for the connections opened later.
    void set_busy_timeout(int milliseconds);

    std::int64_t insertid() const;
    int changes() const;

    // The raw handle, for pragmas and tests; owned by this object.
    sqlite3* handle() const { return handle_; }

  private:
    // `name` is what SQLite opens (the path or a URI); messages name `path`.
    void open_handle(const std::string& path, const std::string& name, int flags);
    void open_read_only(const std::string& path);

    sqlite3* handle_ = nullptr;
    int busy_timeout_ms_ = 0;
};

// Throws the error class that matches an SQLite result code, with the
// connection's message for the general case.
[[noreturn]] void throw_error(int result_code, sqlite3* handle);

class sqlite3_cursor;

// One prepared statement. Parameters are numbered from 1 and bound by copy.
class sqlite3_command {
  public:
    explicit sqlite3_command(sqlite3_connection& connection);
    sqlite3_command(sqlite3_connection& connection, const std::string& sql);
    ~sqlite3_command();
    sqlite3_command(const sqlite3_command&) = delete;
    sqlite3_command& operator=(const sqlite3_command&) = delete;

    // Replaces the statement with a new one prepared from the text.
    void prepare(const std::string& sql);
    const std::string& sql() const { return sql_; }

    void bind(int position, std::int64_t value);
    void bind(int position, std::string_view text);
    void bind(int position, const void* bytes, std::size_t length);

    // Starts the statement; the cursor steps through its rows. The cursor
    // borrows this command and must not outlive it.
    sqlite3_cursor executecursor();
    // Runs the statement to completion and resets it.
    void executenonquery();
    // Rewinds the statement and clears its bindings; never throws.
    void reset() noexcept;

    sqlite3_stmt* handle() const { return statement_; }

  private:
    void require_statement() const;

    sqlite3_connection& connection_;
    sqlite3_stmt* statement_ = nullptr;
    std::string sql_;
};

// Steps through the rows of a command. Column indexes count from 0.
class sqlite3_cursor {
  public:
    explicit sqlite3_cursor(sqlite3_command& command) : command_(&command) {}

    // True while a row is available. Throws on failure (busy included).
    bool step();

    int colcount() const;
    std::string getcolname(int index) const;
    bool isnull(int index) const;
    std::int32_t getint(int index) const;
    std::int64_t getint64(int index) const;
    std::string getstring(int index) const;

    void reset() noexcept;
    void close() noexcept { command_ = nullptr; }

  private:
    sqlite3_stmt* statement() const;
    void require_index(int index) const;

    sqlite3_command* command_;
};

// BEGIN on construction when `start` is set; ROLLBACK on destruction unless
// committed. Destruction never throws.
class sqlite3_transaction {
  public:
    explicit sqlite3_transaction(sqlite3_connection& connection, bool start = true);
    ~sqlite3_transaction();
    sqlite3_transaction(const sqlite3_transaction&) = delete;
    sqlite3_transaction& operator=(const sqlite3_transaction&) = delete;

    void begin();
    void commit();
    void rollback();

  private:
    sqlite3_connection& connection_;
    bool active_ = false;
};

}  // namespace sqlite3x
