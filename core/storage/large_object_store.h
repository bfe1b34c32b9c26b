// The containers of a vault on a database server: each container is a
// PostgreSQL large object, found by its path in the table container_object,
// so the disk table, the chunk rows and every reader keep their meaning.
//
// Writes go through the writer's own connection, inside its transaction: a
// check-in rolled back leaves neither bytes nor objects behind, and a commit
// makes them durable, so there is nothing to sync. Reads go through a
// connection of the store's own, outside any writer's transaction, so they
// see committed bytes only, and may come from two threads at once (one at a
// time on that connection).
#pragma once

#include <filesystem>
#include <memory>
#include <mutex>

#include "core/storage/file_io.h"

namespace tuv {

class db;

class large_object_store : public file_system {
  public:
    // `database` is the vault's connection, borrowed: it must outlive the
    // store and every file it opened. With `reads_soon` (a reader's vault)
    // the reading connection is opened at once, on a thread of its own,
    // while the caller goes on with its first queries: a connection takes
    // the server tens of milliseconds to start.
    explicit large_object_store(db& database, bool reads_soon = false);
    ~large_object_store() override;

    // Makes the table that names the containers, in the caller's
    // transaction: part of making a vault on a server.
    static void create_schema(db& database);

    // read: the committed container; read_write: the container, made in the
    // writer's transaction when it does not exist yet; create_new: a new
    // one. A container that does not exist cannot be read (io_error).
    std::unique_ptr<file_handle> open(const std::filesystem::path& path, open_mode mode) override;
    // Removes the container, in the writer's transaction.
    void remove(const std::filesystem::path& path) override;
    // regular for a container that exists, missing otherwise.
    path_status status(const std::filesystem::path& path) override;
    // Containers are never renamed: an io_error.
    void rename(const std::filesystem::path& from, const std::filesystem::path& to) override;
    void sync_directory(const std::filesystem::path&) override {}
    void copy_permissions(const std::filesystem::path&,
                          const std::filesystem::path&) noexcept override {}

    // The connection reads go through, and what keeps them one at a time.
    struct reading;

  private:
    db& writer_;
    std::unique_ptr<reading> reading_;
};

}  // namespace tuv
