#include "core/storage/disk_manager.h"

#include <string>

#include "core/base/utf8_path.h"
#include "core/db/db.h"
#include "core/storage/vault_folder.h"

namespace tuv {

std::string short_container_text(std::int64_t disk_id, const std::filesystem::path& path,
                                 std::uint64_t length, std::uint64_t reach) {
    return "container " + std::to_string(disk_id) + " (" + utf8_of(path) + ") is " +
           std::to_string(length) + " bytes long, but its chunks reach " + std::to_string(reach);
}

disk_manager::disk_manager(db& database, std::uint64_t container_size,
                           std::filesystem::path data_directory, std::filesystem::path vault_folder)
    : database_(database),
      container_size_(container_size),
      data_directory_(std::move(data_directory)),
      vault_folder_(std::move(vault_folder)) {}

std::filesystem::path disk_manager::container_path(const std::filesystem::path& data_directory,
                                                   std::int64_t disk_id) {
    return data_directory / path_from_utf8("tuv_s" + std::to_string(disk_id));
}

chunk_location disk_manager::allocate(std::uint64_t size) {
    const auto n = static_cast<std::int64_t>(size);
    if (!containers_) {
        containers_.emplace();
        // Where other writers work at once, each takes the containers no
        // other one holds, and keeps them until it commits: two never
        // reserve the same bytes.
        auto rows = database_.query(
            std::string("SELECT disk_id, path, total_size, free_size FROM disk_info ORDER BY "
                        "disk_id") +
            (database_.many_writers() ? " FOR UPDATE SKIP LOCKED" : ""));
        while (rows->next()) {
            containers_->push_back({rows->get_int64("disk_id"),
                                    local_path(vault_folder_, rows->get_string("path")),
                                    rows->get_int64("total_size"), rows->get_int64("free_size")});
        }
    }
    chunk_location where;
    // The oldest container with room: a full one keeps taking chunks small
    // enough for what it has left.
    for (container& c : *containers_) {
        if (c.free_size < n) continue;
        where.disk_id = c.disk_id;
        where.container = c.path;
        where.offset = static_cast<std::uint64_t>(c.total_size - c.free_size);
        c.free_size -= n;
        c.unrecorded = true;
        return where;
    }
    const auto capacity = static_cast<std::int64_t>(container_size_);
    // Free space goes negative for a chunk larger than a container, so that
    // container is never chosen again.
    database_.execute("INSERT INTO disk_info(path, total_size, free_size) VALUES('TMP', ?, ?)",
                      {capacity, capacity - n});
    where.disk_id = database_.last_insert_id();
    where.container = container_path(data_directory_, where.disk_id);
    where.new_container = true;
    database_.execute("UPDATE disk_info SET path = ? WHERE disk_id = ?",
                      {stored_path(vault_folder_, where.container), where.disk_id});
    containers_->push_back({where.disk_id, where.container, capacity, capacity - n});
    return where;
}

void disk_manager::record_free_space() {
    if (!containers_) return;
    for (container& c : *containers_) {
        if (!c.unrecorded) continue;
        database_.execute("UPDATE disk_info SET free_size = ? WHERE disk_id = ?",
                          {c.free_size, c.disk_id});
        c.unrecorded = false;
    }
}

}  // namespace tuv
