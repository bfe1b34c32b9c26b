// The lock file on POSIX systems: an flock on the whole file.
#include "platform/file_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/file_lock_system.h"

namespace platform::lock_file {

// O_NOFOLLOW because a lock folder may be shared: a planted symlink must not
// make us create or open files elsewhere. A file we create gets exactly
// `mode`, whatever our umask, so that everyone meant to take the lock can
// open it.
int open(const std::filesystem::path& path, std::filesystem::perms perms) {
    const auto mode = static_cast<mode_t>(perms & std::filesystem::perms::all);
    for (;;) {
        int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
        if (fd >= 0) return fd;
        if (errno == ENOENT) {
            fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
            if (fd >= 0) {
                if (::fchmod(fd, mode) == 0) return fd;
                const int error = errno;
                ::close(fd);
                fail_lock_io("set the permissions of lock file", path, error);
            }
            if (errno == EEXIST) continue;  // made by someone else meanwhile
        }
        if (errno != EINTR) fail_lock_io("open lock file", path, errno);
    }
}

bool try_lock(int fd, const std::filesystem::path& path) {
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
        if (errno == EWOULDBLOCK) return false;
        if (errno != EINTR) fail_lock_io("lock", path, errno);
    }
}

// Closing the only descriptor of the open file drops the flock; unlocking
// first would change nothing.
void close(int fd) noexcept {
    ::close(fd);
}

}  // namespace platform::lock_file
