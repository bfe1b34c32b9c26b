// What file_lock asks of the system, one implementation per system
// (file_lock.cpp, file_lock_win.cpp); file_lock_common.cpp holds the rest.
// Each throws lock_error as file_lock.h says.
#pragma once

#include <filesystem>

namespace platform::lock_file {

// Opens `path` for writing, creating it with `mode` when missing; a
// descriptor that close() takes.
int open(const std::filesystem::path& path, std::filesystem::perms mode);

// True when the lock was taken, false when someone else holds it.
bool try_lock(int fd, const std::filesystem::path& path);

// Closing the file drops its lock.
void close(int fd) noexcept;

}  // namespace platform::lock_file
