// What every window program's main does around its own work.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace tuv::gui {

class prompter;

// Runs a program on its arguments with the running programs' prompter and
// returns its exit code.
using window_program =
    std::function<int(const std::vector<std::string>& arguments, prompter& prompts)>;

// Reads the arguments (before Qt takes the options it knows out of argv),
// makes the application with the programs' icon and runs `program`. An
// exception that escapes it is written to standard error after `name` and
// ends the program with 1.
int window_main(int argc, char** argv, const char* name, const window_program& program);

}  // namespace tuv::gui
