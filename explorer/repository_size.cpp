#include "explorer/repository_size.h"

#include <system_error>

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
        if (const auto bytes = container_bytes(data_dir)) return bytes;
    }
    return container_bytes(vault_data_directory);
}

QString repository_size_text(std::uint64_t bytes) {
    return QString("%1 : %2 MB").arg("Repository Size").arg(bytes >> 20);
}

}  // namespace tuv::explorer
