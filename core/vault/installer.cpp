#include "core/vault/installer.h"

#include <cctype>
#include <system_error>
#include <vector>

#include "core/base/date.h"
#include "core/base/errors.h"
#include "core/base/utf8_path.h"
#include "core/db/open_database.h"
#include "core/db/schema.h"
#include "core/db/write_transaction.h"
#include "core/storage/file_io.h"
#include "core/storage/large_object_store.h"
#include "core/storage/vault_folder.h"
#include "core/vault/journal.h"
#include "core/vault/repository.h"

namespace tuv {
namespace fs = std::filesystem;
namespace {

// Folders and files made so far, removed again when installation fails.
class undo_list {
  public:
    ~undo_list() {
        if (committed_) return;
        for (auto it = made_.rbegin(); it != made_.rend(); ++it) {
            std::error_code ignored;
            if (it->is_folder) {
                fs::remove_all(it->path, ignored);
            } else {
                fs::remove(it->path, ignored);  // never a folder of someone else's
            }
        }
    }
    void made_folder(const fs::path& path) { made_.push_back({path, true}); }
    void made_file(const fs::path& path) { made_.push_back({path, false}); }
    void commit() { committed_ = true; }

  private:
    struct made_path {
        fs::path path;
        bool is_folder;
    };
    std::vector<made_path> made_;
    bool committed_ = false;
};

void make_folder(const fs::path& folder, undo_list& undo) {
    std::error_code error;
    if (fs::is_directory(folder, error)) return;
    // Remember the outermost folder that did not exist, so that undo removes
    // exactly what installation added.
    fs::path first_missing = folder;
    while (first_missing.has_parent_path() && first_missing.parent_path() != first_missing &&
           !fs::exists(first_missing.parent_path(), error)) {
        first_missing = first_missing.parent_path();
    }
    if (!fs::create_directories(folder, error) && error) {
        throw tuv_error("Cannot create the folder " + utf8_of(folder) + ": " + error.message());
    }
    undo.made_folder(first_missing);
}

void sync_folder(const fs::path& folder) {
    file_system::local().sync_directory(folder);
}

void refuse_existing_vault(const vault_layout& layout) {
    std::error_code error;
    for (const fs::path& part : {layout.database, layout.data}) {
        if (fs::exists(part, error)) {
            throw tuv_error("The folder " + utf8_of(layout.directory) + " already holds a vault (" +
                            utf8_of(part) + " exists); nothing was changed");
        }
    }
}

void write_settings(db& database, const vault_options& options, const std::string& data_directory) {
    const auto put = [&](const char* key, const std::string& value) {
        database.execute("INSERT INTO settings(key, value) VALUES(?, ?)", {key, value});
    };
    put(setting_key::path_separator, options.separator);
    put(setting_key::data_directory, data_directory);
    put(setting_key::chunk_max_size, std::to_string(options.chunks.max_size));
    put(setting_key::chunk_min_size, std::to_string(options.chunks.min_size));
    put(setting_key::chunk_win_size, std::to_string(options.chunks.win_size));
    put(setting_key::chunk_anchor, std::to_string(options.chunks.anchor));
    put(setting_key::default_disk_size, std::to_string(options.container_size));
    put(setting_key::compression, to_text(options.compression));
    put(setting_key::compressed_codec, std::to_string(newest_compressed_codec));
}

// The root directory is named by the separator itself, so that full paths
// come out as the separator followed by the names.
void write_root_entry(db& database, const std::string& separator) {
    const date now("now");
    database.execute(
        "INSERT INTO file_info(path, size, parent_id, creation_time, last_access_time,"
        " modification_time, mime_type) VALUES(?, 10, 0, ?, ?, ?, 'directory')",
        {separator, now.seconds(), now.seconds(), now.seconds()});
    const std::int64_t root_id = database.last_insert_id();
    journal(&database).insert_change(root_id, CHANGE_CREATED, now, "", "");
}

void create_database(const fs::path& file, const vault_options& options,
                     const vault_layout& layout) {
    const std::unique_ptr<db> opened = open_database(utf8_of(file), db_open_mode::create);
    db& database = *opened;
    // Pragmas that change the file's mode cannot run inside a transaction.
    database.set_transactional(false);
    // WAL lets readers go on while the one writer checks files in; the mode
    // is kept in the file, so every later connection uses it.
    auto mode = database.query("PRAGMA journal_mode=WAL");
    if (!mode->next() || mode->get_string(0) != "wal") {
        throw tuv_error(std::string("the file system does not support write-ahead logging"));
    }
    mode.reset();
    database.execute("PRAGMA application_id=" + std::to_string(schema_application_id));
    database.execute("PRAGMA user_version=" + std::to_string(schema_version));

    // Schema, settings and root entry go in together; the guard begins a
    // transaction only while per-statement ones are on.
    database.set_transactional(true);
    write_transaction transaction(database);
    create_schema(database);
    // Relative to the vault's folder, so that the folder can be copied whole.
    write_settings(database, options, stored_path(layout.directory, layout.data));
    write_root_entry(database, options.separator);
    transaction.commit();
    database.close();
}

}  // namespace

vault_layout::vault_layout(const fs::path& dir)
    : directory(dir), database(dir / "quillmark.db"), data(dir / "data"), temp(dir / "tmp") {}

void validate(const vault_options& options) {
    const std::string& s = options.separator;
    const bool usable = s.size() == 1 && std::isgraph(static_cast<unsigned char>(s[0])) &&
                        !std::isalnum(static_cast<unsigned char>(s[0])) && s[0] != '%' &&
                        s[0] != '_';
    if (!usable) {
        throw tuv_error("Invalid path separator \"" + s +
                        "\": it must be one printable character other than a letter, a digit, "
                        "\"%\" or \"_\"");
    }
    validate(options.chunks);
    if (options.container_size == 0 || options.container_size > INT64_MAX) {
        throw tuv_error("Invalid setting default_disk_size = \"" +
                        std::to_string(options.container_size) + "\": it must be between 1 and " +
                        std::to_string(INT64_MAX));
    }
    // Read back as the programs read it: a level out of range is refused.
    parse_compression(to_text(options.compression), default_compression_level);
    if (options.directory.empty()) throw tuv_error(std::string("No vault folder was given"));
}

vault_layout install_vault(const vault_options& options) {
    validate(options);
    const vault_layout layout(fs::absolute(options.directory).lexically_normal());
    refuse_existing_vault(layout);

    undo_list undo;
    make_folder(layout.directory, undo);

    // The database is built under a temporary name and renamed into place
    // only when complete, so a vault is never found half-made.
    const auto with_suffix = [](fs::path path, const char* suffix) { return path += suffix; };
    const fs::path partial = with_suffix(layout.database, ".partial");
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
        std::error_code ignored;
        fs::remove(with_suffix(partial, suffix), ignored);
    }
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
        undo.made_file(with_suffix(partial, suffix));
    }
    try {
        create_database(partial, options, layout);
    } catch (const tuv_error& e) {
        throw tuv_error("Cannot create the vault database " + utf8_of(layout.database) + ": " +
                        e.what());
    }

    make_folder(layout.data, undo);
    make_folder(layout.temp, undo);

    std::error_code error;
    fs::rename(partial, layout.database, error);
    if (error) {
        throw tuv_error("Cannot create the vault database " + utf8_of(layout.database) + ": " +
                        error.message());
    }
    sync_folder(layout.directory);
    undo.commit();
    return layout;
}

vault_layout install_server_vault(const std::string& address, const vault_options& options) {
    validate(options);
    const vault_layout layout(fs::absolute(options.directory).lexically_normal());
    const std::unique_ptr<db> database = open_database(address, db_open_mode::existing);
    if (const std::string table = existing_vault_table(*database); !table.empty()) {
        throw tuv_error("The database " + database->name() + " already holds a vault (it has a " +
                        table + " table); nothing was changed");
    }
    undo_list undo;
    make_folder(layout.temp, undo);
    {
        write_transaction transaction(*database);
        create_schema(*database);
        large_object_store::create_schema(*database);
        write_settings(*database, options, server_containers_name);
        write_root_entry(*database, options.separator);
        transaction.commit();
    }
    undo.commit();
    return layout;
}

vault_layout join_server_vault(const std::string& address, const std::filesystem::path& directory) {
    const vault_layout layout(fs::absolute(directory).lexically_normal());
    repository(address, repository::access::read_only);
    std::error_code error;
    if (!fs::is_directory(layout.temp, error)) {
        undo_list undo;
        make_folder(layout.temp, undo);
        undo.commit();
    }
    return layout;
}

}  // namespace tuv
