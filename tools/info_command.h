// `quillmark info`: what a vault holds, its settings, catalogue and history,
// then a warning line for its data folder and each container that lie outside
// its folder (core/vault_folder.h). Paths and names show control characters
// as pictures (core/base/control_pictures.h).
#pragma once

#include <ostream>

namespace tuv {
class repository;
}

namespace tuv::tools {

void run_info(repository& repo, std::ostream& out);

}  // namespace tuv::tools
