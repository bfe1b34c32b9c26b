// `quillmark info`: what a vault holds, its settings, catalogue and history.
#pragma once

#include <ostream>

namespace tuv {
class repository;
}

namespace tuv::tools {

void run_info(repository& repo, std::ostream& out);

}  // namespace tuv::tools
