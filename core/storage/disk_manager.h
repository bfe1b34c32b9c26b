// Chooses where new chunk bytes go: the first free byte of a container file
// with room for them, or a new container when none has. Keeps `disk_info`
// up to date; the caller writes the bytes (see docs/storage.md).
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tuv {

class db;

struct chunk_location {
    std::int64_t disk_id = 0;
    std::uint64_t offset = 0;         // where the bytes begin in the container
    std::filesystem::path container;  // the container file, as a local path
    bool new_container = false;       // registered by this allocation
};

// The problem of a container file shorter than the furthest byte its chunks
// use, as every reader and writer words it: "container <id> (<path>) is
// <length> bytes long, but its chunks reach <reach>".
std::string short_container_text(std::int64_t disk_id, const std::filesystem::path& path,
                                 std::uint64_t length, std::uint64_t reach);

class disk_manager {
  public:
    // `database` is borrowed and must outlive the manager. New containers
    // hold `container_size` bytes and lie in `data_directory`. Container
    // paths are stored relative to `vault_folder` when they lie inside it
    // (core/vault_folder.h).
    disk_manager(db& database, std::uint64_t container_size, std::filesystem::path data_directory,
                 std::filesystem::path vault_folder);

    // Reserves `size` bytes inside the caller's transaction. A chunk larger
    // than a container gets a container of its own. The containers are
    // read once, at the first allocation: the manager must not outlive the
    // transaction (no other writer changes the containers it read: a server's
    // writers each lock theirs). A new
    // container's row is written at once; the free space that later
    // allocations take is kept here until record_free_space().
    chunk_location allocate(std::uint64_t size);

    // Writes the free space of every container allocated from since the
    // last call into `disk_info`, in the caller's transaction: once per
    // container and transaction rather than once per chunk. Call it before
    // the transaction commits.
    void record_free_space();

    // The container file of a disk id: "tuv_s" and the id, in the data folder.
    static std::filesystem::path container_path(const std::filesystem::path& data_directory,
                                                std::int64_t disk_id);

  private:
    struct container {
        std::int64_t disk_id;
        std::filesystem::path path;  // local
        std::int64_t total_size;
        std::int64_t free_size;  // negative for a container a chunk overfilled
        bool unrecorded = false;  // free_size is not in disk_info yet
    };

    db& database_;
    std::optional<std::vector<container>> containers_;  // in disk_id order
    std::uint64_t container_size_;
    std::filesystem::path data_directory_;
    std::filesystem::path vault_folder_;
};

}  // namespace tuv
