// Vault paths and the names they are made of: names joined by the vault's
// one-character separator, a full path beginning with the separator.
#pragma once

#include <string>
#include <string_view>

namespace tuv {

// Characters a new cabinet or folder name may not contain (blank included).
inline constexpr std::string_view cabinet_forbidden_characters = "\\\"/$#@!~`&^%?<>;:'+=|* ";
// The shorter list of the dialogs that ask for a new name of any kind; the
// cabinet's own check adds the path characters.
inline constexpr std::string_view entry_forbidden_characters = cabinet_forbidden_characters.substr(3);

// The full path of `name` inside the directory whose full path is `parent`.
std::string join_vault_path(const std::string& parent, const std::string& name,
                            const std::string& separator);

// Throws tuv_error when a name could never be found again by its path: an
// empty name, or one that holds the separator.
void check_entry_name(const std::string& name, const std::string& separator);

// Names compare without regard to case where the user picks a new one, so
// that "Reports" and "reports" never stand side by side (ASCII letters).
bool same_name_ignoring_case(std::string_view a, std::string_view b);

// True when the name is not empty and holds none of
// cabinet_forbidden_characters.
bool is_valid_cabinet_name(std::string_view name);

}  // namespace tuv
