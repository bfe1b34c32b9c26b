#include <cstdio>
#include <filesystem>
#include <iostream>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

#include "tools/cli.h"

namespace {

// This program's own file, so that `quillmark init` finds the check-in
// program beside it.
std::filesystem::path own_file(const char* argv0) {
    std::error_code error;
#ifdef _WIN32
    wchar_t path[32768];
    const DWORD length = ::GetModuleFileNameW(nullptr, path, static_cast<DWORD>(std::size(path)));
    if (length > 0 && length < std::size(path)) return std::filesystem::path(path);
#else
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error) return self;
#endif
    return std::filesystem::absolute(argv0, error);
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
    return tuv::tools::run_cli(argc, argv, std::cout, std::cerr,
                               {own_file(argv[0]).parent_path(), output_is_terminal()});
}
