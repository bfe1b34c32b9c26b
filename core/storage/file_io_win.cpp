// The file seam on Windows (file_io.h): Win32 handles opened for sharing, so
// that, as on POSIX, a file may be renamed over or removed while open;
// FlushFileBuffers for sync() and MoveFileExW with write-through for
// rename(). Paths are given the "\\?\" prefix, so no path is limited to 260
// characters.
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>

#include "core/base/utf8_path.h"
#include "core/storage/file_io.h"
#include "platform/long_path.h"
#include "platform/windows_error.h"

namespace tuv {
namespace {

namespace fs = std::filesystem;

// The reason as the POSIX seam gives it where the C library has one, so that
// callers that reword a failure (a checkout) say the same on both systems.
std::error_code reason_of(unsigned long code) {
    if (const int error = platform::errno_for_windows_error(code)) {
        return {error, std::generic_category()};
    }
    return {static_cast<int>(code), std::system_category()};
}

[[noreturn]] void fail(const std::string& what, const fs::path& path, unsigned long code) {
    throw io_error(
        "Cannot " + what + " " + utf8_of(path) + ": " + platform::windows_error_text(code),
        reason_of(code));
}

[[noreturn]] void fail_errno(const std::string& what, const fs::path& path, int error) {
    throw io_error("Cannot " + what + " " + utf8_of(path) + ": " + std::strerror(error),
                   std::error_code(error, std::generic_category()));
}

// The largest transfer one ReadFile or WriteFile call is asked for.
constexpr std::size_t max_transfer = 1U << 30;

OVERLAPPED at(std::uint64_t offset) {
    OVERLAPPED where{};
    where.Offset = static_cast<DWORD>(offset);
    where.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return where;
}

class windows_file : public file_handle {
  public:
    windows_file(HANDLE handle, fs::path path) : handle_(handle), path_(std::move(path)) {}
    ~windows_file() override { ::CloseHandle(handle_); }
    windows_file(const windows_file&) = delete;
    windows_file& operator=(const windows_file&) = delete;

    std::size_t read_at(std::uint64_t offset, void* data, std::size_t size) override {
        auto* out = static_cast<char*>(data);
        std::size_t done = 0;
        while (done < size) {
            OVERLAPPED where = at(offset + done);
            DWORD count = 0;
            const auto ask = static_cast<DWORD>(std::min(size - done, max_transfer));
            if (!::ReadFile(handle_, out + done, ask, &count, &where)) {
                const DWORD error = ::GetLastError();
                if (error == ERROR_HANDLE_EOF) break;
                fail("read", path_, error);
            }
            if (count == 0) break;  // end of file
            done += count;
        }
        return done;
    }

    void write_at(std::uint64_t offset, const void* data, std::size_t size) override {
        const auto* in = static_cast<const char*>(data);
        std::size_t done = 0;
        while (done < size) {
            OVERLAPPED where = at(offset + done);
            DWORD count = 0;
            const auto ask = static_cast<DWORD>(std::min(size - done, max_transfer));
            if (!::WriteFile(handle_, in + done, ask, &count, &where))
                fail("write", path_, ::GetLastError());
            done += count;
        }
    }

    void sync() override {
        if (!::FlushFileBuffers(handle_)) fail("sync", path_, ::GetLastError());
    }

    void truncate(std::uint64_t size) override {
        FILE_END_OF_FILE_INFO end{};
        end.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
        if (!::SetFileInformationByHandle(handle_, FileEndOfFileInfo, &end, sizeof end))
            fail("truncate", path_, ::GetLastError());
    }

    std::uint64_t size() override {
        LARGE_INTEGER size{};
        if (!::GetFileSizeEx(handle_, &size)) fail("read the size of", path_, ::GetLastError());
        return static_cast<std::uint64_t>(size.QuadPart);
    }

    const fs::path& path() const override { return path_; }

