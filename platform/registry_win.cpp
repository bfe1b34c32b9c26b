// The registry layer on the real Windows registry (registry.h). A key object
// keeps its root and path and opens the key for each call, as the layer's
// contract asks: a key removed meanwhile reads as missing and is made again
// by set(), where a kept handle would only answer "key deleted".
#include <windows.h>

#include <cstdlib>
#include <utility>
#include <vector>

#include "platform/registry.h"
#include "platform/registry_common.h"
#include "platform/windows_error.h"

namespace platform {
namespace {

[[noreturn]] void fail(const std::string& action, registry_root root, const std::string& path,
                       LSTATUS status) {
    throw registry_error("cannot " + action + " " + full_key_name(root, path) + ": " +
                         windows_error_text(static_cast<unsigned long>(status)));
}

bool missing(LSTATUS status) {
    return status == ERROR_FILE_NOT_FOUND || status == ERROR_PATH_NOT_FOUND;
}

// Owns an open key; the predefined roots are never closed.
class unique_key {
  public:
    unique_key() = default;
    explicit unique_key(HKEY key) : key_(key) {}
    ~unique_key() {
        if (key_ != nullptr) ::RegCloseKey(key_);
    }
    unique_key(const unique_key&) = delete;
    unique_key& operator=(const unique_key&) = delete;
    unique_key(unique_key&& other) noexcept : key_(std::exchange(other.key_, nullptr)) {}

    HKEY get() const { return key_; }
    HKEY* out() { return &key_; }

  private:
    HKEY key_ = nullptr;
};

HKEY predefined(registry_root root) {
    switch (root) {
        case registry_root::current_user:
            return HKEY_CURRENT_USER;
        case registry_root::local_machine:
            return HKEY_LOCAL_MACHINE;
        case registry_root::classes_root:
            return HKEY_CLASSES_ROOT;
    }
    return nullptr;
}

// The key below which `root` lies and the path of the root below it: the
// predefined key itself, or the test registry's key for the root.
std::pair<HKEY, std::string> base_of(registry_root root, const std::string& path) {
    const char* apart = std::getenv("QUILLMARK_REGISTRY_KEY");
    if (apart == nullptr || *apart == '\0') return {predefined(root), path};
    std::string full = std::string(apart) + '\\' + std::string(registry_root_name(root));
    if (!path.empty()) full += '\\' + path;
    return {HKEY_CURRENT_USER, full};
}

// The open key, or an empty one when it does not exist.
unique_key open_key(registry_root root, const std::string& path, REGSAM access) {
    const auto [base, subkey] = base_of(root, path);
    unique_key key;
    const LSTATUS status = ::RegOpenKeyExA(base, subkey.c_str(), 0, access, key.out());
    if (status == ERROR_SUCCESS) return key;
    if (!missing(status)) fail("open registry key", root, path, status);
    return {};
}

unique_key create_key(registry_root root, const std::string& path, REGSAM access) {
    const auto [base, subkey] = base_of(root, path);
    unique_key key;
    const LSTATUS status =
        ::RegCreateKeyExA(base, subkey.c_str(), 0, nullptr, 0, access, nullptr, key.out(), nullptr);
    if (status != ERROR_SUCCESS) fail("create registry key", root, path, status);
    return key;
}

}  // namespace

std::string registry_location(registry_root root) {
    return full_key_name(root, "");
}

std::optional<std::string> registry_key::query(const std::string& name) const {
    check_open();
    const unique_key key = open_key(root_, path_, KEY_QUERY_VALUE);
    if (key.get() == nullptr) return std::nullopt;
    // The value may grow between asking for its size and reading it.
    std::vector<char> data(256);
    for (;;) {
        DWORD type = 0;
        auto size = static_cast<DWORD>(data.size());
        const LSTATUS status = ::RegQueryValueExA(key.get(), name.c_str(), nullptr, &type,
                                                  reinterpret_cast<BYTE*>(data.data()), &size);
        if (status == ERROR_MORE_DATA) {
            data.resize(size + 1);
            continue;
        }
        if (missing(status)) return std::nullopt;
        if (status != ERROR_SUCCESS) fail("read registry key", root_, path_, status);
        if (type != REG_SZ && type != REG_EXPAND_SZ) return std::nullopt;
        // Stored text need not end in NUL; stored NULs end it.
        std::string text(data.data(), size);
        if (const auto end = text.find('\0'); end != std::string::npos) text.resize(end);
        return text;
    }
}

void registry_key::set(const std::string& name, const std::string& value) {
    check_open();
    check_no_nul(name, "registry value name");
    check_no_nul(value, "registry value \"" + name + "\"");
    const unique_key key = create_key(root_, path_, KEY_SET_VALUE);
    const LSTATUS status = ::RegSetValueExA(key.get(), name.c_str(), 0, REG_SZ,
                                            reinterpret_cast<const BYTE*>(value.c_str()),
                                            static_cast<DWORD>(value.size() + 1));
    if (status != ERROR_SUCCESS) fail("write registry key", root_, path_, status);
}

bool registry_key::remove(const std::string& name) {
    check_open();
    const unique_key key = open_key(root_, path_, KEY_SET_VALUE);
    if (key.get() == nullptr) return false;
    const LSTATUS status = ::RegDeleteValueA(key.get(), name.c_str());
    if (missing(status)) return false;
    if (status != ERROR_SUCCESS) fail("write registry key", root_, path_, status);
    return true;
}

std::optional<registry_key> open_registry_key(registry_root root, const std::string& subkey) {
    check_key_path(root, subkey);
    if (open_key(root, subkey, KEY_QUERY_VALUE).get() == nullptr) return std::nullopt;
    return registry_key(root, subkey, {});
}

registry_key create_registry_key(registry_root root, const std::string& subkey) {
    check_key_path(root, subkey);
    create_key(root, subkey, KEY_QUERY_VALUE);
    return registry_key(root, subkey, {});
}

bool remove_registry_key(registry_root root, const std::string& subkey, key_removal how) {
    check_key_path(root, subkey);
    if (subkey.empty())
        throw registry_error("cannot remove the registry root " + full_key_name(root, ""));
    const auto [base, path] = base_of(root, subkey);
    if (how == key_removal::if_empty) {
        const unique_key key = open_key(root, subkey, KEY_QUERY_VALUE);
        if (key.get() == nullptr) return false;
        DWORD keys = 0;
        DWORD values = 0;
        const LSTATUS status =
            ::RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, &keys, nullptr, nullptr,
                               &values, nullptr, nullptr, nullptr, nullptr);
        if (status != ERROR_SUCCESS) fail("read registry key", root, subkey, status);
        if (keys != 0 || values != 0) return false;
        const LSTATUS removed = ::RegDeleteKeyA(base, path.c_str());
        if (missing(removed)) return false;
        if (removed != ERROR_SUCCESS) fail("remove registry key", root, subkey, removed);
        return true;
    }
    const LSTATUS status = ::RegDeleteTreeA(base, path.c_str());
    if (missing(status)) return false;
    if (status != ERROR_SUCCESS) fail("remove registry key", root, subkey, status);
    return true;
}

}  // namespace platform
