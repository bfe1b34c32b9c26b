#include "tests/support/scoped_registry.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace tuv::test {
namespace {

#ifdef _WIN32
// Unique while the folder is: temporary folders have unique names.
std::string key_for(const std::filesystem::path& folder) {
    std::string key = "Software\\Quillmark Tests\\";
    for (const char c : folder.string()) key += (c == '\\' || c == '/' || c == ':') ? '_' : c;
    return key;
}
#endif

}  // namespace

#ifdef _WIN32
scoped_registry::scoped_registry(const std::filesystem::path& folder)
    : key_(key_for(folder)), env_("QUILLMARK_REGISTRY_KEY", key_) {
    ::RegDeleteTreeA(HKEY_CURRENT_USER, key_.c_str());
}

scoped_registry::~scoped_registry() {
    ::RegDeleteTreeA(HKEY_CURRENT_USER, key_.c_str());
}
#else
scoped_registry::scoped_registry(const std::filesystem::path& folder)
    : env_("QUILLMARK_REGISTRY_DIR", folder.string()) {}

scoped_registry::~scoped_registry() = default;
#endif

}  // namespace tuv::test
