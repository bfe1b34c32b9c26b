// The vault's writer lock: one writer of a vault at a time.
//
// Every program that writes a vault takes it for as long as it writes:
// `quillmark checkin` does, and so must the check-in program. It is a
// platform::file_lock on "<database>.lock" beside the database, symbolic
// links in the database's path followed, so that every name of one vault
// finds the same lock and two vaults never wait for each other. The lock file
// is made with the database's permissions, so every user who may write the
// vault may take its lock, and nobody who may not.
#pragma once

#include <chrono>
#include <filesystem>
#include <optional>

#include "platform/file_lock.h"

namespace tuv {

inline constexpr const char* writer_lock_suffix = ".lock";

// Waits up to `timeout` for the writer lock of the vault whose database is
// `database` (zero or negative tries once); nullopt when another writer
// keeps it for the whole time. Throws tuv_error naming the file and the
// system's reason when the database or the lock file cannot be reached.
std::optional<platform::file_lock> try_lock_writer(const std::filesystem::path& database,
                                                   std::chrono::milliseconds timeout);

}  // namespace tuv
