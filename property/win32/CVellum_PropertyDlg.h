// The properties dialog under Win32 (template IDD_PROPERTIES): the local
// file's name and path, the vault files checked in from it in a combo box,
// the chosen one's versions, and Check&Out, which leaves the dialog open.
#pragma once

#include <windows.h>

#include <string>

namespace tuv {
class repository;
}
namespace tuv::gui {
class prompter;
}
namespace tuv::property {
class property_model;
}

namespace tuv::win32 {

class CVellum_PropertyDlg {
  public:
    // Borrows the model, the repository and the prompter, which must
    // outlive the dialog.
    CVellum_PropertyDlg(std::string local_path, property::property_model& model, repository& repo,
                        gui::prompter& prompter);

    // Shows the dialog over `owner` (may be null) until it is closed.
    void run(HWND owner);

    INT_PTR handle(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

  private:
    void start();
    void select_path(int index);
    void show_versions();
    void check_out();

    std::string local_path_;
    property::property_model& model_;
    repository& repo_;
    gui::prompter& prompter_;
    HWND window_ = nullptr;
};

}  // namespace tuv::win32
