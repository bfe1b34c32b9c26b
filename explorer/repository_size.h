// The repository size the status bar shows: the container files' bytes.
#pragma once

#include <QString>
#include <cstdint>
#include <filesystem>
#include <optional>

namespace tuv::explorer {

// The total size of the container files (tuv_s<N>) in `data_directory`;
// nullopt when there is none (the display then stays as it was).
std::optional<std::uint64_t> container_bytes(const std::filesystem::path& data_directory);

// "Repository Size : N MB", N the bytes over 2^20 rounded down.
QString repository_size_text(std::uint64_t bytes);

}  // namespace tuv::explorer
