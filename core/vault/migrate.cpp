#include "core/vault/migrate.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <vector>

#include "core/base/errors.h"
#include "core/base/utf8_path.h"
#include "core/db/db.h"
#include "core/db/open_database.h"
#include "core/db/schema.h"
#include "core/db/settings.h"
#include "core/db/write_transaction.h"
#include "core/storage/disk_manager.h"
#include "core/storage/file_io.h"
#include "core/storage/large_object_store.h"
#include "core/storage/vault_folder.h"
#include "core/vault/installer.h"
#include "core/vault/repository.h"

namespace tuv {
namespace {

// A row as read: its columns' names and, for each, its text or nothing.
struct row_values {
    std::vector<std::string> names;
    std::vector<std::optional<std::string>> values;
};

// Inserts the row into `table`, a NULL written as such (a value would be
// bound as text, which the server takes for any column type but not as
// NULL).
void insert_row(db& target, const std::string& table, const row_values& row) {
    std::string sql = "INSERT INTO " + table + "(";
    std::string marks;
    std::vector<db_param> params;
    for (std::size_t i = 0; i < row.names.size(); ++i) {
        sql += (i == 0 ? "" : ", ") + row.names[i];
        marks += i == 0 ? "" : ", ";
        if (row.values[i]) {
            marks += "?";
            params.emplace_back(*row.values[i]);
        } else {
            marks += "NULL";
        }
    }
    target.execute(sql + ") VALUES(" + marks + ")", db_params(params));
}

// Copies every row of `table`; `change` may alter each before it goes in,
// or return false to leave it out. Returns the rows copied.
template <typename Change>
std::uint64_t copy_rows(db& source, db& target, const std::string& table, Change change) {
    auto rows = source.query("SELECT * FROM " + table);
    row_values row;
    for (int i = 0; i < rows->column_count(); ++i) row.names.push_back(rows->column_name(i));
    std::uint64_t copied = 0;
    while (rows->next()) {
        row.values.clear();
        for (int i = 0; i < rows->column_count(); ++i) {
            if (rows->is_null(row.names[static_cast<std::size_t>(i)])) {
                row.values.emplace_back();
            } else {
                row.values.emplace_back(rows->get_string(i));
            }
        }
        if (!change(row)) continue;
        insert_row(target, table, row);
        ++copied;
    }
    target.resume_keys(table);
    return copied;
}

std::string& value_of(row_values& row, const std::string& name) {
    const auto at = std::ranges::find(row.names, name) - row.names.begin();
    return *row.values[static_cast<std::size_t>(at)];
}

}  // namespace

migrate_counts migrate_vault(repository& source, const std::string& address) {
    const std::unique_ptr<db> target = open_database(address, db_open_mode::existing);
    if (const std::string table = existing_vault_table(*target); !table.empty()) {
        throw tuv_error("The database " + target->name() + " already holds a vault (it has a " +
                        table + " table); nothing was changed");
    }
    db& from = source.database();
    migrate_counts counts;
    write_transaction transaction(*target);
    create_schema(*target);
    large_object_store::create_schema(*target);

    const auto keep = [](row_values&) { return true; };
    // The containers' name on the server replaces the local data folder.
    counts.rows += copy_rows(from, *target, "settings", [](row_values& row) {
        return value_of(row, "key") != setting_key::data_directory;
    });
    target->execute("INSERT INTO settings(key, value) VALUES(?, ?)",
                    {setting_key::data_directory, server_containers_name});
    for (const char* table : {"file_info", "journal", "chunk", "bmap"}) {
        counts.rows += copy_rows(from, *target, table, keep);
    }

    large_object_store containers(*target);
    std::vector<std::uint8_t> piece(8 << 20);
    counts.rows += copy_rows(from, *target, "disk_info", [&](row_values& row) {
        const std::string id = value_of(row, "disk_id");
        const std::filesystem::path local = local_path(source.folder(), value_of(row, "path"));
        const std::filesystem::path stored =
            disk_manager::container_path(server_containers_name, std::stoll(id));
        std::unique_ptr<file_handle> in;
        try {
            in = source.files().open(local, open_mode::read);
        } catch (const io_error& e) {
            throw tuv_error("Cannot copy container " + id + " (" + utf8_of(local) +
                            "): " + e.what());
        }
        const std::unique_ptr<file_handle> out = containers.open(stored, open_mode::create_new);
        for (std::uint64_t at = 0;;) {
            const std::size_t n = in->read_at(at, piece.data(), piece.size());
            if (n == 0) break;
            out->write_at(at, piece.data(), n);
            at += n;
            counts.bytes += n;
        }
        ++counts.containers;
        value_of(row, "path") = utf8_of(stored);
        return true;
    });
    transaction.commit();
    return counts;
}

}  // namespace tuv
