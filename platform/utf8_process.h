// The process's own text as UTF-8, as the rest of the programs keep text on
// every system: its arguments, its environment and the console it writes to.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace platform {

// The program's arguments as UTF-8, its name first. Elsewhere argv as it is.
// On Windows the argv that main gets is in the narrow code page, which cannot
// hold most names, so the arguments are read again from the process's wide
// command line (GetCommandLineW, split by CommandLineToArgvW) and argv serves
// only when that fails.
std::vector<std::string> utf8_arguments(int argc, char** argv);

// The environment variable `name` (ASCII) as UTF-8; nullopt when it is not
// set. On Windows read through the wide environment, for the same reason.
std::optional<std::string> utf8_environment_variable(const char* name);

// While one lives, a Windows console that shows the standard output or error
// reads the bytes written there as UTF-8 (SetConsoleOutputCP(CP_UTF8)); the
// console's code page before is restored at the end. What goes to a file or
// a pipe is the UTF-8 bytes as written, on every system. Does nothing
// elsewhere.
class utf8_console {
  public:
    utf8_console();
    ~utf8_console();
    utf8_console(const utf8_console&) = delete;
    utf8_console& operator=(const utf8_console&) = delete;

  private:
    unsigned previous_ = 0;  // Windows: the code page to restore; 0 for none
};

}  // namespace platform
