#include "core/db/db_postgres.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <sstream>

#include "core/base/errors.h"
#include "core/db/busy_observer.h"
#include "core/db/db_postgres_recordset.h"
#include "core/db/libpq_api.h"
#include "core/db/sql_dialect.h"

namespace tuv {
namespace {

struct result_deleter {
    void operator()(PGresult* result) const { libpq().PQclear(result); }
};
using result_ptr = std::unique_ptr<PGresult, result_deleter>;

// A statement that lost to another connection and may succeed when tried
// again.
struct lost_to_another {
    std::string text;
};

bool is_busy_state(const char* state) {
    if (state == nullptr) return false;
    const std::string_view code(state);
    // serialization_failure, deadlock_detected, lock_not_available (lock_timeout)
    return code == "40001" || code == "40P01" || code == "55P03";
}

std::string trimmed(std::string_view text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.remove_suffix(1);
    return std::string(text);
}

std::string first_line(const std::string& text) {
    return text.substr(0, text.find('\n'));
}

// The server's own words when it sent any, else libpq's.
std::string error_text(const PGresult* result, PGconn* connection) {
    const char* primary =
        result != nullptr ? libpq().PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY) : nullptr;
    if (primary != nullptr) return primary;
    return first_line(trimmed(libpq().PQerrorMessage(connection)));
}

// The address as it may be shown: a password written into it left out.
std::string shown_address(std::string address) {
    const std::size_t scheme = address.find("://");
    if (scheme != std::string::npos) {
        const std::size_t start = scheme + 3;
        const std::size_t end = std::min(address.find_first_of("/?", start), address.size());
        const std::size_t at = address.rfind('@', end - 1);
        if (at != std::string::npos && at >= start) {
            const std::size_t colon = address.find(':', start);
            if (colon < at) address.erase(colon, at - colon);
        }
    }
    for (std::size_t key = address.find("password="); key != std::string::npos;
         key = address.find("password=", key)) {
        const bool starts = key == 0 || address[key - 1] == '?' || address[key - 1] == '&' ||
                            address[key - 1] == ' ';
        if (!starts) {
            ++key;
            continue;
        }
        std::size_t end = address.find_first_of("& ", key);
        end = end == std::string::npos ? address.size() : end + 1;
        address.erase(key, end - key);
    }
    while (!address.empty() &&
           (address.back() == '&' || address.back() == '?' || address.back() == ' ')) {
        address.pop_back();
    }
    return address;
}

// What the person can do about a connection that failed, in one message
// for each cause they can tell apart.
std::string connect_error(PGconn* connection, const std::string& address) {
    const std::string shown = shown_address(address);
    const std::string text = trimmed(libpq().PQerrorMessage(connection));
    if (libpq().PQconnectionNeedsPassword(connection)) {
        return "The database server of " + shown +
               " asks for a password and none was found in ~/.pgpass, PGPASSFILE or the "
               "service file";
    }
    if (libpq().PQconnectionUsedPassword(connection)) {
        return "The database server of " + shown + " refused the user name or password";
    }
    if (libpq().PQping(address.c_str()) == PQPING_NO_RESPONSE) {
        return "Cannot reach the database server of " + shown + ": " + first_line(text);
    }
    // The server answered and said why: its words follow "FATAL:".
    const std::size_t fatal = text.rfind("FATAL:");
    std::string reason = fatal == std::string::npos ? first_line(text) : text.substr(fatal + 6);
    reason.erase(0, reason.find_first_not_of(' '));
    return "Cannot open the database " + shown + ": " + first_line(reason);
}

// Whether `sql` begins with `head` (upper case), spaces before it aside.
bool starts_with_words(std::string_view sql, std::string_view head) {
    const std::size_t start = sql.find_first_not_of(" \t\n");
    if (start == std::string_view::npos || sql.size() - start < head.size()) return false;
    for (std::size_t i = 0; i < head.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(sql[start + i])) != head[i]) return false;
    }
    return true;
}

// Statements the server can prepare; the rest (transaction control, schema
// changes, settings) are sent as they are, each time.
bool preparable(std::string_view sql) {
    for (const std::string_view head : {"SELECT", "INSERT", "UPDATE", "DELETE", "WITH", "VALUES"}) {
        if (starts_with_words(sql, head)) return true;
    }
    return false;
}

bool changes_tables(std::string_view sql) {
    for (const std::string_view head : {"CREATE", "ALTER", "DROP"}) {
        if (starts_with_words(sql, head)) return true;
    }
    return false;
}

