// `quillmark checkin`: checks local files in as new versions, one
// transaction per file, with a progress bar per file on a terminal.
#pragma once

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

namespace tuv {
class repository;
}

namespace tuv::tools {

struct checkin_request {
    // Checked in in this order; a folder stands for every file below it, in
    // path order, each in a vault directory of the folder's name below
    // `directory` (as cp -r places it).
    std::vector<std::filesystem::path> files;
    std::string directory;                     // full vault path; "" for the root
    std::string date = "now";                  // "YYYY-MM-DD HH:MM:SS" or "now"
    std::string description;
};

// Checks every file in, each with the same date and description; a file
// that fails is reported on `err` in one line and does not stop the others
// (so is an entry below a folder that is not a regular file, or a folder
// that cannot be listed). Empty folders are not made in the vault. `terminal`: draw a progress bar on `out` while a file is checked
// in. Paths and messages in these lines show control characters as pictures
// (core/base/control_pictures.h). Returns the number of files that failed.
int run_checkin(repository& repo, const checkin_request& request, std::ostream& out,
                std::ostream& err, bool terminal);

}  // namespace tuv::tools
