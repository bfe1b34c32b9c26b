#include "core/vault/entry_paths.h"

#include "core/base/vault_path.h"
#include "core/vault/file_entry.h"

namespace tuv {

std::string entry_paths::of(file_entry& entry) {
    const std::int64_t parent = entry.parent_id();
    if (parent == 0) return entry.full_path();  // the root
    auto folder = folders_.find(parent);
    if (folder == folders_.end()) folder = folders_.emplace(parent, entry.full_path(parent)).first;
    return join_vault_path(folder->second, entry.name(), separator_);
}

}  // namespace tuv