// The table an INSERT statement (SQLite's text) writes to; empty for any
// other statement.
std::string inserted_table(std::string_view sql) {
    std::istringstream words{std::string(sql.substr(0, 256))};
    std::string word;
    const auto next = [&] {
        word.clear();
        words >> word;
        for (char& c : word) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return word;
    };
    if (next() != "INSERT") return {};
    if (next() == "OR") {
        next();
        next();
    }
    if (word != "INTO") return {};
    words >> word;
    std::string table = word.substr(0, word.find('('));
    for (char& c : table) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return table;
}

// pg_type's identifier of bytea.
constexpr Oid bytea_type = 17;

// Whether `sql`, in upper case, holds `words` (upper case).
bool upper_contains(std::string_view sql, std::string_view words) {
    std::string upper(sql);
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return upper.find(words) != std::string::npos;
}

constexpr const char* savepoint = "SAVEPOINT quillmark_statement";
constexpr const char* release = "RELEASE SAVEPOINT quillmark_statement";
constexpr const char* roll_back =
    "ROLLBACK TO SAVEPOINT quillmark_statement; RELEASE SAVEPOINT quillmark_statement";
// The two prepared once per connection, as they fence most statements a
// writer sends: parsing them each time was a third of their cost.
constexpr const char* savepoint_name = "quillmark_savepoint";
constexpr const char* release_name = "quillmark_release";

// Runs a prepared statement between a savepoint and its release, the three
// sent together and answered together: one wait for the server where three
// would be. Returns the statement's result (or the savepoint's, should that
// fail); a failed statement leaves the savepoint for the caller to roll
// back to. Null when the connection fails.
result_ptr exec_fenced(PGconn* connection, const char* name, int count, const char* const* data,
                       const int* lengths, const int* formats, int rows_format) {
    if (libpq().PQenterPipelineMode(connection) != 1) return nullptr;
    const bool sent = libpq().PQsendQueryPrepared(connection, savepoint_name, 0, nullptr, nullptr,
                                                  nullptr, 0) == 1 &&
                      libpq().PQsendQueryPrepared(connection, name, count, data, lengths, formats,
                                                  rows_format) == 1 &&
                      libpq().PQsendQueryPrepared(connection, release_name, 0, nullptr, nullptr,
                                                  nullptr, 0) == 1 &&
                      libpq().PQpipelineSync(connection) == 1;
    std::vector<result_ptr> results;
    // Each statement's results end with a null; the sync ends them all.
    for (int ends = 0; sent && ends <= 3;) {
        result_ptr result(libpq().PQgetResult(connection));
        if (!result) {
            if (libpq().PQstatus(connection) == CONNECTION_BAD) break;
            ++ends;
            continue;
        }
        if (libpq().PQresultStatus(result.get()) == PGRES_PIPELINE_SYNC) break;
        results.push_back(std::move(result));
    }
    libpq().PQexitPipelineMode(connection);
    if (results.size() < 2) return results.empty() ? nullptr : std::move(results.front());
    const ExecStatusType made = libpq().PQresultStatus(results[0].get());
    return made == PGRES_COMMAND_OK ? std::move(results[1]) : std::move(results[0]);
}

void ignore_notice(void*, const char*) {
    // "relation already exists, skipping" and the like are not errors.
}

}  // namespace

db_postgres::~db_postgres() {
    close();
}

