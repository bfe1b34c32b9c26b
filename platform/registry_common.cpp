#include "platform/registry_common.h"

#include <utility>

#include "platform/reg_file.h"

namespace platform {

std::string_view registry_root_name(registry_root root) {
    switch (root) {
        case registry_root::current_user:
            return "HKEY_CURRENT_USER";
        case registry_root::local_machine:
            return "HKEY_LOCAL_MACHINE";
        case registry_root::classes_root:
            return "HKEY_CLASSES_ROOT";
    }
    throw registry_error("unknown registry root " + std::to_string(static_cast<int>(root)));
}

std::string full_key_name(registry_root root, const std::string& path) {
    std::string name(registry_root_name(root));
    if (!path.empty()) name += '\\' + path;
    return name;
}

void check_key_path(registry_root root, const std::string& path) {
    if (!valid_key_path(path))
        throw registry_error("invalid registry key name \"" + full_key_name(root, path) + "\"");
}

void check_no_nul(const std::string& text, const std::string& what) {
    if (text.find('\0') != std::string::npos) throw registry_error(what + " contains a NUL byte");
}

registry_key::registry_key(registry_root root, std::string path, std::filesystem::path file)
    : root_(root), path_(std::move(path)), file_(std::move(file)) {}

registry_key::registry_key(registry_key&& other) noexcept
    : root_(other.root_),
      path_(std::move(other.path_)),
      file_(std::move(other.file_)),
      open_(std::exchange(other.open_, false)) {}

registry_key& registry_key::operator=(registry_key&& other) noexcept {
    root_ = other.root_;
    path_ = std::move(other.path_);
    file_ = std::move(other.file_);
    open_ = std::exchange(other.open_, false);
    return *this;
}

void registry_key::check_open() const {
    if (!open_) throw registry_error("registry key " + full_key_name(root_, path_) + " is closed");
}

}  // namespace platform
