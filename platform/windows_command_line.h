// Windows only: the command line that hands a program its arguments whole.
// Windows passes one line, which the program splits again
// (CommandLineToArgvW and the C runtime agree on the rules); an argument with
// blanks, quotes or backslashes before a quote must be quoted so that it
// comes back as it was.
#pragma once

#include <string>
#include <vector>

namespace platform {

// `argument` as it goes on a command line: as it is when nothing in it needs
// quoting, else in quotes, with each quote and the backslashes before a
// quote (or before the closing one) escaped.
std::string quoted_argument(const std::string& argument);

// The program's path in quotes (a path holds no quote), then each argument
// quoted, after one blank each.
std::string windows_command_line(const std::string& program,
                                 const std::vector<std::string>& arguments);

}  // namespace platform
