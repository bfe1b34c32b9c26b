#include "core/version_reader.h"

#include <optional>

#include "core/container_read.h"
#include "core/db.h"
#include "core/file_io.h"
#include "core/repository.h"

namespace tuv {

struct version_reader::block {
    std::uint64_t offset;
    std::uint64_t size;
    std::string checksum;
    std::int64_t disk_id;
    std::uint64_t physical_offset;
    std::optional<std::filesystem::path> container;  // none: no disk_info row
};

version_reader::version_reader(repository& repo) : repo_(repo) {}

version_reader::~version_reader() = default;

std::uint64_t version_reader::read(std::int64_t file_id, std::time_t when,
                                   const std::function<void(std::span<const std::uint8_t>)>& sink) {
    // One statement for the whole version; it also keeps one snapshot of
    // the vault for the whole read.
    auto rows = repo_.database().query(
        "SELECT bmap.virtual_offset, chunk.size, chunk.checksum, chunk.disk_id,"
        " chunk.physical_offset, disk_info.path AS container"
        " FROM bmap JOIN chunk ON chunk.chunk_id = bmap.chunk_id"
        " LEFT JOIN disk_info ON disk_info.disk_id = chunk.disk_id"
        " WHERE bmap.file_id = ? AND bmap.creation_date <= ?"
        " AND (bmap.deletion_date = 0 OR bmap.deletion_date > ?)"
        " ORDER BY bmap.virtual_offset",
        {file_id, when, when});
    std::uint64_t expected = 0;
    bool any = false;
    while (rows->next()) {
        any = true;
        block b{static_cast<std::uint64_t>(rows->get_int64("virtual_offset")),
                static_cast<std::uint64_t>(rows->get_int64("size")),
                rows->get_string("checksum"),
                rows->get_int64("disk_id"),
                static_cast<std::uint64_t>(rows->get_int64("physical_offset")),
                std::nullopt};
        if (!rows->is_null("container")) b.container = rows->get_string("container");
        // The blocks of a version lie end to end from offset 0.
        if (b.offset > expected) {
            throw_damaged(repo_, file_id, expected, "the version has a gap: no block begins here");
        }
        if (b.offset < expected) {
            throw_damaged(repo_, file_id, b.offset, "the block overlaps the one before it");
        }
        read_one(b, file_id);
        sink(std::span(buffer_.data(), b.size));
        expected = b.offset + b.size;
    }
    if (!any) throw rec_not_found_exception("Couldn't find blocks for fid = " + std::to_string(file_id));
    return expected;
}

void version_reader::read_one(const block& b, std::int64_t file_id) {
    if (!b.container) {
        throw rec_not_found_exception("Couldn't find disk info for disk_id = " +
                                      std::to_string(b.disk_id));
    }
    if (buffer_.size() < b.size) buffer_.resize(b.size);
    auto found = containers_.find(b.disk_id);
    if (found == containers_.end()) {
        found = containers_.emplace(b.disk_id, open_container(repo_, b.disk_id, *b.container)).first;
    }
    read_stored_chunk(repo_, *found->second,
                      {*b.container, b.physical_offset, b.size, b.checksum, file_id, b.offset},
                      buffer_.data());
}

}  // namespace tuv
