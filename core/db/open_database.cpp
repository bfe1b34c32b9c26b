#include "core/db/open_database.h"

#include "core/base/errors.h"
#include "core/db/db_sqlite.h"
#ifdef QUILLMARK_HAS_POSTGRES
#include "core/db/db_postgres.h"
#include "core/db/libpq_api.h"
#endif

namespace tuv {

bool is_server_address(const std::string& path) {
    return path.starts_with("postgresql://") || path.starts_with("postgres://") ||
           path.starts_with("service=");
}

bool server_address_has_password(const std::string& address) {
#ifdef QUILLMARK_HAS_POSTGRES
    PQconninfoOption* options = libpq().PQconninfoParse(address.c_str(), nullptr);
    if (options == nullptr) return false;  // opening it says what is wrong
    bool found = false;
    for (const PQconninfoOption* option = options; option->keyword != nullptr; ++option) {
        if (std::string_view(option->keyword) == "password" && option->val != nullptr &&
            *option->val != '\0') {
            found = true;
        }
    }
    libpq().PQconninfoFree(options);
    return found;
#else
    (void)address;
    return false;
#endif
}

std::unique_ptr<db> open_database(const std::string& path, db_open_mode mode) {
    if (is_server_address(path)) {
#ifdef QUILLMARK_HAS_POSTGRES
        auto database = std::make_unique<db_postgres>();
        database->open(path, mode);
        return database;
#else
        throw db_exception(
            std::string("This build of Quillmark cannot open a PostgreSQL database"));
#endif
    }
    auto database = std::make_unique<db_sqlite>();
    database->open(path, mode);
    return database;
}

}  // namespace tuv
