// file_lock's waiting and ownership, the same on every system; the file and
// its lock are the system's (file_lock_system.h).
#include <algorithm>
#include <system_error>
#include <thread>
#include <utility>

#include "core/base/utf8_path.h"
#include "platform/file_lock.h"
#include "platform/file_lock_system.h"

namespace platform {
namespace {

// Short enough that a waiting holder starts soon after the last one quits,
// long enough not to spin.
constexpr std::chrono::milliseconds poll_interval{20};

}  // namespace

void fail_lock_io(const std::string& action, const std::filesystem::path& path, int error) {
    throw lock_error("cannot " + action + " " + tuv::utf8_of(path) + ": " +
                     std::generic_category().message(error));
}

std::optional<file_lock> file_lock::try_acquire(const std::filesystem::path& path,
                                                std::filesystem::perms mode,
                                                std::chrono::milliseconds timeout) {
    // Owned by the result from here on, so a throw below closes it.
    file_lock lock(lock_file::open(path, mode));
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (lock_file::try_lock(lock.fd_, path)) return lock;
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

void file_lock::release() noexcept {
    if (fd_ >= 0) lock_file::close(std::exchange(fd_, -1));
}

}  // namespace platform
