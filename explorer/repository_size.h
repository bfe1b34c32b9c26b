// The repository size the status bar shows: the container files' bytes.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace tuv {
class repository;
}

namespace tuv::explorer {

// The total size of the container files (tuv_s<N>) in `data_directory`;
// nullopt when there is none (the display then stays as it was).
std::optional<std::uint64_t> container_bytes(const std::filesystem::path& data_directory);

// The size to show: the containers in the registry's DataDir (`data_dir`),
// or in the vault's own data folder when DataDir is unset (empty) or holds
// none, as after the vault was moved without registering it again.
std::optional<std::uint64_t> repository_bytes(const std::string& data_dir,
                                              const std::filesystem::path& vault_data_directory);

// repository_bytes with the DataDir the current user's registry holds (none
// when it cannot be read).
std::optional<std::uint64_t> registered_repository_bytes(
    const std::filesystem::path& vault_data_directory);

// The size to show for an open vault: registered_repository_bytes of its data
// folder, or, for a vault on a database server (no container files on this
// machine), the bytes its containers hold by its disk_info rows. nullopt when
// the server cannot tell now: the display then stays as it was.
std::optional<std::uint64_t> vault_repository_bytes(repository& repo);

// "Repository Size : N MB", N the bytes over 2^20 rounded down.
std::string repository_size_text(std::uint64_t bytes);

}  // namespace tuv::explorer
