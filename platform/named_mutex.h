// A mutex identified by name, standing in for a Windows named mutex: the
// check-in program's single instance per user.
//
// It does not keep writers of a vault apart: every program that writes a
// vault (`quillmark checkin`, the check-in program) takes that vault's writer
// lock (core/writer_lock.h) for as long as it writes, so that two vaults never
// wait for each other and every user who may write a vault can take its lock.
//
// The mutex is a file_lock (platform/file_lock.h: how long it is held, what
// happens when the holder dies) on "<dir>/<name>.lock", where <dir> is
// $XDG_RUNTIME_DIR when that is an absolute path, else this user's own folder
// "quillmark-<uid>" in the system temporary directory, made with mode 0700
// when missing. A mutex is therefore one per user: another user's holder
// neither blocks nor denies this one.
//
// Names may hold only ASCII letters, digits, '_', '-' and '.', and must not be
// empty. Everything here throws named_mutex_error for an invalid name
// ("invalid mutex name \"<name>\""), for a per-user folder that is a link, is
// not this user's or is open to others ("unsafe lock folder <path>: it must be
// a folder of this user's own, not a link, closed to other users"), and for
// system failures other than the mutex being held elsewhere, naming the file
// and the system's reason, e.g. "cannot open lock file <path>: No such file
// or directory".
#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "platform/file_lock.h"

namespace platform {

// The check-in program's single-instance mutex.
inline constexpr const char* checkin_mutex_name = "Quillmark_CheckinMARROWGATE";

using named_mutex_error = lock_error;

// Owns the lock while held(); movable, not copyable.
class named_mutex {
  public:
    // Waits up to timeout for the mutex (zero or negative tries once).
    // nullopt when another holder keeps it for the whole time.
    static std::optional<named_mutex> try_acquire(const std::string& name,
                                                  std::chrono::milliseconds timeout);

    // False after release() or after being moved from.
    bool held() const { return lock_.held(); }
    // Lets the next holder in; does nothing when not held.
    void release() noexcept { lock_.release(); }

  private:
    explicit named_mutex(file_lock lock) : lock_(std::move(lock)) {}
    file_lock lock_;
};

}  // namespace platform
