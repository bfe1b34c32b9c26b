#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "core/base/utf8_path.h"
#include "platform/batch_memory.h"
#include "platform/program_folder.h"
#include "platform/utf8_process.h"
#include "tools/cli.h"

namespace {

// This program's folder, so that `quillmark init` finds the check-in
// program beside it.
std::filesystem::path own_folder(const std::string& argv0) {
    std::filesystem::path folder = platform::program_folder();
    if (!folder.empty()) return folder;
    std::error_code error;
    return std::filesystem::absolute(tuv::path_from_utf8(argv0), error).parent_path();
}

bool output_is_terminal() {
#ifdef _WIN32
    return ::_isatty(::_fileno(stdout)) != 0;
#else
    return ::isatty(STDOUT_FILENO) == 1;
#endif
}

}  // namespace

int main(int argc, char** argv) {
    platform::keep_freed_memory();
    // Names and paths are UTF-8 from the command line to what is printed.
    const platform::utf8_console console;
    const std::vector<std::string> arguments = platform::utf8_arguments(argc, argv);
    std::vector<const char*> args;
    for (const std::string& argument : arguments) args.push_back(argument.c_str());
    return tuv::tools::run_cli(
        static_cast<int>(args.size()), args.data(), std::cout, std::cerr,
        {own_folder(arguments.empty() ? std::string() : arguments[0]), output_is_terminal()});
}
