// Where the programs find their configuration in the registry: one key under
// the current user (the vault) and the same key under the machine (programs).
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace platform {

inline constexpr const char* quillmark_key = "SOFTWARE\\Marrowgate Software Lab\\Quillmark";

// Under HKEY_CURRENT_USER.
inline constexpr const char* db_path_value = "db_path";
inline constexpr const char* temp_dir_value = "TempDir";
inline constexpr const char* data_dir_value = "DataDir";
// Under HKEY_LOCAL_MACHINE.
inline constexpr const char* checkin_program_value = "QuillmarkPath";

// The vault database path of the current user; nullopt when none is set.
// Throws registry_error for a malformed registry file.
std::optional<std::string> read_db_path();

// Registers the check-in program in `program_dir` as QuillmarkPath when the
// machine's value is unset or names no file, and that program is there: what
// makes an installed package's programs usable for a user who never ran
// `quillmark init` from it, or whose registered program has since gone. A
// value naming a program that exists is kept. Returns whether it wrote.
// Throws registry_error for a registry it cannot read or write.
bool register_missing_checkin_program(const std::filesystem::path& program_dir);

}  // namespace platform
