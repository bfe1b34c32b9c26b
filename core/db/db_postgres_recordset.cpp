#include "core/db/db_postgres_recordset.h"

#include <cstdlib>

#include "core/base/errors.h"
#include "core/db/libpq_api.h"

namespace tuv {
namespace {

// The type identifiers of pg_type that read differently from their text.
constexpr Oid bool_type = 16;
constexpr Oid bytea_type = 17;

}  // namespace

db_postgres_recordset::db_postgres_recordset(pg_result* result)
    : result_(result), rows_(libpq().PQntuples(result)) {}

db_postgres_recordset::~db_postgres_recordset() {
    libpq().PQclear(result_);
}

bool db_postgres_recordset::next() {
    if (row_ < rows_) ++row_;
    return row_ < rows_;
}

bool db_postgres_recordset::prev() {
    throw db_exception(std::string("db_postgres_recordset::prev() : Not implemented yet"));
}

int db_postgres_recordset::column_count() {
    return libpq().PQnfields(result_);
}

std::string db_postgres_recordset::column_name(int index) {
    if (index < 0 || index >= libpq().PQnfields(result_)) {
        throw db_exception("Column index " + std::to_string(index) + " out of range");
    }
    return libpq().PQfname(result_, index);
}

void db_postgres_recordset::require_row(int index) const {
    if (row_ < 0 || row_ >= rows_) throw db_exception(std::string("No current row"));
    if (index < 0 || index >= libpq().PQnfields(result_)) {
        throw db_exception("Column index " + std::to_string(index) + " out of range");
    }
}

std::int64_t db_postgres_recordset::get_int64(int index) {
    require_row(index);
    if (libpq().PQgetisnull(result_, row_, index)) return 0;
    const char* text = libpq().PQgetvalue(result_, row_, index);
    if (libpq().PQftype(result_, index) == bool_type) return text[0] == 't' ? 1 : 0;
    // As SQLite reads a number from text: its leading digits, else 0.
    return std::strtoll(text, nullptr, 10);
}

std::int32_t db_postgres_recordset::get_int(int index) {
    return static_cast<std::int32_t>(get_int64(index));
}

std::string db_postgres_recordset::get_string(int index) {
    require_row(index);
    if (libpq().PQgetisnull(result_, row_, index)) return {};
    const char* text = libpq().PQgetvalue(result_, row_, index);
    const Oid type = libpq().PQftype(result_, index);
    if (type == bool_type) return text[0] == 't' ? "1" : "0";
    if (type == bytea_type && libpq().PQfformat(result_, index) == 1) {
        return std::string(text,
                           static_cast<std::size_t>(libpq().PQgetlength(result_, row_, index)));
    }
    if (type == bytea_type) {
        std::size_t length = 0;
        unsigned char* bytes =
            libpq().PQunescapeBytea(reinterpret_cast<const unsigned char*>(text), &length);
        if (bytes == nullptr) throw db_exception(std::string("out of memory"));
        std::string result(reinterpret_cast<const char*>(bytes), length);
        libpq().PQfreemem(bytes);
        return result;
    }
    return std::string(text, static_cast<std::size_t>(libpq().PQgetlength(result_, row_, index)));
}

bool db_postgres_recordset::is_null(const std::string& name) {
    const int index = find(name);
    require_row(index);
    return libpq().PQgetisnull(result_, row_, index) != 0;
}

int db_postgres_recordset::find(const std::string& name) {
    // PQfnumber folds case and strips quotes; the layer compares exactly.
    if (names_.empty()) {
        const int count = libpq().PQnfields(result_);
        for (int i = 0; i < count; ++i) names_.emplace_back(libpq().PQfname(result_, i));
    }
    for (std::size_t i = 0; i < names_.size(); ++i) {
        if (names_[i] == name) return static_cast<int>(i);
    }
    throw db_exception("Column name '" + name + "' not found");
}

}  // namespace tuv
