#include "core/db/schema.h"

#include "core/db/db.h"

namespace tuv {

void create_schema(db& database) {
    // Integer primary keys are assigned by SQLite and only grow, because no
    // row is ever deleted.
    static const char* const statements[] = {
        "CREATE TABLE file_info("
        " file_id INTEGER PRIMARY KEY,"
        " path TEXT NOT NULL,"
        " size INTEGER NOT NULL DEFAULT 0,"
        " parent_id INTEGER NOT NULL,"
        " creation_time INTEGER NOT NULL,"
        " last_access_time INTEGER NOT NULL,"
        " modification_time INTEGER NOT NULL,"
        " mime_type TEXT NOT NULL)",
        "CREATE INDEX file_info_by_parent ON file_info(parent_id, path)",
        "CREATE INDEX file_info_by_name ON file_info(path)",

        "CREATE TABLE journal("
        " id INTEGER PRIMARY KEY,"
        " inode INTEGER NOT NULL,"
        " changetype INTEGER NOT NULL,"
        " year INTEGER NOT NULL, month INTEGER NOT NULL, day INTEGER NOT NULL,"
        " hour INTEGER NOT NULL, minute INTEGER NOT NULL, second INTEGER NOT NULL,"
        " src_path TEXT NOT NULL DEFAULT '',"
        " attributes TEXT NOT NULL DEFAULT '')",
        "CREATE INDEX journal_by_inode ON journal(inode)",
        "CREATE INDEX journal_by_date ON journal(year, month, day)",

        "CREATE TABLE chunk("
        " chunk_id INTEGER PRIMARY KEY,"
        " checksum TEXT NOT NULL,"
        " disk_id INTEGER NOT NULL,"
        " physical_offset INTEGER NOT NULL,"
        " size INTEGER NOT NULL,"
        " refcount INTEGER NOT NULL,"
        // How the bytes lie in the container; NULL for a raw chunk.
        " stored_size INTEGER,"
        " codec INTEGER,"
        // Where the chunk begins in its frame's content, for a chunk that
        // shares a frame with others; NULL otherwise.
        " frame_offset INTEGER)",
        "CREATE INDEX chunk_by_checksum ON chunk(checksum)",

        "CREATE TABLE bmap("
        " block_id INTEGER PRIMARY KEY,"
        " file_id INTEGER NOT NULL,"
        " chunk_id INTEGER NOT NULL,"
        " creation_date INTEGER NOT NULL,"
        " deletion_date INTEGER NOT NULL DEFAULT 0,"
        " virtual_offset INTEGER NOT NULL)",
        "CREATE INDEX bmap_by_file ON bmap(file_id, virtual_offset)",
        // The live blocks alone: a check-in looks up only these, however
        // many versions lie underneath.
        "CREATE INDEX bmap_live ON bmap(file_id, virtual_offset) WHERE deletion_date = 0",

        "CREATE TABLE disk_info("
        " disk_id INTEGER PRIMARY KEY,"
        " path TEXT NOT NULL,"
        " total_size INTEGER NOT NULL,"
        " free_size INTEGER NOT NULL)",

        // The programs create this one themselves when it is missing, with
        // the same statement.
        "CREATE TABLE IF NOT EXISTS settings(key TEXT PRIMARY KEY, value TEXT)",
    };
    for (const char* statement : statements) database.execute(statement);
}

std::string existing_vault_table(db& database) {
    for (const char* table : {"settings", "file_info", "journal", "chunk", "bmap", "disk_info"}) {
        auto rows = database.query("SELECT 1 FROM sqlite_schema WHERE type = 'table' AND name = ?",
                                   {table});
        if (rows->next()) return table;
    }
    return {};
}

chunk_columns read_chunk_columns(db& database) {
    // The columns of an empty result rather than the catalogue's rows: the
    // programs read the chunk table anyway, while a new server session's
    // first look into the catalogue costs milliseconds.
    auto rows = database.query("SELECT * FROM chunk LIMIT 0", {});
    bool stored_size = false;
    bool codec = false;
    chunk_columns found;
    for (int i = 0; i < rows->column_count(); ++i) {
        const std::string name = rows->column_name(i);
        stored_size = stored_size || name == "stored_size";
        codec = codec || name == "codec";
        found.frame_offset = found.frame_offset || name == "frame_offset";
    }
    found.stored_form = stored_size && codec;
    return found;
}

}  // namespace tuv
