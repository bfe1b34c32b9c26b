#include "explorer/repository_size.h"

#include <system_error>

#include "core/base/errors.h"
#include "core/base/utf8_path.h"
#include "core/db/db.h"
#include "core/vault/repository.h"
#include "platform/CRegistry.h"
#include "platform/quillmark_registry.h"

namespace tuv::explorer {

std::optional<std::uint64_t> container_bytes(const std::filesystem::path& data_directory) {
    std::error_code error;
    std::filesystem::directory_iterator files(data_directory, error);
    if (error) return std::nullopt;
    std::optional<std::uint64_t> total;
    for (const auto& file : files) {
        if (!file.path().filename().string().starts_with("tuv_s")) continue;
        if (!file.is_regular_file(error)) continue;
        const std::uintmax_t size = file.file_size(error);
        if (error) continue;  // gone meanwhile: a count is a snapshot anyway
        total = total.value_or(0) + size;
    }
    return total;
}

std::optional<std::uint64_t> repository_bytes(const std::string& data_dir,
                                              const std::filesystem::path& vault_data_directory) {
    if (!data_dir.empty()) {
        if (const auto bytes = container_bytes(path_from_utf8(data_dir))) return bytes;
    }
    return container_bytes(vault_data_directory);
}

std::optional<std::uint64_t> registered_repository_bytes(
    const std::filesystem::path& vault_data_directory) {
    std::string data_dir;
    try {
        CRegistry(platform::registry_root::current_user, platform::quillmark_key)
            .query(platform::data_dir_value, data_dir);
    } catch (const platform::registry_error&) {
        // A registry that cannot be read leaves the vault's own folder.
    }
    return repository_bytes(data_dir, vault_data_directory);
}

std::optional<std::uint64_t> vault_repository_bytes(repository& repo) {
    if (!repo.storage().on_server) return registered_repository_bytes(repo.data_directory());
    try {
        auto used = repo.database().query(
            "SELECT COALESCE(SUM(total_size - free_size), 0) FROM disk_info", {});
        if (!used->next()) return std::nullopt;
        return static_cast<std::uint64_t>(used->get_int64(0));
    } catch (const tuv_error&) {
        // Asked again at the next change; a message every time would only
        // repeat what the lists say.
        return std::nullopt;
    }
}

std::string repository_size_text(std::uint64_t bytes) {
    return "Repository Size : " + std::to_string(bytes >> 20) + " MB";
}

}  // namespace tuv::explorer
