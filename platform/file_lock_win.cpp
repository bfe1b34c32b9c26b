// The lock file on Windows: LockFileEx on the whole file, which Windows takes
// away when the handle is closed or its process ends, and which a second
// handle on the same file cannot get, even within the holding process. The
// handle is not inherited by programs the holder starts. The `mode` is left
// to the folder's permissions: Windows files have no mode bits to give.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include "core/base/utf8_path.h"
#include "platform/file_lock.h"
#include "platform/file_lock_system.h"
#include "platform/long_path.h"
#include "platform/windows_error.h"

namespace platform::lock_file {
namespace {

[[noreturn]] void fail(const std::string& action, const std::filesystem::path& path,
                       unsigned long code) {
    throw lock_error("cannot " + action + " " + tuv::utf8_of(path) + ": " +
                     windows_error_text(code));
}

}  // namespace

// The file as a C runtime descriptor, so that file_lock keeps one int on
// every system; closing it closes the handle.
int open(const std::filesystem::path& path, std::filesystem::perms /*mode*/) {
    const HANDLE handle = ::CreateFileW(long_path(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
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

void close(int fd) noexcept {
    ::_close(fd);
}

}  // namespace platform::lock_file