void db_postgres::open(const std::string& path, db_open_mode mode) {
    close();
    char* parse_error = nullptr;
    PQconninfoOption* options = libpq().PQconninfoParse(path.c_str(), &parse_error);
    if (options == nullptr) {
        const std::string text = parse_error != nullptr ? trimmed(parse_error) : "out of memory";
        libpq().PQfreemem(parse_error);
        throw db_exception("Invalid database address \"" + shown_address(path) + "\": " + text);
    }
    libpq().PQconninfoFree(options);

    PGconn* connection = libpq().PQconnectdb(path.c_str());
    if (libpq().PQstatus(connection) != CONNECTION_OK) {
        const std::string message = connect_error(connection, path);
        libpq().PQfinish(connection);
        throw db_exception(message);
    }
    libpq().PQsetNoticeProcessor(connection, &ignore_notice, nullptr);
    connection_ = connection;
    address_ = path;
    mode_ = mode;
    // The session's settings go in one exchange.
    //
    // A lock held elsewhere is waited for in slices, so the wait can be
    // told and stopped between them.
    std::string settings = "SET lock_timeout = " + std::to_string(busy_slice_ms) + ";";
    // The server's default prices a page read through an index as four read
    // in order, a spinning disk's ratio: it then hashes a whole chunk table
    // to join a hundred block rows to their chunks. A vault's pages are read
    // from the server's cache or from flash, where the two cost about the
    // same; whole-table reads (verify) still scan.
    settings += "SET random_page_cost = 1.1;";
    if (mode == db_open_mode::read_only) {
        settings += "SET default_transaction_read_only = on;";
    } else {
        // A writer fills tables from empty within one session, and a plan
        // the server keeps for a statement may date from when they were
        // small: a scan there would make each look-up of a check-in read a
        // growing table. Every look-up a writer sends has its index; a
        // statement without one still scans, and the scan's inflated cost
        // must not make the server compile it (about 0.2 s a statement).
        settings += "SET enable_seqscan = off; SET jit = off;";
    }
    run_plain(settings);
    if (mode != db_open_mode::read_only) {
        // Container bytes go into the server in pages of 2 KiB, and the
        // server tries to compress each before it stores it: they are
        // compressed already, and lz4 gives up on a page in about half of
        // pglz's time. A server without lz4 refuses, and keeps its own.
        result_ptr ignored(libpq().PQexec(connection_, "SET default_toast_compression = lz4"));
    }
    prepare_fences();
}

void db_postgres::prepare_fences() {
    for (const auto& [name, text] :
         {std::pair(savepoint_name, savepoint), std::pair(release_name, release)}) {
        result_ptr result(libpq().PQprepare(connection_, name, text, 0, nullptr));
        if (libpq().PQresultStatus(result.get()) != PGRES_COMMAND_OK) throw failure(result.get());
    }
}

void db_postgres::close() {
    statements_.clear();
    identity_keys_.reset();
    last_key_.reset();
    has_prepared_ = false;
    if (connection_ != nullptr) libpq().PQfinish(connection_);
    connection_ = nullptr;
}

std::unique_ptr<db> db_postgres::clone() {
    require_open();
    auto copy = std::make_unique<db_postgres>();
    copy->set_busy_timeout(busy_timeout_ms_);
    copy->open(address_, mode_);
    return copy;
}

std::string db_postgres::name() {
    return shown_address(address_);
}

void db_postgres::require_open() const {
    if (connection_ == nullptr) throw db_exception(db_exception::connection_lost);
}

void db_postgres::run_plain(const std::string& sql) {
    result_ptr result(libpq().PQexec(connection_, sql.c_str()));
    const ExecStatusType status = libpq().PQresultStatus(result.get());
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) throw failure(result.get());
}

db_exception db_postgres::failure(const pg_result* result) const {
    const std::string text = error_text(result, connection_);
    // The server stopped or ended this session: whatever the transaction
    // held is gone with it, and no statement of this connection will work.
    if (libpq().PQstatus(connection_) == CONNECTION_BAD) {
        return db_exception("Lost the connection to the database server of " +
                            shown_address(address_) + ": " + text);
    }
    return db_exception(text);
}

const db_postgres::prepared_statement& db_postgres::statement(const std::string& sql) {
    const auto found = statements_.find(sql);
    if (found != statements_.end()) return found->second;
    if (statements_.size() >= max_cached_statements) {
        run_plain("DEALLOCATE ALL");
        statements_.clear();
        prepare_fences();
    }
    prepared_statement made;
    made.name = "q";
    made.name += std::to_string(++named_);
    std::string text = postgres_statement(sql);
    // An insert hands back the key it made, so that last_insert_id() need
    // not ask the server again.
    const bool returns = upper_contains(sql, " RETURNING ");
    if (const std::string* key = returns ? nullptr : identity_key(inserted_table(sql))) {
        text += " RETURNING ";
        text += *key;
        made.returns_key = true;
    }
    result_ptr result(libpq().PQprepare(connection_, made.name.c_str(), text.c_str(), 0, nullptr));
    if (libpq().PQresultStatus(result.get()) != PGRES_COMMAND_OK) {
        const char* state = libpq().PQresultErrorField(result.get(), PG_DIAG_SQLSTATE);
        if (is_busy_state(state)) throw lost_to_another{error_text(result.get(), connection_)};
        throw failure(result.get());
    }
    // Rows of blobs alone (container bytes) come as they are: as text they
    // would come as hex, twice as long, to be decoded again here.
    if (starts_with_words(sql, "SELECT")) {
        result.reset(libpq().PQdescribePrepared(connection_, made.name.c_str()));
        if (libpq().PQresultStatus(result.get()) != PGRES_COMMAND_OK) throw failure(result.get());
        const int columns = libpq().PQnfields(result.get());
        made.binary_rows = columns > 0;
        for (int column = 0; column < columns; ++column) {
            made.binary_rows =
                made.binary_rows && libpq().PQftype(result.get(), column) == bytea_type;
        }
    }
    return statements_.emplace(sql, std::move(made)).first->second;
}

