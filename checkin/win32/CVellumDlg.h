// The check-in program's main dialog under Win32 (template IDD_CHECKIN):
// the selection, the destination with Browse, the date and time pickers and
// the description, shown over a checkin_form that holds what they say.
#pragma once

#include <windows.h>

namespace tuv {
class repository;
}
namespace tuv::gui {
class prompter;
}
namespace tuv::checkin_app {
class checkin_form;
}

namespace tuv::win32 {

class CVellumDlg {
  public:
    // Borrows all three, which must outlive the dialog.
    CVellumDlg(checkin_app::checkin_form& form, repository& repo, gui::prompter& prompter);

    // Shows the dialog over `owner` (may be null) until Submit or Cancel;
    // true when submitted, the form then holding the dialog's values.
    bool run(HWND owner);

    INT_PTR handle(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

  private:
    void start();
    void show_destination();
    void date_changed();
    void browse();
    void submit();

    checkin_app::checkin_form& form_;
    repository& repo_;
    gui::prompter& prompter_;
    HWND window_ = nullptr;
};

}  // namespace tuv::win32
