// The Win32 check-in program's windows, as checkin_program asks for them:
// the main dialog (with the cabinet picker behind Browse) and the progress
// window.
#pragma once

#include "checkin/checkin_program.h"

namespace tuv::win32 {

class win32_checkin_windows : public checkin_app::checkin_windows {
  public:
    // Borrows the prompter, which must outlive this.
    explicit win32_checkin_windows(gui::prompter& prompter) : prompter_(prompter) {}

    bool ask_details(checkin_app::checkin_form& form, repository& repo) override;
    std::unique_ptr<checkin_app::checkin_progress> show_progress() override;

  private:
    gui::prompter& prompter_;
};

// Quillmark_Checkin's main: the check-in program named after its own file,
// on its command line, with the person's prompter.
int checkin_main();

}  // namespace tuv::win32
