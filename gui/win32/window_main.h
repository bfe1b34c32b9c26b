// What every Win32 window program's main does around its own work.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace tuv::gui {
class prompter;
}

namespace tuv::win32 {

// Runs a program on its UTF-8 arguments with the person's prompter and
// returns its exit code.
using window_program =
    std::function<int(const std::vector<std::string>& arguments, gui::prompter& prompts)>;

// Readies the common controls and COM for the program's one GUI thread,
// reads the wide command line and runs `program` with a win32_prompter. An
// exception that escapes it is shown in a message box under the program's
// name and ends the program with 1.
int window_main(const window_program& program);

// The program's file name without its extension, e.g. "Quillmark_Checkin".
std::string program_name();

}  // namespace tuv::win32
