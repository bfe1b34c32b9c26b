// Quillmark_Shell: Dolphin's check-in command and the Nautilus extension's
// message boxes (shell_program.h).
#include "gui/window_main.h"
#include "shellext/shell_program.h"

int main(int argc, char** argv) {
    return tuv::gui::window_main(argc, argv, "Quillmark_Shell", tuv::shell::run_shell_program);
}
