// Writes the Dolphin service menu for programs installed in BIN_DIR to FILE:
// a build step, so that the packaged menu is the one `quillmark
// shell-integration` writes. Not installed.
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "shellext/registration.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: quillmark_service_menu BIN_DIR FILE\n";
        return 2;
    }
    try {
        std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
        out << tuv::shell::service_menu_text(argv[1]);
        out.close();
        if (!out) {
            std::cerr << "quillmark_service_menu: cannot write " << argv[2] << "\n";
            return 1;
        }
    } catch (const std::exception& error) {
        std::cerr << "quillmark_service_menu: " << error.what() << "\n";
        return 1;
    }
    return 0;
}
