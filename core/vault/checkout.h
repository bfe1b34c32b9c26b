// Writing one version of a vault file to a local file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>

namespace tuv {

class date;
class file_entry;
class file_handle;
class file_system;
class own_files;
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
// files leaves that to the system, as a copy does. `own`: as for
// checkout_target().
std::uint64_t checkout(repository& vault, file_entry& entry,
                       const std::filesystem::path& destination, const date& moment,
                       checkout_sync sync = checkout_sync::durable, own_files* own = nullptr);

// The checks checkout() makes before anything local is made, with the same
// errors: returns the file that writing to `destination` replaces. `own`,
// when given, is the vault's own files as the caller looked them up once
// for many destinations (an export's); otherwise they are looked up here.
std::filesystem::path checkout_target(repository& vault, const file_entry& entry,
                                      const std::filesystem::path& destination,
                                      own_files* own = nullptr);

// A file written beside `target` (checkout_target()) that replaces it only
// once complete: dropped before commit(), it leaves nothing behind.
class replacement_file {
  public:
    // Opens the temporary file. Throws tuv_error "Couldn't open <destination>:
    // <the system's reason>" when the folder cannot take it.
    replacement_file(file_system& files, std::filesystem::path target,
                     const std::filesystem::path& destination);
    ~replacement_file();
    replacement_file(const replacement_file&) = delete;
    replacement_file& operator=(const replacement_file&) = delete;

    // Appends bytes; the new file takes the permissions of the one it
    // replaces (a new one is private to its owner).
    void write(std::span<const std::uint8_t> bytes);
    std::uint64_t written() const { return written_; }
    // Puts the file in the target's place.
    void commit(checkout_sync sync);

  private:
    file_system& files_;
    std::filesystem::path target_;
    std::filesystem::path partial_;
    std::unique_ptr<file_handle> out_;
    std::uint64_t written_ = 0;
    bool committed_ = false;
};

// True when the local path names an existing file or folder.
bool file_exists(const std::filesystem::path& path);

}  // namespace tuv
