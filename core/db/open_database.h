// Opens a vault's database by what its address says: a PostgreSQL
// connection URI ("postgresql://...", "postgres://...") or service
// ("service=NAME") opens a db_postgres, anything else is a SQLite file.
#pragma once

#include <memory>
#include <string>

#include "core/db/db.h"

namespace tuv {

bool is_server_address(const std::string& path);

// Whether a server address carries a password of its own, which nothing of
// ours may keep: libpq finds one in ~/.pgpass, PGPASSFILE or the service file.
bool server_address_has_password(const std::string& address);

// Throws db_exception as the chosen implementation's open() does; in a
// build without PostgreSQL, a server address throws db_exception "This
// build of Quillmark cannot open a PostgreSQL database".
std::unique_ptr<db> open_database(const std::string& path, db_open_mode mode);

}  // namespace tuv