  private:
    HANDLE handle_;
    fs::path path_;
};

DWORD attributes_of(const fs::path& path) {
    return ::GetFileAttributesW(platform::long_path(path).c_str());
}

class windows_file_system : public file_system {
  public:
    std::unique_ptr<file_handle> open(const fs::path& path, open_mode mode) override {
        DWORD access = GENERIC_READ | GENERIC_WRITE;
        DWORD disposition = OPEN_ALWAYS;
        switch (mode) {
            case open_mode::read:
                access = GENERIC_READ;
                disposition = OPEN_EXISTING;
                break;
            case open_mode::read_write:
                break;
            case open_mode::create_new:
                disposition = CREATE_NEW;
                break;
        }
        const HANDLE handle = ::CreateFileW(platform::long_path(path).c_str(), access,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                            nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            const DWORD error = ::GetLastError();
            // Windows refuses to open a folder as a file without saying why.
            const DWORD attributes = attributes_of(path);
            if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
                fail_errno("open", path, EISDIR);
            fail("open", path, error);
        }
        // Reading a device or a pipe could hang or never end.
        if (::GetFileType(handle) != FILE_TYPE_DISK) {
            ::CloseHandle(handle);
            throw io_error("Cannot open " + utf8_of(path) + ": it is not a regular file");
        }
        return std::make_unique<windows_file>(handle, path);
    }

    // NTFS journals its folders' names itself, and no Windows call flushes a
    // folder; what remains is to report a folder that is not there.
    void sync_directory(const fs::path& folder) override {
        const DWORD attributes = attributes_of(folder);
        if (attributes == INVALID_FILE_ATTRIBUTES)
            fail("open the folder", folder, ::GetLastError());
        if (!(attributes & FILE_ATTRIBUTE_DIRECTORY))
            fail_errno("open the folder", folder, ENOTDIR);
    }

    void rename(const fs::path& from, const fs::path& to) override {
        if (!::MoveFileExW(platform::long_path(from).c_str(), platform::long_path(to).c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            fail("rename " + utf8_of(from) + " to", to, ::GetLastError());
    }

    void remove(const fs::path& path) override {
        if (::DeleteFileW(platform::long_path(path).c_str())) return;
        const DWORD error = ::GetLastError();
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND)
            fail("remove", path, error);
    }

    // Only the read-only attribute carries over: a replaced file stays
    // read-only when it was.
    void copy_permissions(const fs::path& from, const fs::path& to) noexcept override {
        const DWORD source = attributes_of(from);
        const DWORD target = attributes_of(to);
        if (source == INVALID_FILE_ATTRIBUTES || target == INVALID_FILE_ATTRIBUTES) return;
        const DWORD wanted =
            (target & ~DWORD{FILE_ATTRIBUTE_READONLY}) | (source & FILE_ATTRIBUTE_READONLY);
        if (wanted != target) ::SetFileAttributesW(platform::long_path(to).c_str(), wanted);
    }

    path_status status(const fs::path& path) override {
        const DWORD attributes = attributes_of(path);
        if (attributes == INVALID_FILE_ATTRIBUTES) return {path_kind::missing, path, {}};
        if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
            const path_kind kind =
                (attributes & FILE_ATTRIBUTE_DIRECTORY) ? path_kind::other : path_kind::regular;
            return {kind, path, identity_of(path)};
        }
        std::error_code error;
        fs::path target = fs::canonical(path, error);
        if (error) {
            if (error == std::errc::no_such_file_or_directory)
                return {path_kind::dangling_link, path, {}};
            throw io_error("Cannot follow the link " + utf8_of(path) + ": " + error.message());
        }
        const DWORD kind = attributes_of(target);
        if (kind == INVALID_FILE_ATTRIBUTES) return {path_kind::dangling_link, path, {}};
        if (kind & FILE_ATTRIBUTE_DIRECTORY) return {path_kind::other, path, identity_of(target)};
        file_identity identity = identity_of(target);
        return {path_kind::regular, std::move(target), identity};
    }

  private:
    // The volume and the file's index on it, links followed; all zero when
    // the file cannot be opened to ask.
    static file_identity identity_of(const fs::path& path) {
        const HANDLE handle = ::CreateFileW(
            platform::long_path(path).c_str(), FILE_READ_ATTRIBUTES,
            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
            FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (handle == INVALID_HANDLE_VALUE) return {};
        BY_HANDLE_FILE_INFORMATION info{};
        const BOOL known = ::GetFileInformationByHandle(handle, &info);
        ::CloseHandle(handle);
        if (!known) return {};
        return {info.dwVolumeSerialNumber,
                (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow};
    }
};

}  // namespace

file_system& file_system::local() {
    // Stateless, so one shared object serves the whole process.
    static windows_file_system instance;
    return instance;
}

}  // namespace tuv
