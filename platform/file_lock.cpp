#include "platform/file_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>
#include <thread>
#include <utility>

namespace platform {
namespace {

// Short enough that a waiting holder starts soon after the last one quits,
// long enough not to spin.
constexpr std::chrono::milliseconds poll_interval{20};

// Opens the lock file, creating it when missing. O_NOFOLLOW because a lock
// folder may be shared: a planted symlink must not make us create or open
// files elsewhere. A file we create gets exactly `mode`, whatever our umask,
// so that everyone meant to take the lock can open it.
int open_lock_file(const std::filesystem::path& path, mode_t mode) {
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

// True when locked, false when someone else holds it.
bool try_lock(int fd, const std::filesystem::path& path) {
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
        if (errno == EWOULDBLOCK) return false;
        if (errno != EINTR) fail_lock_io("lock", path, errno);
    }
}

}  // namespace

void fail_lock_io(const std::string& action, const std::filesystem::path& path, int error) {
    throw lock_error("cannot " + action + " " + path.string() + ": " +
                     std::generic_category().message(error));
}

std::optional<file_lock> file_lock::try_acquire(const std::filesystem::path& path,
                                                std::filesystem::perms mode,
                                                std::chrono::milliseconds timeout) {
    // Owned by the result from here on, so a throw below closes it.
    file_lock lock(open_lock_file(path, static_cast<mode_t>(mode & std::filesystem::perms::all)));
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (try_lock(lock.fd_, path)) return lock;
        const auto left = deadline - std::chrono::steady_clock::now();
        if (left <= left.zero()) return std::nullopt;
        std::this_thread::sleep_for(
            std::min<std::chrono::steady_clock::duration>(left, poll_interval));
    }
}

file_lock::file_lock(file_lock&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

file_lock& file_lock::operator=(file_lock&& other) noexcept {
    if (this != &other) {
        release();
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

file_lock::~file_lock() {
    release();
}

// Closing the only descriptor of the open file drops the flock; unlocking
// first would change nothing.
void file_lock::release() noexcept {
    if (fd_ >= 0) ::close(std::exchange(fd_, -1));
}

}  // namespace platform
