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
    std::vector<std::filesystem::path> files;  // checked in in this order
    std::string directory;                     // full vault path; "" for the root
    std::string date = "now";                  // "YYYY-MM-DD HH:MM:SS" or "now"
    std::string description;
};

// Checks every file in, each with the same directory, date and description;
// a file that fails is reported on `err` in one line and does not stop the
// others. `terminal`: draw a progress bar on `out` while a file is checked
// in. Returns the number of files that failed.
int run_checkin(repository& repo, const checkin_request& request, std::ostream& out,
                std::ostream& err, bool terminal);

}  // namespace tuv::tools
