#include "platform/quillmark_registry.h"

#include "platform/CRegistry.h"

namespace platform {

std::optional<std::string> read_db_path() {
    const CRegistry registry(registry_root::current_user, quillmark_key);
    std::string path;
    if (!registry.query(db_path_value, path)) return std::nullopt;
    return path;
}

}  // namespace platform
