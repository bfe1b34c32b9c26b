// Starting another program without waiting for it, as the file-manager
// extension starts the check-in program. A Windows-style command line
// (program name, one blank, the rest) is passed with the rest as the one
// argument: start_detached(program, {rest}).
#pragma once

#include <cstddef>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/base/utf8_path.h"

namespace platform {

// What a program's file name ends in here: ".exe" on Windows.
#ifdef _WIN32
inline constexpr const char* program_suffix = ".exe";
#else
inline constexpr const char* program_suffix = "";
#endif

// The file of the program `name` (UTF-8) in `folder`.
inline std::filesystem::path program_file(const std::filesystem::path& folder,
                                          const std::string& name) {
    return folder / tuv::path_from_utf8(name + program_suffix);
}

class process_error : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

#ifdef _WIN32
// The longest argument that fits a Windows command line (32767 characters
// with its NUL) beside a program name of up to 255 characters and a blank.
inline constexpr std::size_t max_argument_size = 32767 - 1 - 255 - 1;
#else
// The longest single argument Linux passes to a program, in bytes
// (MAX_ARG_STRLEN less the terminating NUL).
inline constexpr std::size_t max_argument_size = 32 * 4096 - 1;
#endif

// Starts `program` (a path; argv[0] is its file name) with `arguments`, in
// the caller's environment and current folder, in a session of its own and
// with no open file of the caller's but the standard three, and returns as
// soon as it runs. The caller never waits for it and keeps no child behind
// (it is started through a short-lived intermediate process). Throws
// process_error "cannot start <program>: <reason>" when it cannot be
// started: missing, not executable, arguments too long.
//
// On Windows the program is started with CreateProcessW: application name
// `program`, command line its file name and each argument (UTF-8) after one
// blank, as written (Windows passes a command line, not arguments); it
// inherits no handles and gets the default error mode.
void start_detached(const std::filesystem::path& program,
                    const std::vector<std::string>& arguments);

}  // namespace platform
