#include "platform/named_mutex.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <system_error>
#include <thread>
#include <utility>

namespace platform {
namespace {

// Short enough that a waiting writer starts soon after the holder quits,
// long enough not to spin.
constexpr std::chrono::milliseconds poll_interval{20};

[[noreturn]] void fail_io(const std::string& action, const std::filesystem::path& path, int error) {
    throw named_mutex_error("cannot " + action + " " + path.string() + ": " +
                            std::generic_category().message(error));
}

bool valid_name(const std::string& name) {
    return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '_' || c == '-' || c == '.';
    });
}

std::filesystem::path lock_directory() {
    // A relative runtime dir would depend on the working directory, so two
    // writers started in different places could both get "the" mutex.
    const char* runtime = getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] == '/') return runtime;
    std::error_code error;
    auto temp = std::filesystem::temp_directory_path(error);
    if (error) throw named_mutex_error("cannot find the temporary directory: " + error.message());
    return temp;
}

// Opens (creating if needed) the lock file. O_NOFOLLOW because the temporary
// directory is shared: a planted symlink must not make us create files
// elsewhere. Read-only is enough for flock.
int open_lock_file(const std::filesystem::path& path) {
    for (;;) {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd >= 0) return fd;
        if (errno != EINTR) fail_io("open lock file", path, errno);
    }
}

// True when locked, false when someone else holds it.
bool try_lock(int fd, const std::filesystem::path& path) {
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
        if (errno == EWOULDBLOCK) return false;
        if (errno != EINTR) fail_io("lock", path, errno);
    }
}

}  // namespace

std::optional<named_mutex> named_mutex::try_acquire(const std::string& name,
                                                    std::chrono::milliseconds timeout) {
    if (!valid_name(name)) throw named_mutex_error("invalid mutex name \"" + name + "\"");
    const auto path = lock_directory() / (name + ".lock");
    // Owned by the result from here on, so a throw below closes it.
    named_mutex mutex(open_lock_file(path));
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (try_lock(mutex.fd_, path)) return mutex;
        const auto left = deadline - std::chrono::steady_clock::now();
        if (left <= left.zero()) return std::nullopt;
        std::this_thread::sleep_for(
            std::min<std::chrono::steady_clock::duration>(left, poll_interval));
    }
}

named_mutex::named_mutex(named_mutex&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

named_mutex& named_mutex::operator=(named_mutex&& other) noexcept {
    if (this != &other) {
        release();
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

named_mutex::~named_mutex() {
    release();
}

// Closing the only descriptor of the open file drops the flock; unlocking
// first would change nothing.
void named_mutex::release() noexcept {
    if (fd_ >= 0) ::close(std::exchange(fd_, -1));
}

}  // namespace platform
