#include "gui/window_main.h"

#include <QApplication>
#include <cstdio>
#include <exception>

#include "gui/app_icon.h"
#include "gui/qt_prompter.h"

namespace tuv::gui {

int window_main(int argc, char** argv, const char* name, const window_program& program) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    QApplication application(argc, argv);
    application.setWindowIcon(app_icon());
    try {
        qt_prompter prompts;
        return program(arguments, prompts);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s: %s\n", name, error.what());
        return 1;
    }
}

}  // namespace tuv::gui
