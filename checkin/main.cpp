// Quillmark_Checkin: checks the local files named on its command line into
// the vault, after asking where, when and why.
#include "checkin/CVellumApp.h"
#include "checkin/script_hook.h"
#include "gui/window_main.h"

int main(int argc, char** argv) {
    return tuv::gui::window_main(
        argc, argv, "Quillmark_Checkin",
        [](const std::vector<std::string>& arguments, tuv::gui::prompter& prompter) {
            const auto hook = tuv::checkin_app::script_hook::from_environment();
            CVellumApp app(hook ? hook->prompter() : prompter);
            if (hook) hook->install(app);
            return app.run(arguments);
        });
}
