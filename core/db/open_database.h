// Opens a vault's database by what its address says: a PostgreSQL
// connection URI ("postgresql://...", "postgres://...") or service
// ("service=NAME") opens a db_postgres, anything else is a SQLite file.
#pragma once

#include <memory>
#include <string>

#include "core/db/db.h"

namespace tuv {

bool is_server_address(const std::string& path);

// Throws db_exception as the chosen implementation's open() does; in a
// build without PostgreSQL, a server address throws db_exception "This
// build of Quillmark cannot open a PostgreSQL database".
std::unique_ptr<db> open_database(const std::string& path, db_open_mode mode);

}  // namespace tuv
