// The vault's writer lock: one writer of a vault at a time.
//
// Every program that writes a vault takes it for as long as it writes:
// `quillmark checkin` does, and so must the check-in program. It is a
// platform::file_lock on "<database>.lock" beside the database, symbolic
// links in the database's path followed, so that every name of one vault
// finds the same lock and two vaults never wait for each other. The lock file
// is made with the database's permissions, so every user who may write the
// vault may take its lock, and nobody who may not.
//
// A vault on a database server has no such lock: its writers check in at
// once, and the database makes two writers of one file wait for each other.
#pragma once

#include <chrono>
#include <filesystem>
#include <optional>

#include "platform/file_lock.h"

namespace tuv {

inline constexpr const char* writer_lock_suffix = ".lock";

// What a writer holds while it writes: the lock file of a vault on this
// machine, nothing for a vault on a server. Movable, not copyable.
class writer_lock {
  public:
    writer_lock() = default;
    explicit writer_lock(platform::file_lock file) : file_(std::move(file)) {}

    // Lets the next writer in; does nothing when nothing is held.
    void release() noexcept {
        if (file_) file_->release();
    }

  private:
    std::optional<platform::file_lock> file_;
};

// Waits up to `timeout` for the writer lock of the vault whose database is
// `database` (zero or negative tries once); nullopt when another writer
// keeps it for the whole time. Throws tuv_error naming the file and the
// system's reason when the database or the lock file cannot be reached.
std::optional<writer_lock> try_lock_writer(const std::filesystem::path& database,
                                           std::chrono::milliseconds timeout);

}  // namespace tuv
