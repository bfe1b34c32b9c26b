// The properties program's command line: the path of one local file.
#pragma once

#include <string>
#include <vector>

namespace tuv::property {

// The local path the program is asked about, from its arguments: they are
// joined by single blanks (gui::command_line_text), except that a single
// argument that begins and ends with a double quote is taken without the
// two quotes, as a Windows-style caller writes a path with blanks in it. A
// relative path is made absolute against the current folder and its "."
// and ".." are resolved by name, so that it reads as a check-in recorded
// it. An absolute path and the empty text are taken unchanged; a relative
// one stays as it is when the current folder cannot be had.
std::string local_path_from(const std::vector<std::string>& arguments);

}  // namespace tuv::property
