// The registry layer on the real Windows registry (registry.h). A key object
// keeps its root and path and opens the key for each call, as the layer's
// contract asks: a key removed meanwhile reads as missing and is made again
// by set(), where a kept handle would only answer "key deleted". Names and
// values go through the wide calls as UTF-16, and are UTF-8 here.
#include <windows.h>

#include <cstdlib>
#include <utility>
#include <vector>

#include "platform/registry.h"
#include "platform/registry_common.h"
#include "platform/wide_text.h"
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
std::pair<HKEY, std::wstring> base_of(registry_root root, const std::string& path) {
    const wchar_t* apart = ::_wgetenv(L"QUILLMARK_REGISTRY_KEY");
    if (apart == nullptr || *apart == L'\0') return {predefined(root), to_wide(path)};
    std::wstring full = apart + (L'\\' + to_wide(registry_root_name(root)));
    if (!path.empty()) full += L'\\' + to_wide(path);
    return {HKEY_CURRENT_USER, full};
}

// The open key, or an empty one when it does not exist.
unique_key open_key(registry_root root, const std::string& path, REGSAM access) {
    const auto [base, subkey] = base_of(root, path);
    unique_key key;
    const LSTATUS status = ::RegOpenKeyExW(base, subkey.c_str(), 0, access, key.out());
    if (status == ERROR_SUCCESS) return key;
    if (!missing(status)) fail("open registry key", root, path, status);
    return {};
}

unique_key create_key(registry_root root, const std::string& path, REGSAM access) {
    const auto [base, subkey] = base_of(root, path);
    unique_key key;
    const LSTATUS status =
        ::RegCreateKeyExW(base, subkey.c_str(), 0, nullptr, 0, access, nullptr, key.out(), nullptr);
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
    const std::wstring wide_name = to_wide(name);
    // The value may grow between asking for its size (in bytes) and reading it.
    std::vector<wchar_t> data(256);
    for (;;) {
        DWORD type = 0;
        auto size = static_cast<DWORD>(data.size() * sizeof(wchar_t));
        const LSTATUS status = ::RegQueryValueExW(key.get(), wide_name.c_str(), nullptr, &type,
                                                  reinterpret_cast<BYTE*>(data.data()), &size);
        if (status == ERROR_MORE_DATA) {
            data.resize(size / sizeof(wchar_t) + 1);
            continue;
        }
        if (missing(status)) return std::nullopt;
        if (status != ERROR_SUCCESS) fail("read registry key", root_, path_, status);
        if (type != REG_SZ && type != REG_EXPAND_SZ) return std::nullopt;
        // Stored text need not end in NUL; stored NULs end it.
        std::wstring_view text(data.data(), size / sizeof(wchar_t));
        if (const auto end = text.find(L'\0'); end != text.npos) text = text.substr(0, end);
        return to_utf8(text);
    }
}

void registry_key::set(const std::string& name, const std::string& value) {
    check_open();
    check_no_nul(name, "registry value name");
    check_no_nul(value, "registry value \"" + name + "\"");
    const unique_key key = create_key(root_, path_, KEY_SET_VALUE);
    const std::wstring wide = to_wide(value);
    const LSTATUS status = ::RegSetValueExW(
        key.get(), to_wide(name).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(wide.c_str()),
        static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t)));
    if (status != ERROR_SUCCESS) fail("write registry key", root_, path_, status);
}

bool registry_key::remove(const std::string& name) {
    check_open();
    const unique_key key = open_key(root_, path_, KEY_SET_VALUE);
    if (key.get() == nullptr) return false;
    const LSTATUS status = ::RegDeleteValueW(key.get(), to_wide(name).c_str());
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
            ::RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &keys, nullptr, nullptr,
                               &values, nullptr, nullptr, nullptr, nullptr);
        if (status != ERROR_SUCCESS) fail("read registry key", root, subkey, status);
        if (keys != 0 || values != 0) return false;
        const LSTATUS removed = ::RegDeleteKeyW(base, path.c_str());
        if (missing(removed)) return false;
        if (removed != ERROR_SUCCESS) fail("remove registry key", root, subkey, removed);
        return true;
    }
    const LSTATUS status = ::RegDeleteTreeW(base, path.c_str());
    if (missing(status)) return false;
    if (status != ERROR_SUCCESS) fail("remove registry key", root, subkey, status);
    return true;
}

}  // namespace platform
