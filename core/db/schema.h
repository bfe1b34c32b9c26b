// The vault database's tables and indexes (see docs/schema.md).
#pragma once

namespace tuv {

class db;

// Creates the six tables and the indexes the queries need, in one go. The
// caller holds the transaction.
void create_schema(db& database);

// Written to the database header so that a vault can be told from any other
// SQLite file.
inline constexpr int schema_application_id = 0x51554C4D;  // "QULM"
inline constexpr int schema_version = 1;

}  // namespace tuv