const std::string* db_postgres::identity_key(const std::string& table) {
    if (table.empty()) return nullptr;
    if (!identity_keys_) {
        result_ptr rows(
            libpq().PQexec(connection_,
                           "SELECT c.relname, a.attname FROM pg_catalog.pg_attribute a"
                           " JOIN pg_catalog.pg_class c ON c.oid = a.attrelid"
                           " JOIN pg_catalog.pg_namespace n ON n.oid = c.relnamespace"
                           " WHERE n.nspname = current_schema() AND a.attidentity <> ''"));
        if (libpq().PQresultStatus(rows.get()) != PGRES_TUPLES_OK) throw failure(rows.get());
        identity_keys_.emplace();
        for (int row = 0; row < libpq().PQntuples(rows.get()); ++row) {
            identity_keys_->emplace(libpq().PQgetvalue(rows.get(), row, 0),
                                    libpq().PQgetvalue(rows.get(), row, 1));
        }
    }
    const auto found = identity_keys_->find(table);
    return found == identity_keys_->end() ? nullptr : &found->second;
}

std::unique_ptr<db_recordset> db_postgres::run(const std::string& sql,
                                               const std::vector<bound_value>& values,
                                               busy_observer* observer) {
    require_open();
    std::vector<const char*> data;
    std::vector<int> lengths;
    std::vector<int> formats;
    for (const bound_value& value : values) {
        data.push_back(value.is_null ? nullptr : value.bytes.data());
        lengths.push_back(static_cast<int>(value.bytes.size()));
        formats.push_back(value.binary ? 1 : 0);
    }
    const int count = static_cast<int>(values.size());
    const bool prepared = preparable(sql);

    const auto start = std::chrono::steady_clock::now();
    const std::chrono::milliseconds timeout(busy_timeout_ms_);
    bool waited = false;
    for (;;) {
        // Inside a transaction a failed statement would spoil the whole of
        // it; the savepoint undoes just the statement, as SQLite does.
        const bool fenced = prepared && libpq().PQtransactionStatus(connection_) == PQTRANS_INTRANS;
        // A statement seen before goes with its savepoint and release in one
        // exchange; a new one is prepared inside a savepoint of its own.
        const bool pipelined = fenced && statements_.contains(sql);
        if (fenced && !pipelined) run_plain(savepoint);
        const auto undo = [&] {
            if (fenced) run_plain(roll_back);
        };
        try {
            result_ptr result;
            const prepared_statement* made = nullptr;
            if (prepared) {
                made = &statement(sql);
                const int rows_format = made->binary_rows ? 1 : 0;
                if (pipelined) {
                    result = exec_fenced(connection_, made->name.c_str(), count, data.data(),
                                         lengths.data(), formats.data(), rows_format);
                } else {
                    result.reset(libpq().PQexecPrepared(connection_, made->name.c_str(), count,
                                                        data.data(), lengths.data(), formats.data(),
                                                        rows_format));
                }
            } else {
                // A table made, changed or dropped may change its key; a
                // transaction's begin or end changes none.
                if (changes_tables(sql)) identity_keys_.reset();
                result.reset(libpq().PQexecParams(connection_, postgres_statement(sql).c_str(),
                                                  count, nullptr, data.data(), lengths.data(),
                                                  formats.data(), 0));
            }
            const ExecStatusType status = libpq().PQresultStatus(result.get());
            if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
                const char* state = libpq().PQresultErrorField(result.get(), PG_DIAG_SQLSTATE);
                if (is_busy_state(state)) {
                    throw lost_to_another{error_text(result.get(), connection_)};
                }
                throw failure(result.get());
            }
            if (fenced && !pipelined) run_plain(release);
            if (made != nullptr && made->returns_key && libpq().PQntuples(result.get()) > 0) {
                last_key_ = std::strtoll(
                    libpq().PQgetvalue(result.get(), libpq().PQntuples(result.get()) - 1, 0),
                    nullptr, 10);
            }
            if (waited && observer != nullptr) observer->no_longer_busy();
            return std::make_unique<db_postgres_recordset>(result.release());
        } catch (const lost_to_another& lost) {
            undo();
            if (std::chrono::steady_clock::now() - start >= timeout) {
                throw db_busy_exception("database is busy: " + lost.text);
            }
            waited = true;
            if (observer != nullptr) observer->still_busy();
        } catch (const db_exception&) {
            if (libpq().PQstatus(connection_) != CONNECTION_BAD) undo();
            throw;
        }
    }
}

