// An exclusive flock on one file: what the named mutexes and the vault's
// writer lock (core/writer_lock.h) are made of.
//
// The lock goes with the open file, so it is released when the holder
// releases it, is destroyed or its process dies for any reason; a crashed
// holder never blocks the next one. A second acquire of the same file fails
// even within the holding process. The file is opened for writing, so only
// those who may write it can take the lock, and never through a symbolic
// link. It is never removed: deleting it would let two processes lock
// different files of the same name. The descriptor is close-on-exec, so
// programs started by the holder do not keep the lock; a child forked
// without exec shares it until it exits.
//
// Throws lock_error for system failures other than the lock being held
// elsewhere, naming the file and the system's reason, e.g. "cannot open lock
// file <path>: No such file or directory".
#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>

namespace platform {

class lock_error : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Throws lock_error "cannot <action> <path>: <the system's reason>" for the
// errno value `error`.
[[noreturn]] void fail_lock_io(const std::string& action, const std::filesystem::path& path,
                               int error);

// Owns the lock while held(); movable, not copyable.
class file_lock {
  public:
    // Opens `path`, creating it with exactly the permissions `mode` (umask
    // aside) when it does not exist, and waits up to `timeout` for the lock
    // (zero or negative tries once). nullopt when another holder keeps it
    // for the whole time.
    static std::optional<file_lock> try_acquire(const std::filesystem::path& path,
                                                std::filesystem::perms mode,
                                                std::chrono::milliseconds timeout);

    file_lock(file_lock&& other) noexcept;
    file_lock& operator=(file_lock&& other) noexcept;
    file_lock(const file_lock&) = delete;
    file_lock& operator=(const file_lock&) = delete;
    ~file_lock();

    // False after release() or after being moved from.
    bool held() const { return fd_ >= 0; }
    // Lets the next holder in; does nothing when not held.
    void release() noexcept;

  private:
    explicit file_lock(int fd) : fd_(fd) {}
    int fd_;
};

}  // namespace platform
