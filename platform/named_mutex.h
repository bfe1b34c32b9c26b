// A system-wide mutex identified by name, standing in for a Windows named
// mutex so that only one writer program works on a vault at a time.
//
// The mutex is an exclusive flock on "<dir>/<name>.lock", where <dir> is
// $XDG_RUNTIME_DIR when that is an absolute path, else the system temporary
// directory. The lock goes with the open file, so it is released when the
// holder releases it, is destroyed or its process dies for any reason; a
// crashed writer never blocks the next one. A second acquire of the same name
// fails even within the holding process. The lock file is never removed:
// deleting it would let two processes lock different files of the same name.
// The descriptor is close-on-exec, so programs started by the holder do not
// keep the lock; a child forked without exec shares it until it exits.
//
// Names may hold only ASCII letters, digits, '_', '-' and '.', and must not be
// empty. Everything here throws named_mutex_error for an invalid name
// ("invalid mutex name \"<name>\"") and for system failures other than the
// mutex being held elsewhere, naming the file and the system's reason, e.g.
// "cannot open lock file <path>: No such file or directory".
#pragma once

#include <chrono>
#include <optional>
#include <stdexcept>
#include <string>

namespace platform {

// The mutex that serialises check-ins.
inline constexpr const char* checkin_mutex_name = "Quillmark_CheckinMARROWGATE";

class named_mutex_error : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Owns the lock while held(); movable, not copyable.
class named_mutex {
  public:
    // Waits up to timeout for the mutex (zero or negative tries once).
    // nullopt when another holder keeps it for the whole time.
    static std::optional<named_mutex> try_acquire(const std::string& name,
                                                  std::chrono::milliseconds timeout);

    named_mutex(named_mutex&& other) noexcept;
    named_mutex& operator=(named_mutex&& other) noexcept;
    named_mutex(const named_mutex&) = delete;
    named_mutex& operator=(const named_mutex&) = delete;
    ~named_mutex();

    // False after release() or after being moved from.
    bool held() const { return fd_ >= 0; }
    // Lets the next holder in; does nothing when not held.
    void release() noexcept;

  private:
    explicit named_mutex(int fd) : fd_(fd) {}
    int fd_;
};

}  // namespace platform
