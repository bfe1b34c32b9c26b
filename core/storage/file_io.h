// The one seam through which the core reads and writes files: local files
// being checked in or out and the container files. Production uses the POSIX
// implementation; tests wrap it to make any call fail (no space, I/O error,
// a failed sync) and prove that nothing is lost or half-written.
//
// Offsets and sizes are 64-bit. Every failure throws io_error naming the
// path, the operation and the system's reason.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

#include "core/base/errors.h"

namespace tuv {

class io_error : public tuv_error {
  public:
    using tuv_error::tuv_error;
    io_error(const std::string& what, std::error_code reason) : tuv_error(what), reason_(reason) {}

    // The system's reason, when the failure had one.
    std::error_code reason() const noexcept { return reason_; }

  private:
    std::error_code reason_;
};

// An open file. Not shared between threads.
class file_handle {
  public:
    virtual ~file_handle() = default;

    // Reads up to `size` bytes at `offset`; fewer only at the end of the file.
    virtual std::size_t read_at(std::uint64_t offset, void* data, std::size_t size) = 0;
    // Writes all `size` bytes at `offset`, growing the file as needed.
    virtual void write_at(std::uint64_t offset, const void* data, std::size_t size) = 0;
    // Makes everything written so far durable (fsync).
    virtual void sync() = 0;
    // A hint: start writing this range to disk now, without waiting, so a
    // later sync() has less left to do. Never fails.
    virtual void start_writeback(std::uint64_t /*offset*/, std::uint64_t /*size*/) {}
    // Cuts the file to `size` bytes.
    virtual void truncate(std::uint64_t size) = 0;
    virtual std::uint64_t size() = 0;
    virtual const std::filesystem::path& path() const = 0;
};

enum class open_mode {
    read,        // an existing regular file, read only (never waits on a FIFO)
    read_write,  // an existing file, or a new one (mode 0600 as umask allows)
    create_new,  // a new file that must not exist yet (mode 0600 as umask allows)
};

// What a local path names once symbolic links are followed.
enum class path_kind {
    missing,        // nothing, not even a link, or a path that cannot be reached
    regular,        // a regular file, or a link (chain) ending at one
    dangling_link,  // a link (chain) ending at nothing
    other,          // a folder, device, FIFO or socket, or a link to one
};

// Which file or folder a path names, links followed: the same for every
// path to it (links, hard links, other names of a folder on the way); all
// zero for a path that names nothing.
struct file_identity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool operator==(const file_identity&) const = default;
};

struct path_status {
    path_kind kind;
    // For a regular file: the file itself, every link in the path followed;
    // else the path as given.
    std::filesystem::path target;
    // What the path names, links followed (folders included); all zero for
    // a missing path or a dangling link.
    file_identity identity;
};

class file_system {
  public:
    virtual ~file_system() = default;

    virtual std::unique_ptr<file_handle> open(const std::filesystem::path& path,
                                              open_mode mode) = 0;
    // Makes the names in a folder durable (after a file was created,
    // renamed or removed in it).
    virtual void sync_directory(const std::filesystem::path& folder) = 0;
    // Replaces `to` by `from` in one step.
    virtual void rename(const std::filesystem::path& from, const std::filesystem::path& to) = 0;
    // Removes a file; a file that is not there is no error.
    virtual void remove(const std::filesystem::path& path) = 0;
    // What `path` names (see path_kind). A link that cannot be followed (a
    // loop, a folder on its way that cannot be searched) is an io_error.
    virtual path_status status(const std::filesystem::path& path) = 0;
    // Gives `to` the permission bits of `from`. Best effort: a file whose
    // permissions cannot be read or set keeps its own.
    virtual void copy_permissions(const std::filesystem::path& from,
                                  const std::filesystem::path& to) noexcept = 0;

    // The real file system of this machine.
    static file_system& local();
};

}  // namespace tuv