namespace {

std::vector<db_postgres::bound_value> values_of(db_params params) {
    std::vector<db_postgres::bound_value> values;
    values.reserve(params.size());
    for (const db_param& param : params) {
        db_postgres::bound_value& value = values.emplace_back();
        value.is_null = false;
        std::visit(
            [&](const auto& v) {
                using T = std::decay_t<decltype(v)>;
                if constexpr (std::is_same_v<T, db_param::blob_bytes>) {
                    value.bytes.assign(static_cast<const char*>(v.data), v.size);
                    value.binary = true;
                } else if constexpr (std::is_same_v<T, std::int64_t>) {
                    value.bytes = std::to_string(v);
                } else {
                    value.bytes = std::string(v);
                }
            },
            param.value());
    }
    return values;
}

}  // namespace

std::unique_ptr<db_recordset> db_postgres::query(const std::string& sql, db_params params) {
    require_open();
    return run(sql, values_of(params), nullptr);
}

void db_postgres::execute(const std::string& sql, db_params params) {
    require_open();
    // Outside a transaction of the caller's, the server commits each
    // statement on its own: nothing to add for transactional().
    run(sql, values_of(params), busy_observer_);
    ++executed_;
}

void db_postgres::prepare(const std::string& sql) {
    require_open();
    prepared_sql_ = sql;
    prepared_values_.clear();
    has_prepared_ = true;
}

db_postgres::bound_value& db_postgres::prepared_value(int position) {
    require_open();
    if (!has_prepared_) throw db_exception(std::string("no statement prepared"));
    if (position < 1) throw db_exception("bind position " + std::to_string(position));
    if (prepared_values_.size() < static_cast<std::size_t>(position)) {
        prepared_values_.resize(static_cast<std::size_t>(position));
    }
    bound_value& value = prepared_values_[static_cast<std::size_t>(position - 1)];
    value.is_null = false;
    value.binary = false;
    return value;
}

void db_postgres::bind_blob(int position, const void* bytes, std::size_t length) {
    bound_value& value = prepared_value(position);
    value.bytes.assign(static_cast<const char*>(bytes), length);
    value.binary = true;
}

void db_postgres::bind_text(int position, std::string_view text) {
    prepared_value(position).bytes = std::string(text);
}

void db_postgres::bind_int(int position, std::int64_t value) {
    prepared_value(position).bytes = std::to_string(value);
}

std::unique_ptr<db_recordset> db_postgres::execute_prepared() {
    if (!has_prepared_) throw db_exception(std::string("no statement prepared"));
    has_prepared_ = false;
    auto rows = run(prepared_sql_, prepared_values_, nullptr);
    ++executed_;
    return rows;
}

void db_postgres::resume_keys(const std::string& table) {
    require_open();
    const std::string* key = identity_key(table);
    if (key == nullptr) return;
    // The names come from the server's own list of identity columns.
    query("SELECT setval(pg_get_serial_sequence(?, ?), COALESCE(MAX(" + *key +
              "), 0) + 1, false)"
              " FROM " +
              table,
          {table, *key});
}

std::int64_t db_postgres::last_insert_id() {
    if (last_key_) return *last_key_;
    auto rows = query("SELECT lastval()");
    rows->next();
    return rows->get_int64(0);
}

std::optional<std::pair<std::int64_t, std::int64_t>> db_postgres::change_stamp() {
    // The snapshot lists what had committed when it was taken, so it differs
    // once another connection commits; in a repeatable-read transaction it
    // stays, as the content it shows does.
    auto rows =
        query("SELECT pg_current_snapshot()::text, pg_current_xact_id_if_assigned() IS NOT NULL");
    rows->next();
    if (rows->get_int(1) != 0) return std::nullopt;
    const auto snapshot = static_cast<std::int64_t>(std::hash<std::string>{}(rows->get_string(0)));
    return std::pair{snapshot, executed_};
}

}  // namespace tuv
