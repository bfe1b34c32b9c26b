// Writing one version of a vault file to a local file.
#pragma once

#include <cstdint>
#include <filesystem>

namespace tuv {

class date;
class file_entry;
class repository;

// Whether a checkout waits until the local file is on disk.
enum class checkout_sync { durable, unsynced };

// Writes the version of the vault file `entry` (of the vault `vault`) at
// `moment` to the local file `destination`, replacing it; a symbolic link
// (chain) to a regular file stays, and the file it ends at is replaced.
// Returns the bytes written. Throws, before anything local is made:
// tuv_error "Attempt to call read() on a directory" for a directory,
// "Cannot write <destination>: it is not a regular file" for a destination
// that exists as anything else (folder, device, FIFO, socket), "Cannot
// write <destination>: it is a symbolic link to a file that does not exist"
// for a dangling link and "Cannot write <destination>: it is one of the
// vault's own files". Then tuv_error "Couldn't open <destination>: <the
// system's reason>" when the folder cannot take the file, and the reading
// errors of version_reader; on any failure the destination is left as it
// was. `sync`: durable waits until the file is on disk; an export of many
// files leaves that to the system, as a copy does.
std::uint64_t checkout(repository& vault, file_entry& entry,
                       const std::filesystem::path& destination, const date& moment,
                       checkout_sync sync = checkout_sync::durable);

// True when the local path names an existing file or folder.
bool file_exists(const std::filesystem::path& path);

}  // namespace tuv
