#include "checkin/win32/win32_checkin_windows.h"

#include "checkin/win32/CCheckinProgressDlg.h"
#include "checkin/win32/CVellumDlg.h"
#include "gui/win32/window_main.h"

namespace tuv::win32 {

bool win32_checkin_windows::ask_details(checkin_app::checkin_form& form, repository& repo) {
    return CVellumDlg(form, repo, prompter_).run(nullptr);
}

std::unique_ptr<checkin_app::checkin_progress> win32_checkin_windows::show_progress() {
    return std::make_unique<CCheckinProgressDlg>();
}

int checkin_main() {
    return window_main([](const std::vector<std::string>& arguments, gui::prompter& prompter) {
        win32_checkin_windows windows(prompter);
        return checkin_app::checkin_program(program_name(), prompter, windows).run(arguments);
    });
}

}  // namespace tuv::win32
