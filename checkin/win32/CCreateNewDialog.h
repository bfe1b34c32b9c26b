// The dialog that asks for a new entry's name under Win32 (template
// IDD_NEW_NAME): "Quillmark: Add New <kind>", "<kind> Name", Add and Cancel.
// Add refuses an empty name or one with the entry characters, telling why
// over the dialog, and stays open.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace tuv::gui {
class prompter;
}

namespace tuv::win32 {

class CCreateNewDialog {
  public:
    // Borrows the prompter, which must outlive the dialog.
    CCreateNewDialog(std::string kind, gui::prompter& prompter);

    // Shows the dialog over `owner`; the name after Add, nullopt after
    // Cancel.
    std::optional<std::string> run(HWND owner);

    INT_PTR handle(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

  private:
    void add();

    std::string kind_;
    gui::prompter& prompter_;
    HWND window_ = nullptr;
    std::string name_;
};

}  // namespace tuv::win32
