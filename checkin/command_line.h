// The check-in program's command line: which local files to check in, in
// which order, and which vault directory to offer.
//
// Our own programs give every path as an argument of its own, taken whole:
// "[--to VAULT_DIR] --files PATH...". Outside callers use the joined forms.
// Form A (a file manager): full local paths joined by "#". Form B: a
// selection, ",", then a vault directory; the selection is one full local
// path, or a local folder followed by "#" and names of files in it joined by
// "#". The last "," of the whole text starts the directory, and "#" always
// separates paths, so paths holding either cannot be expressed there: a
// piece of a joined form that is not the full path of an existing file is
// refused, and then nothing is checked in.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tuv::checkin_app {

struct command_line {
    std::string selection;                   // the one path, or the joined text
    std::optional<std::string> destination;  // the vault directory to offer
    bool multiple = false;                   // more than one path
    // The files in the order they are checked in: from the last path (or
    // name) given to the first.
    std::vector<std::filesystem::path> files;
    // Pieces of a joined form that are not the full path of an existing
    // file, as given; when there are any, nothing is checked in.
    std::vector<std::string> refused;
};

// Reads a joined form, the text after the program name. Empty text gives no
// files. Refuses nothing: read_command_line checks the pieces.
command_line parse_command_line(const std::string& text);

// The program's command line from its arguments. "--to VAULT_DIR" and then
// "--files" take each following argument as one whole path (a relative one
// against the current folder, as a shell user means it); otherwise the
// arguments are joined by single blanks into a joined form, whose pieces
// must each be the full path of an existing file.
command_line read_command_line(const std::vector<std::string>& arguments);

}  // namespace tuv::checkin_app
