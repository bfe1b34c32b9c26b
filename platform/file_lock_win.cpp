// file_lock on Windows: LockFileEx on the whole file, which Windows takes
// away when the handle is closed or its process ends, and which a second
// handle on the same file cannot get, even within the holding process. The
// handle is not inherited by programs the holder starts. Permissions (the
// `mode`) are left to the folder's: Windows has no mode bits to give.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <system_error>
#include <thread>
#include <utility>

#include "platform/file_lock.h"
#include "platform/long_path.h"
#include "platform/windows_error.h"

namespace platform {
namespace {

constexpr std::chrono::milliseconds poll_interval{20};

[[noreturn]] void fail(const std::string& action, const std::filesystem::path& path,
                       unsigned long code) {
    throw lock_error("cannot " + action + " " + path.string() + ": " + windows_error_text(code));
}

// The file as a C runtime descriptor, so that file_lock keeps one int as on
// POSIX; closing it closes the handle.
int open_lock_file(const std::filesystem::path& path) {
    const HANDLE handle =
        ::CreateFileW(long_path(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) fail("open lock file", path, ::GetLastError());
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDWR);
    if (fd < 0) {
        ::CloseHandle(handle);
        fail("open lock file", path, ERROR_TOO_MANY_OPEN_FILES);
    }
    return fd;
}

bool try_lock(int fd, const std::filesystem::path& path) {
    const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
    OVERLAPPED whole{};
    if (::LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD,
                     MAXDWORD, &whole))
        return true;
    const DWORD error = ::GetLastError();
    if (error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING) return false;
    fail("lock", path, error);
}

}  // namespace

void fail_lock_io(const std::string& action, const std::filesystem::path& path, int error) {
    throw lock_error("cannot " + action + " " + path.string() + ": " +
                     std::generic_category().message(error));
}

std::optional<file_lock> file_lock::try_acquire(const std::filesystem::path& path,
                                                std::filesystem::perms /*mode*/,
                                                std::chrono::milliseconds timeout) {
    file_lock lock(open_lock_file(path));
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

void file_lock::release() noexcept {
    if (fd_ >= 0) ::_close(std::exchange(fd_, -1));
}

}  // namespace platform
