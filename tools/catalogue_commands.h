// `quillmark ls` and `quillmark mkdir`: the vault's directory tree.
#pragma once

#include <ostream>
#include <string>

namespace tuv {
class repository;
}

namespace tuv::tools {

// One line per child of the directory: directories first, each name ending
// in the separator, then files with their size; both sorted by name. Names
// show control characters as pictures (core/base/control_pictures.h).
void run_ls(repository& repo, const std::string& vault_dir, std::ostream& out);

// Creates a cabinet or folder at a full vault path, dated now, under an
// existing directory. Refuses names with the characters that cabinet names
// may not hold and a name that already exists there in any case.
void run_mkdir(repository& repo, const std::string& vault_path, std::ostream& out);

}  // namespace tuv::tools
