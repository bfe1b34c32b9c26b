#include "property/win32/win32_property_windows.h"

#include "gui/win32/window_main.h"
#include "property/command_line.h"
#include "property/win32/CVellum_PropertyDlg.h"

namespace tuv::win32 {

void win32_property_windows::show_dialog(const std::string& local_path,
                                         property::property_model& model, repository& repo) {
    CVellum_PropertyDlg(local_path, model, repo, prompter_).run(nullptr);
}

int property_main() {
    return window_main([](const std::vector<std::string>& arguments, gui::prompter& prompter) {
        win32_property_windows windows(prompter);
        return property::property_program(prompter, windows)
            .run(property::local_path_from(arguments));
    });
}

}  // namespace tuv::win32
