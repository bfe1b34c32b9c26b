#include "core/db/sqlite3x.h"

#include <sqlite3.h>

#include <filesystem>
#include <memory>
#include <system_error>
#include <utility>

#include "core/base/utf8_path.h"

namespace sqlite3x {
namespace {

// The path as a "file:" URI, absolute, with the characters a URI gives a
// meaning to escaped.
std::string file_uri(const std::string& path) {
    std::string uri = "file:";
    for (const char c : tuv::utf8_of(std::filesystem::absolute(tuv::path_from_utf8(path)))) {
        if (c == '%' || c == '?' || c == '#') {
            static constexpr char hex[] = "0123456789ABCDEF";
            uri += '%';
            uri += hex[(static_cast<unsigned char>(c) >> 4) & 0xf];
            uri += hex[static_cast<unsigned char>(c) & 0xf];
        } else {
            uri += c;
        }
    }
    return uri;
}

}  // namespace

void throw_error(int result_code, sqlite3* handle) {
    switch (result_code & 0xff) {
        case SQLITE_BUSY:
            throw database_busy_error();
        case SQLITE_LOCKED:
            throw database_locked_error();
        default:
            break;
    }
    if (handle != nullptr) throw database_error(sqlite3_errmsg(handle));
    throw database_error(sqlite3_errstr(result_code));
}

// --- connection ---------------------------------------------------------------

sqlite3_connection::~sqlite3_connection() {
    // sqlite3_close_v2 defers the real close until the last statement is
    // finalised, so destruction can never fail or leak the handle.
    if (handle_ != nullptr) sqlite3_close_v2(handle_);
}

void sqlite3_connection::open(const std::string& path, open_mode mode) {
    close();
    if (mode == open_mode::read_only) {
        open_read_only(path);
        return;
    }
    open_handle(path, path,
                SQLITE_OPEN_READWRITE | (mode == open_mode::create ? SQLITE_OPEN_CREATE : 0));
}

void sqlite3_connection::open_handle(const std::string& path, const std::string& name, int flags) {
    // SQLite counts the memory it holds under one lock for the whole process,
    // taken at every allocation of every connection: the check-in's two
    // threads, each with a connection of its own, queue for it. Nothing here
    // reads the count. Only possible before SQLite's first use; should the
    // process have used it already, it refuses and keeps its count.
    static const int uncounted = sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
    (void)uncounted;
    sqlite3* handle = nullptr;
    const int rc = sqlite3_open_v2(name.c_str(), &handle, flags | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        std::string reason = handle != nullptr ? sqlite3_errmsg(handle) : sqlite3_errstr(rc);
        sqlite3_close_v2(handle);
        throw database_error("cannot open database " + path + ": " + reason);
    }
    handle_ = handle;
    sqlite3_extended_result_codes(handle_, 1);
    if (busy_timeout_ms_ > 0) sqlite3_busy_timeout(handle_, busy_timeout_ms_);
}

// A database in WAL mode is read with the help of an index file beside it
// (-shm), which SQLite creates at the first read when it is missing. In a
// folder that cannot take it (a read-only mount, a backup made read-only)
// that read fails. Nobody can be writing there then, since a writer needs the
// same file; so the database is opened again as immutable, which reads the
// file alone, without locks or index. That reading would miss changes still
// waiting in a log, so a log that holds any is an error instead.
void sqlite3_connection::open_read_only(const std::string& path) {
    open_handle(path, path, SQLITE_OPEN_READONLY);
    const int rc =
        sqlite3_exec(handle_, "SELECT 1 FROM sqlite_schema LIMIT 1", nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK) return;
    const std::unique_ptr<sqlite3, decltype(&sqlite3_close_v2)> failed(
        std::exchange(handle_, nullptr), &sqlite3_close_v2);
    const int primary = rc & 0xff;
    if (primary != SQLITE_CANTOPEN && primary != SQLITE_READONLY) throw_error(rc, failed.get());
    for (const char* log : {"-wal", "-journal"}) {
        std::error_code absent;
        const auto size = std::filesystem::file_size(tuv::path_from_utf8(path + log), absent);
        if (!absent && size > 0) {
            throw database_error("cannot open database " + path + ": its log " + path + log +
                                 " holds changes that cannot be read while its folder cannot be "
                                 "written");
        }
    }
    open_handle(path, file_uri(path) + "?immutable=1", SQLITE_OPEN_READONLY | SQLITE_OPEN_URI);
}

void sqlite3_connection::close() {
    if (handle_ == nullptr) return;
    const int rc = sqlite3_close(handle_);
    if (rc != SQLITE_OK) throw_error(rc, handle_);
    handle_ = nullptr;
}

std::string sqlite3_connection::name() const {
    if (handle_ == nullptr) return std::string();
    const char* file = sqlite3_db_filename(handle_, "main");
    return file != nullptr ? std::string(file) : std::string();
}

void sqlite3_connection::executenonquery(const std::string& sql) {
    if (handle_ == nullptr) throw database_error("database is not open");
    const int rc = sqlite3_exec(handle_, sql.c_str(), nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) throw_error(rc, handle_);
}

void sqlite3_connection::set_busy_timeout(int milliseconds) {
    busy_timeout_ms_ = milliseconds;
    if (handle_ != nullptr) sqlite3_busy_timeout(handle_, milliseconds);
}

std::int64_t sqlite3_connection::insertid() const {
    return handle_ != nullptr ? sqlite3_last_insert_rowid(handle_) : 0;
}

int sqlite3_connection::changes() const {
    return handle_ != nullptr ? sqlite3_changes(handle_) : 0;
}

// --- command ------------------------------------------------------------------

sqlite3_command::sqlite3_command(sqlite3_connection& connection) : connection_(connection) {}

sqlite3_command::sqlite3_command(sqlite3_connection& connection, const std::string& sql)
    : connection_(connection) {
    prepare(sql);
}

sqlite3_command::~sqlite3_command() {
    sqlite3_finalize(statement_);
}

void sqlite3_command::prepare(const std::string& sql) {
    if (!connection_.is_open()) throw database_error("database is not open");
    sqlite3_finalize(statement_);
    statement_ = nullptr;
    sql_.clear();
    sqlite3_stmt* statement = nullptr;
    const int rc = sqlite3_prepare_v2(connection_.handle(), sql.c_str(),
                                      static_cast<int>(sql.size()), &statement, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(statement);
        throw_error(rc, connection_.handle());
    }
    statement_ = statement;
    sql_ = sql;
}

void sqlite3_command::require_statement() const {
    if (statement_ == nullptr) throw database_error("no statement prepared");
}

void sqlite3_command::bind(int position, std::int64_t value) {
    require_statement();
    const int rc = sqlite3_bind_int64(statement_, position, value);
    if (rc != SQLITE_OK) throw_error(rc, connection_.handle());
}

void sqlite3_command::bind(int position, std::string_view text) {
    require_statement();
    const int rc = sqlite3_bind_text64(statement_, position, text.data(), text.size(),
                                       SQLITE_TRANSIENT, SQLITE_UTF8);
    if (rc != SQLITE_OK) throw_error(rc, connection_.handle());
}

void sqlite3_command::bind(int position, const void* bytes, std::size_t length) {
    require_statement();
    // A zero-length blob still binds as a blob, not as NULL.
    static const char empty = 0;
    const int rc = sqlite3_bind_blob64(statement_, position, length == 0 ? &empty : bytes, length,
                                       SQLITE_TRANSIENT);
    if (rc != SQLITE_OK) throw_error(rc, connection_.handle());
}

sqlite3_cursor sqlite3_command::executecursor() {
    require_statement();
    return sqlite3_cursor(*this);
}

void sqlite3_command::executenonquery() {
    require_statement();
    int rc;
    while ((rc = sqlite3_step(statement_)) == SQLITE_ROW) {
    }
    // Keep the error text before the reset can replace it.
    if (rc != SQLITE_DONE) {
        try {
            throw_error(rc, connection_.handle());
        } catch (...) {
            sqlite3_reset(statement_);
            throw;
        }
    }
    sqlite3_reset(statement_);
}

void sqlite3_command::reset() noexcept {
    if (statement_ == nullptr) return;
    sqlite3_reset(statement_);
    sqlite3_clear_bindings(statement_);
}

// --- cursor -------------------------------------------------------------------

sqlite3_stmt* sqlite3_cursor::statement() const {
    if (command_ == nullptr || command_->handle() == nullptr) {
        throw database_error("cursor is closed");
    }
    return command_->handle();
}

void sqlite3_cursor::require_index(int index) const {
    if (index < 0 || index >= colcount()) {
        throw database_error("column index " + std::to_string(index) + " out of range");
    }
}

bool sqlite3_cursor::step() {
    sqlite3_stmt* stmt = statement();
    const int rc = sqlite3_step(stmt);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    throw_error(rc, sqlite3_db_handle(stmt));
}

int sqlite3_cursor::colcount() const {
    return sqlite3_column_count(statement());
}

std::string sqlite3_cursor::getcolname(int index) const {
    require_index(index);
    const char* name = sqlite3_column_name(statement(), index);
    if (name == nullptr) throw database_error("out of memory");
    return name;
}

bool sqlite3_cursor::isnull(int index) const {
    require_index(index);
    return sqlite3_column_type(statement(), index) == SQLITE_NULL;
}

std::int32_t sqlite3_cursor::getint(int index) const {
    require_index(index);
    return sqlite3_column_int(statement(), index);
}

std::int64_t sqlite3_cursor::getint64(int index) const {
    require_index(index);
    return sqlite3_column_int64(statement(), index);
}

std::string sqlite3_cursor::getstring(int index) const {
    require_index(index);
    sqlite3_stmt* stmt = statement();
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, index));
    if (text == nullptr) return std::string();
    return std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(stmt, index)));
}

void sqlite3_cursor::reset() noexcept {
    if (command_ != nullptr) command_->reset();
}

// --- transaction --------------------------------------------------------------

sqlite3_transaction::sqlite3_transaction(sqlite3_connection& connection, bool start)
    : connection_(connection) {
    if (start) begin();
}

sqlite3_transaction::~sqlite3_transaction() {
    if (!active_) return;
    try {
        rollback();
    } catch (...) {
        // A failed rollback leaves nothing to do: SQLite rolls back on close.
    }
}

void sqlite3_transaction::begin() {
    connection_.executenonquery("BEGIN");
    active_ = true;
}

void sqlite3_transaction::commit() {
    connection_.executenonquery("COMMIT");
    active_ = false;
}

void sqlite3_transaction::rollback() {
    active_ = false;
    connection_.executenonquery("ROLLBACK");
}

}  // namespace sqlite3x
