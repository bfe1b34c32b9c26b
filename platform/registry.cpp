#include "platform/registry.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <utility>

#include "platform/reg_file.h"
#include "platform/registry_common.h"

namespace platform {
namespace {

[[noreturn]] void fail_io(const std::string& action, const std::filesystem::path& path, int error) {
    throw registry_error("cannot " + action + " " + path.string() + ": " +
                         std::generic_category().message(error));
}

// Owns one file descriptor; closing it also releases any flock held on it.
class unique_fd {
  public:
    explicit unique_fd(int fd) : fd_(fd) {}
    ~unique_fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    unique_fd(const unique_fd&) = delete;
    unique_fd& operator=(const unique_fd&) = delete;

    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }

  private:
    int fd_;
};

const char* non_empty_env(const char* name) {
    const char* value = getenv(name);
    return value != nullptr && *value != '\0' ? value : nullptr;
}

// The file's current content; a missing file is an empty root.
reg_document load(registry_root root, const std::filesystem::path& file) {
    const unique_fd fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) {
        // ENOTDIR too: with a file where a folder should be, the .reg file cannot
        // exist either; a write then reports the real problem.
        if (errno == ENOENT || errno == ENOTDIR) return {};
        fail_io("read", file, errno);
    }
    std::string text;
    char buffer[8192];
    for (;;) {
        const ssize_t count = ::read(fd.get(), buffer, sizeof buffer);
        if (count == 0) break;
        if (count < 0) {
            if (errno == EINTR) continue;
            fail_io("read", file, errno);
        }
        text.append(buffer, static_cast<std::size_t>(count));
    }
    return parse_reg_file(text, root, file);
}

void write_all(int fd, const std::string& text, const std::filesystem::path& path) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t count = ::write(fd, text.data() + done, text.size() - done);
        if (count < 0) {
            if (errno == EINTR) continue;
            fail_io("write", path, errno);
        }
        done += static_cast<std::size_t>(count);
    }
}

// Readers never lock, so the file must be replaced in one rename: they see
// either the old or the new text. The fsyncs make the new text survive a
// crash before anyone can rely on it.
void replace_file(const std::filesystem::path& file, const std::string& text) {
    std::string temp_name = file.string() + ".XXXXXX";
    unique_fd fd(::mkostemp(temp_name.data(), O_CLOEXEC));
    if (fd.get() < 0) fail_io("create a temporary file in", file.parent_path(), errno);
    const std::filesystem::path temp(temp_name);
    try {
        write_all(fd.get(), text, temp);
        if (::fsync(fd.get()) != 0) fail_io("write", temp, errno);
        if (::close(fd.release()) != 0) fail_io("write", temp, errno);
        if (::rename(temp.c_str(), file.c_str()) != 0)
            fail_io("rename " + temp.string() + " to", file, errno);
    } catch (...) {
        ::unlink(temp.c_str());
        throw;
    }
    const unique_fd folder(::open(file.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() < 0 || ::fsync(folder.get()) != 0)
        fail_io("sync folder", file.parent_path(), errno);
}

// Applies change to the latest content under the root's lock; change returns
// whether it altered the document, so a no-op leaves the file untouched.
template <typename Change>
void modify(registry_root root, const std::filesystem::path& file, Change change) {
    const std::filesystem::path folder = file.parent_path();
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error)
        throw registry_error("cannot create folder " + folder.string() + ": " + error.message());

    const std::filesystem::path lock_path = file.string() + ".lock";
    const unique_fd lock(::open(lock_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666));
    if (lock.get() < 0) fail_io("open lock file", lock_path, errno);
    while (::flock(lock.get(), LOCK_EX) != 0) {
        if (errno != EINTR) fail_io("lock", lock_path, errno);
    }

    reg_document document = load(root, file);
    if (change(document)) replace_file(file, format_reg_file(document, root));
}

}  // namespace

std::filesystem::path registry_directory() {
    if (const char* folder = non_empty_env("QUILLMARK_REGISTRY_DIR")) return folder;
    // The XDG rules say a relative XDG_CONFIG_HOME is to be ignored.
    if (const char* config = non_empty_env("XDG_CONFIG_HOME");
        config != nullptr && *config == '/') {
        return std::filesystem::path(config) / "quillmark" / "registry";
    }
    if (const char* home = non_empty_env("HOME"))
        return std::filesystem::path(home) / ".config" / "quillmark" / "registry";
    throw registry_error(
        "cannot locate the registry folder: none of QUILLMARK_REGISTRY_DIR, XDG_CONFIG_HOME and "
        "HOME is set");
}

std::filesystem::path registry_file(registry_root root) {
    return registry_directory() / (std::string(registry_root_name(root)) + ".reg");
}

std::string registry_location(registry_root root) {
    return registry_file(root).string();
}

std::optional<std::string> registry_key::query(const std::string& name) const {
    check_open();
    const reg_document document = load(root_, file_);
    const reg_key_section* key = document.find_key(path_);
    const reg_value* value = key != nullptr ? key->find_value(name) : nullptr;
    if (value == nullptr || !value->is_text) return std::nullopt;
    return value->data;
}

void registry_key::set(const std::string& name, const std::string& value) {
    check_open();
    check_no_nul(name, "registry value name");
    check_no_nul(value, "registry value \"" + name + "\"");
    modify(root_, file_, [&](reg_document& document) {
        reg_key_section& key = document.add_key(path_);
        reg_value* existing = key.find_value(name);
        if (existing == nullptr) {
            key.values.push_back(reg_value{name, value, true});
        } else if (existing->is_text && existing->data == value) {
            return false;
        } else {
            existing->data = value;
            existing->is_text = true;
        }
        return true;
    });
}

bool registry_key::remove(const std::string& name) {
    check_open();
    bool existed = false;
    modify(root_, file_, [&](reg_document& document) {
        reg_key_section* key = document.find_key(path_);
        const reg_value* value = key != nullptr ? key->find_value(name) : nullptr;
        if (value == nullptr) return false;
        key->values.erase(key->values.begin() + (value - key->values.data()));
        existed = true;
        return true;
    });
    return existed;
}

std::optional<registry_key> open_registry_key(registry_root root, const std::string& subkey) {
    check_key_path(root, subkey);
    std::filesystem::path file = registry_file(root);
    if (!load(root, file).has_key(subkey)) return std::nullopt;
    return registry_key(root, subkey, std::move(file));
}

registry_key create_registry_key(registry_root root, const std::string& subkey) {
    check_key_path(root, subkey);
    std::filesystem::path file = registry_file(root);
    // Programs create their key on every start; skip the lock and the rewrite
    // when it is already there.
    if (!load(root, file).has_key(subkey)) {
        modify(root, file, [&](reg_document& document) {
            if (document.has_key(subkey)) return false;
            document.add_key(subkey);
            return true;
        });
    }
    return registry_key(root, subkey, std::move(file));
}

bool remove_registry_key(registry_root root, const std::string& subkey, key_removal how) {
    check_key_path(root, subkey);
    if (subkey.empty())
        throw registry_error("cannot remove the registry root " + full_key_name(root, ""));
    const std::filesystem::path file = registry_file(root);
    if (!load(root, file).has_key(subkey)) return false;
    bool removed = false;
    modify(root, file, [&](reg_document& document) {
        if (how == key_removal::if_empty) {
            const reg_key_section* key = document.find_key(subkey);
            if ((key != nullptr && !key->values.empty()) || document.has_subkeys(subkey))
                return false;
        }
        removed = document.remove_key(subkey) > 0;
        return removed;
    });
    return removed;
}

}  // namespace platform
