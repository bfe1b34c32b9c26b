#include "tools/vault_access.h"

#include "core/base/errors.h"
#include "core/vault/repository.h"
#include "platform/quillmark_registry.h"

namespace tuv::tools {

std::string locate_vault(const std::string& db_option) {
    if (!db_option.empty()) return db_option;
    const auto registered = platform::read_db_path();
    if (!registered || registered->empty()) {
        throw tuv_error(std::string(
            "No vault is registered for this user: create one with \"quillmark init\" or name "
            "its database with --db"));
    }
    return *registered;
}

std::unique_ptr<repository> open_vault(const std::string& db_option, repository::access mode) {
    return std::make_unique<repository>(locate_vault(db_option), mode);
}

}  // namespace tuv::tools
