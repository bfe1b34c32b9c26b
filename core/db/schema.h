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

// Which of the later columns the chunk table has. A vault made before chunks
// could be compressed has neither stored_size nor codec, and one made before
// chunks could share a frame has no frame_offset; neither is ever altered
// (docs/schema.md).
struct chunk_columns {
    bool stored_form = false;  // stored_size and codec
    bool frame_offset = false;
};
chunk_columns read_chunk_columns(db& database);

// Written to the database header so that a vault can be told from any other
// SQLite file.
inline constexpr int schema_application_id = 0x51554C4D;  // "QULM"
inline constexpr int schema_version = 1;

}  // namespace tuv
