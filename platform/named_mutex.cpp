#include "platform/named_mutex.h"

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <system_error>
#include <utility>

namespace platform {
namespace {

// This user's folder in the shared temporary directory. Anyone may create
// names there, so the folder is only used when it is a real folder, ours,
// and closed to everyone else: otherwise another user could hold our mutexes
// or make us open their files.
std::filesystem::path private_folder(const std::filesystem::path& temp) {
    const uid_t user = ::geteuid();
    const auto folder = temp / ("quillmark-" + std::to_string(user));
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        fail_lock_io("create lock folder", folder, errno);
    }
    struct stat info {};
    if (::lstat(folder.c_str(), &info) != 0) fail_lock_io("examine lock folder", folder, errno);
    if (!S_ISDIR(info.st_mode) || info.st_uid != user || (info.st_mode & 077) != 0) {
        throw named_mutex_error("unsafe lock folder " + folder.string() +
                                ": it must be a folder of this user's own, not a link, closed "
                                "to other users");
    }
    return folder;
}

std::filesystem::path lock_directory() {
    // A relative runtime dir would depend on the working directory, so two
    // programs started in different places could both get "the" mutex.
    const char* runtime = getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] == '/') return runtime;
    std::error_code error;
    auto temp = std::filesystem::temp_directory_path(error);
    if (error) throw named_mutex_error("cannot find the temporary directory: " + error.message());
    return private_folder(temp);
}

}  // namespace

std::optional<named_mutex> named_mutex::try_acquire(const std::string& name,
                                                    std::chrono::milliseconds timeout) {
    if (!valid_mutex_name(name)) throw named_mutex_error("invalid mutex name \"" + name + "\"");
    using std::filesystem::perms;
    std::optional<file_lock> lock = file_lock::try_acquire(
        lock_directory() / (name + ".lock"), perms::owner_read | perms::owner_write, timeout);
    if (!lock) return std::nullopt;
    return named_mutex(std::move(*lock));
}

}  // namespace platform
