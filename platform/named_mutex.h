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
//
// On Windows it is a Windows named mutex (CreateMutexW) in the session's
// namespace, so it too is one per user session; a holder that dies
// without releasing it leaves it abandoned, which the next acquire takes.
// Windows counts a thread's repeated acquisitions of a mutex, so a second
// acquire fails only from another thread or process there. The name rules
// and messages are the same; there is no lock folder.
#pragma once

#include <algorithm>
#include <chrono>
#include <optional>
#include <string>

#include "platform/file_lock.h"

namespace platform {

// The check-in program's single-instance mutex.
inline constexpr const char* checkin_mutex_name = "Quillmark_CheckinMARROWGATE";

using named_mutex_error = lock_error;

// Whether a mutex may have this name (see above).
inline bool valid_mutex_name(const std::string& name) {
    return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '_' || c == '-' || c == '.';
    });
}

// Owns the lock while held(); movable, not copyable.
class named_mutex {
  public:
    // Waits up to timeout for the mutex (zero or negative tries once).
    // nullopt when another holder keeps it for the whole time.
    static std::optional<named_mutex> try_acquire(const std::string& name,
                                                  std::chrono::milliseconds timeout);

#ifdef _WIN32
    named_mutex(named_mutex&& other) noexcept;
    named_mutex& operator=(named_mutex&& other) noexcept;
    named_mutex(const named_mutex&) = delete;
    named_mutex& operator=(const named_mutex&) = delete;
    ~named_mutex();

    bool held() const { return handle_ != nullptr; }
    // Must be called on the thread that acquired it, as Windows requires.
    void release() noexcept;

  private:
    explicit named_mutex(void* handle) : handle_(handle) {}
    void* handle_;  // the mutex's HANDLE, owned and held
#else
    // False after release() or after being moved from.
    bool held() const { return lock_.held(); }
    // Lets the next holder in; does nothing when not held.
    void release() noexcept { lock_.release(); }

  private:
    explicit named_mutex(file_lock lock) : lock_(std::move(lock)) {}
    file_lock lock_;
#endif
};

}  // namespace platform
