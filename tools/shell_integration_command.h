// `quillmark shell-integration install|remove`: puts the file-manager
// extension in place for the current user, or takes it away
// (shellext/registration.h): the registry records, the Dolphin service menu
// and the Nautilus library.
#pragma once

#include <filesystem>
#include <ostream>

#include "shellext/registration.h"

namespace tuv::tools {

enum class integration_action { install, remove };

// Runs the action and says on `out` what it did. When the Nautilus folder
// cannot be written (it belongs to root), the rest is done and the
// install_error thrown names the command that finishes the work.
void run_shell_integration(integration_action action, const shell::install_places& places,
                           std::ostream& out);

}  // namespace tuv::tools
