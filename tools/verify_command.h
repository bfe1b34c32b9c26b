// `quillmark verify`: checks the vault's integrity (see core/verify.h): one
// line per warning, one per problem, then the summary line. Only reads.
// A warning (a data folder or container outside the vault's folder) is no
// problem: with warnings alone the command succeeds (exit code 0).
#pragma once

#include <ostream>

namespace tuv {
class repository;
}

namespace tuv::tools {

// Returns true when the vault has no problems.
bool run_verify(repository& repo, bool read_data, std::ostream& out);

}  // namespace tuv::tools
