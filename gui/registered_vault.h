// The vault a window program works on: the one the current user's registry
// names (HKEY_CURRENT_USER, quillmark_key, db_path).
#pragma once

#include <functional>
#include <string>

namespace tuv {
class repository;
}

namespace tuv::gui {

class prompter;

// Opens the vault of a database path: the program's own repository, or a
// test's. May throw, or return null for a vault it cannot open.
using vault_opener = std::function<repository*(const std::string& db_path)>;

// Reads db_path into `db_path` and opens it with `open`. When there is no
// path, or the vault cannot be opened, tells the person so in one message
// box under `caption` (error icon, ending in how to make a vault) and
// returns null. The repository belongs to whatever `open` took it from.
// Without a vault it also registers the check-in program beside this one as
// QuillmarkPath when none that exists is registered.
repository* open_registered_vault(prompter& prompts, const char* caption, const vault_opener& open,
                                  std::string& db_path);

}  // namespace tuv::gui
