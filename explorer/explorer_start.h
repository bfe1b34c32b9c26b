// The explorer's start, without a toolkit: one instance per user, the
// registry's settings, the clean-up of the folder View writes to, and the
// vault. Each presentation then builds its main window over the vault.
#pragma once

#include <optional>

#include "gui/registered_vault.h"
#include "platform/named_mutex.h"

namespace tuv {
class repository;
}

namespace tuv::gui {
class prompter;
}

namespace tuv::explorer {

inline constexpr const char* already_running_text =
    "One Instance of Quillmark Explorer is already running!";

// What a started explorer holds for its whole run.
struct explorer_session {
    platform::named_mutex instance;
    repository* vault = nullptr;
};

// Everything up to the main window. Nullopt when the program is to end,
// after saying why, with its exit code in `exit_code`: another explorer
// runs (0), the registry or the vault cannot be read (1).
std::optional<explorer_session> start_explorer(gui::prompter& prompter,
                                               const gui::vault_opener& open, int& exit_code);

}  // namespace tuv::explorer
