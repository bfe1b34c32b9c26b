// `quillmark stats`: the vault's figures (see core/vault_stats.h), one per
// line, with byte counts in plain bytes.
#pragma once

#include <ostream>

namespace tuv {
class repository;
}

namespace tuv::tools {

void run_stats(repository& repo, std::ostream& out);

}  // namespace tuv::tools
