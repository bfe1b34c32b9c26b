// Where the core's SQL and PostgreSQL's differ. The core writes every
// statement once, in SQLite's dialect; a PostgreSQL connection hands each new
// statement text through postgres_statement() when it prepares it, so the
// callers never see the difference and SQLite's statements stay as written.
#pragma once

#include <string>
#include <string_view>

namespace tuv {

// The PostgreSQL text of a statement written for SQLite:
//   "?" and "?N" placeholders       become $1, $2, ... and $N
//   BEGIN / BEGIN IMMEDIATE         a repeatable-read snapshot / a plain BEGIN
//   INSERT OR IGNORE                INSERT ... ON CONFLICT DO NOTHING
//   LIKE                            ILIKE (SQLite's LIKE ignores case)
//   instr(a, b)                     strpos(a, b)
//   INDEXED BY name                 nothing (the server picks its index)
//   CROSS JOIN t ON ...             INNER JOIN t ON ... (SQLite's fixed order)
//   sqlite_schema                   the same rows from pg_catalog
//   in CREATE TABLE: INTEGER PRIMARY KEY, INTEGER, BLOB
//                                   an identity BIGINT key, BIGINT, BYTEA
// String literals and quoted names pass unchanged.
std::string postgres_statement(std::string_view sqlite_sql);

}  // namespace tuv
