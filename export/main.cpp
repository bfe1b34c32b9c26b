// Quillmark_Export: exports vault files and trees to a local folder.
#include <iostream>

#include "export/export_command.h"

int main(int argc, char** argv) {
    return tuv::run_export_command(argc, argv, std::cout, std::cerr);
}
