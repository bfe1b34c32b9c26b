// The check-in program's command line: which local files to check in, in
// which order, and which vault directory to offer.
//
// Two forms. Form A (from the file manager): full local paths joined by "#".
// Form B (from the explorer): a selection, ",", then a vault directory; the
// selection is one full local path, or a local folder followed by "#" and
// names of files in it joined by "#". The last "," of the whole text starts
// the directory, and "#" always separates paths, so paths holding either
// cannot be expressed; a path cut apart by them names a file that does not
// exist, which the check-in reports.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tuv::checkin {

struct command_line {
    std::string selection;                   // the text before the directory (form B) or all
    std::optional<std::string> destination;  // form B's vault directory
    bool multiple = false;                   // the selection holds "#"
    // The files in the order they are checked in: form A from the last path
    // to the first, form B from the last name to the first.
    std::vector<std::filesystem::path> files;
};

// Reads the text after the program name. Empty text gives no files.
command_line parse_command_line(const std::string& text);

// The program's command line from its arguments: joined by single blanks
// (gui::command_line_text).
// After the option "--files" the arguments are paths, joined by "#" into
// form A: what the desktop file passes for several selected files.
std::string command_line_text(const std::vector<std::string>& arguments);

}  // namespace tuv::checkin
