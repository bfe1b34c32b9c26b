#include "platform/CRegistry.h"

#include <utility>

CRegistry::CRegistry(platform::registry_root root, const std::string& subkey)
    : key_(platform::open_registry_key(root, subkey)) {}

bool CRegistry::query(const std::string& name, std::string& out) const {
    out.clear();
    if (!key_) return false;
    std::optional<std::string> value = key_->query(name);
    if (!value) return false;
    out = std::move(*value);
    return true;
}
