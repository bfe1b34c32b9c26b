// Quillmark_Export: exports vault files and trees to a local folder.
#include <iostream>
#include <string>
#include <vector>

#include "export/export_command.h"
#include "platform/batch_memory.h"
#include "platform/utf8_process.h"

int main(int argc, char** argv) {
    platform::keep_freed_memory();
    // Names and paths are UTF-8 from the command line to what is printed.
    const platform::utf8_console console;
    const std::vector<std::string> arguments = platform::utf8_arguments(argc, argv);
    std::vector<const char*> args;
    for (const std::string& argument : arguments) args.push_back(argument.c_str());
    return tuv::run_export_command(static_cast<int>(args.size()), args.data(), std::cout,
                                   std::cerr);
}
