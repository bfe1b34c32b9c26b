// What the window programs read of their command line. Programs start each
// other with a Windows-style command line passed as one argument, so a
// program reads its command line as its arguments joined by single blanks.
#pragma once

#include <span>
#include <string>

namespace tuv::gui {

// `arguments` joined by `separator`; empty for none.
std::string command_line_text(std::span<const std::string> arguments, char separator = ' ');

// The name of the file a local path names: the part after the last local
// separator (empty when the path ends in one).
std::string file_name_of(const std::string& path);

}  // namespace tuv::gui
