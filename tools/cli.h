// `quillmark`, the administration command line: parses the arguments, runs
// one subcommand and turns every failure into one line on the error stream.
//
// Exit codes: 0 success, 1 the command failed, 2 the command line is wrong.
#pragma once

#include <filesystem>
#include <ostream>

namespace tuv::tools {

inline constexpr int exit_ok = 0;
inline constexpr int exit_failed = 1;
inline constexpr int exit_usage = 2;

struct cli_environment {
    // The folder the programs are installed in (or built into); the check-in
    // program is registered from there.
    std::filesystem::path program_dir;
    // Standard output is a terminal: long work shows its progress there.
    bool terminal = false;
};

int run_cli(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
            const cli_environment& env);

}  // namespace tuv::tools
