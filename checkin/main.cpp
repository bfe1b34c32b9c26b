// Quillmark_Checkin: checks the local files named on its command line into
// the vault, after asking where, when and why.
#include <QApplication>
#include <cstdio>
#include <string>
#include <vector>

#include "checkin/CVellumApp.h"
#include "checkin/command_line.h"
#include "checkin/script_hook.h"
#include "gui/app_icon.h"
#include "gui/qt_prompter.h"

int main(int argc, char** argv) {
    // Read before Qt takes the options it knows out of argv.
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    QApplication application(argc, argv);
    application.setWindowIcon(tuv::gui::app_icon());
    try {
        tuv::gui::qt_prompter prompter;
        const auto hook = tuv::checkin::script_hook::from_environment();
        CVellumApp app(hook ? hook->prompter() : prompter);
        if (hook) hook->install(app);
        return app.run(tuv::checkin::command_line_text(arguments));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "Quillmark_Checkin: %s\n", error.what());
        return 1;
    }
}
