// build_search_query: the fuzz data is the format and then the arguments,
// separated by NULs. Properties: it either fails with one of its three
// messages or gives a statement with one "?" per parameter that SQLite
// accepts and runs against the vault schema (no injected text can break
// it, since arguments are bound). Limits of SQLite itself (nesting deeper
// than its parser takes) are database failures, not translation faults.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/base/errors.h"
#include "core/db/db_sqlite.h"
#include "core/db/schema.h"
#include "core/vault/search.h"
#include "fuzz/fuzz_check.h"

namespace {

tuv::db& schema_database() {
    static const std::unique_ptr<tuv::db_sqlite> database = [] {
        auto d = std::make_unique<tuv::db_sqlite>();
        d->open(":memory:", tuv::db_open_mode::create);
        tuv::create_schema(*d);
        return d;
    }();
    return *database;
}

bool sqlite_limit(std::string_view message) {
    for (const char* limit : {"parser stack overflow", "Expression tree is too large",
                              "too many SQL variables"}) {
        if (message.find(limit) != std::string_view::npos) return true;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> parts{std::string()};
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            parts.emplace_back();
        } else {
            parts.back() += static_cast<char>(data[i]);
        }
    }
    const std::string format = parts.front();
    const std::vector<std::string> arguments(parts.begin() + 1, parts.end());

    tuv::search_query query;
    try {
        query = tuv::build_search_query(format, arguments);
    } catch (const tuv::tuv_error& e) {
        const std::string_view message = e.what();
        FUZZ_CHECK(message == "Unknown format specifier in the search format string" ||
                   message == "search: invalid number of arguments" ||
                   message == "search: malformed format");
        return 0;
    }

    std::size_t marks = 0;
    for (const char c : query.sql) marks += c == '?' ? 1 : 0;
    FUZZ_CHECK(marks == query.params.size());

    std::vector<tuv::db_param> params;
    for (const auto& p : query.params) {
        if (const auto* number = std::get_if<std::int64_t>(&p)) {
            params.emplace_back(*number);
        } else {
            params.emplace_back(std::get<std::string>(p));
        }
    }
    try {
        auto rows = schema_database().query(query.sql, params);
        while (rows->next()) {
        }
    } catch (const std::exception& e) {
        FUZZ_CHECK(sqlite_limit(e.what()));
    }
    return 0;
}
