#include "core/storage/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace tuv {
namespace {

[[noreturn]] void fail(const std::string& what, const std::filesystem::path& path, int error) {
    throw io_error("Cannot " + what + " " + path.string() + ": " + std::strerror(error),
                   std::error_code(error, std::generic_category()));
}

class posix_file : public file_handle {
  public:
    posix_file(int fd, std::filesystem::path path) : fd_(fd), path_(std::move(path)) {}
    ~posix_file() override { ::close(fd_); }
    posix_file(const posix_file&) = delete;
    posix_file& operator=(const posix_file&) = delete;

    std::size_t read_at(std::uint64_t offset, void* data, std::size_t size) override {
        auto* out = static_cast<char*>(data);
        std::size_t done = 0;
        while (done < size) {
            const ssize_t n =
                ::pread(fd_, out + done, size - done, static_cast<off_t>(offset + done));
            if (n < 0) {
                if (errno == EINTR) continue;
                fail("read", path_, errno);
            }
            if (n == 0) break;  // end of file
            done += static_cast<std::size_t>(n);
        }
        return done;
    }

    void write_at(std::uint64_t offset, const void* data, std::size_t size) override {
        const auto* in = static_cast<const char*>(data);
        std::size_t done = 0;
        while (done < size) {
            const ssize_t n =
                ::pwrite(fd_, in + done, size - done, static_cast<off_t>(offset + done));
            if (n < 0) {
                if (errno == EINTR) continue;
                fail("write", path_, errno);
            }
            done += static_cast<std::size_t>(n);
        }
    }

    void sync() override {
        if (::fsync(fd_) != 0) fail("sync", path_, errno);
    }

    void start_writeback(std::uint64_t offset, std::uint64_t size) override {
        // Errors surface at sync(); here they would only repeat.
        ::sync_file_range(fd_, static_cast<off_t>(offset), static_cast<off_t>(size),
                          SYNC_FILE_RANGE_WRITE);
    }

    void truncate(std::uint64_t size) override {
        if (::ftruncate(fd_, static_cast<off_t>(size)) != 0) fail("truncate", path_, errno);
    }

    std::uint64_t size() override {
        struct stat info {};
        if (::fstat(fd_, &info) != 0) fail("read the size of", path_, errno);
        return static_cast<std::uint64_t>(info.st_size);
    }

    const std::filesystem::path& path() const override { return path_; }

  private:
    int fd_;
    std::filesystem::path path_;
};

class posix_file_system : public file_system {
  public:
    std::unique_ptr<file_handle> open(const std::filesystem::path& path, open_mode mode) override {
        int flags = O_CLOEXEC;
        switch (mode) {
            case open_mode::read:
                // Opening a FIFO would wait for a writer; it is refused below.
                flags |= O_RDONLY | O_NONBLOCK;
                break;
            case open_mode::read_write:
                flags |= O_RDWR | O_CREAT;
                break;
            case open_mode::create_new:
                flags |= O_RDWR | O_CREAT | O_EXCL;
                break;
        }
        const int fd = ::open(path.c_str(), flags, 0600);
        if (fd < 0) fail("open", path, errno);
        struct stat info {};
        if (::fstat(fd, &info) != 0) {
            const int error = errno;
            ::close(fd);
            fail("open", path, error);
        }
        if (S_ISDIR(info.st_mode)) {
            ::close(fd);
            fail("open", path, EISDIR);
        }
        // Reading a device or a FIFO could hang or never end.
        if (mode == open_mode::read && !S_ISREG(info.st_mode)) {
            ::close(fd);
            throw io_error("Cannot open " + path.string() + ": it is not a regular file");
        }
        return std::make_unique<posix_file>(fd, path);
    }

    void sync_directory(const std::filesystem::path& folder) override {
        const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) fail("open the folder", folder, errno);
        const int result = ::fsync(fd);
        const int error = errno;
        ::close(fd);
        if (result != 0) fail("sync the folder", folder, error);
    }

    void rename(const std::filesystem::path& from, const std::filesystem::path& to) override {
        if (::rename(from.c_str(), to.c_str()) != 0)
            fail("rename " + from.string() + " to", to, errno);
    }

    void remove(const std::filesystem::path& path) override {
        if (::unlink(path.c_str()) != 0 && errno != ENOENT) fail("remove", path, errno);
    }

    void copy_permissions(const std::filesystem::path& from,
                          const std::filesystem::path& to) noexcept override {
        struct stat info {};
        if (::stat(from.c_str(), &info) == 0) ::chmod(to.c_str(), info.st_mode & 07777);
    }

    path_status status(const std::filesystem::path& path) override {
        struct stat info {};
        // A path that cannot be reached (a missing or unreadable folder on
        // the way) names nothing; creating a file there fails and says why.
        if (::lstat(path.c_str(), &info) != 0) return {path_kind::missing, path, {}};
        if (!S_ISLNK(info.st_mode)) {
            return {S_ISREG(info.st_mode) ? path_kind::regular : path_kind::other, path,
                    identity_of(info)};
        }
        // realpath follows the whole chain, relative targets included.
        char* resolved = ::realpath(path.c_str(), nullptr);
        if (resolved == nullptr) {
            if (errno == ENOENT || errno == ENOTDIR) return {path_kind::dangling_link, path, {}};
            fail("follow the link", path, errno);
        }
        std::filesystem::path target(resolved);
        std::free(resolved);
        if (::stat(target.c_str(), &info) != 0) fail("examine", target, errno);
        if (!S_ISREG(info.st_mode)) return {path_kind::other, path, identity_of(info)};
        return {path_kind::regular, std::move(target), identity_of(info)};
    }

  private:
    static file_identity identity_of(const struct stat& info) {
        return {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
    }
};

}  // namespace

file_system& file_system::local() {
    // Stateless, so one shared object serves the whole process.
    static posix_file_system instance;
    return instance;
}

}  // namespace tuv
