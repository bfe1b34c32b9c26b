#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

#include "core/base/utf8_path.h"
#include "platform/utf8_process.h"
#include "tools/cli.h"

namespace {

// This program's own file, so that `quillmark init` finds the check-in
// program beside it.
std::filesystem::path own_file(const std::string& argv0) {
    std::error_code error;
#ifdef _WIN32
    wchar_t path[32768];
    const DWORD length = ::GetModuleFileNameW(nullptr, path, static_cast<DWORD>(std::size(path)));
    if (length > 0 && length < std::size(path)) return std::filesystem::path(path);
#else
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error) return self;
#endif
    return std::filesystem::absolute(tuv::path_from_utf8(argv0), error);
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
    // Names and paths are UTF-8 from the command line to what is printed.
    const platform::utf8_console console;
    const std::vector<std::string> arguments = platform::utf8_arguments(argc, argv);
    std::vector<const char*> args;
    for (const std::string& argument : arguments) args.push_back(argument.c_str());
    return tuv::tools::run_cli(
        static_cast<int>(args.size()), args.data(), std::cout, std::cerr,
        {own_file(arguments.empty() ? std::string() : arguments[0]).parent_path(),
         output_is_terminal()});
}
