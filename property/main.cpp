// Quillmark_Property: shows what the vault knows about the local file named
// on its command line, and checks out any of its versions.
#include "gui/prompt_script.h"
#include "gui/window_main.h"
#include "property/CVellum_PropertyApp.h"
#include "property/CVellum_PropertyDlg.h"
#include "property/command_line.h"

int main(int argc, char** argv) {
    return tuv::gui::window_main(
        argc, argv, "Quillmark_Property",
        [](const std::vector<std::string>& arguments, tuv::gui::prompter& prompter) {
            // For end-to-end tests: the script answers, and closes the dialog at once.
            const auto script =
                tuv::gui::prompt_script::from_environment("QUILLMARK_PROPERTY_SCRIPT");
            CVellum_PropertyApp app(script ? script->prompter() : prompter);
            if (script) app.set_dialog_runner([](CVellum_PropertyDlg&) {});
            return app.run(tuv::property::local_path_from(arguments));
        });
}
