#include <unistd.h>

#include <filesystem>
#include <iostream>

#include "tools/cli.h"

int main(int argc, char** argv) {
    std::error_code error;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) self = std::filesystem::absolute(argv[0]);
    return tuv::tools::run_cli(argc, argv, std::cout, std::cerr,
                               {self.parent_path(), isatty(STDOUT_FILENO) == 1});
}
