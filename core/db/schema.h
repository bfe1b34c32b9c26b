// The vault database's tables and indexes (see docs/schema.md).
#pragma once

#include <string>

namespace tuv {

class db;

// Creates the six tables and the indexes the queries need, in one go. The
// caller holds the transaction.
void create_schema(db& database);

// The first of the vault's tables that the database already holds, or empty
// when it holds none of them.
std::string existing_vault_table(db& database);

// Whether the chunk table has the stored_size and codec columns. A vault
// made before chunks could be compressed has neither; it is never altered,
// as it only ever stores raw chunks (docs/schema.md).
bool has_stored_form_columns(db& database);

// Whether the chunk table has the frame_offset column, which vaults made
// before chunks could share a frame lack; they are never altered either.
bool has_frame_offset_column(db& database);

// Written to the database header so that a vault can be told from any other
// SQLite file.
inline constexpr int schema_application_id = 0x51554C4D;  // "QULM"
inline constexpr int schema_version = 1;

}  // namespace tuv
