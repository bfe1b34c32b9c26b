// A dialog that asks for one new name (template IDD_NEW_NAME): a label, a
// field of at most 255 characters and an add button that accepts only a
// valid name. A refused name is answered with a message under "Quillmark!"
// (exclamation icon), the field is emptied and has the focus again, and the
// dialog stays open. The check-in program's and the explorer's new-name
// dialogs are made of it.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>

namespace tuv::gui {
class prompter;
}

namespace tuv::win32 {

struct name_dialog_texts {
    std::string title;
    std::string label;
    std::string add_button;
    const char* refusal;  // the message that refuses a name
};

class name_dialog {
  public:
    // Borrows the prompter, which must outlive the dialog.
    name_dialog(name_dialog_texts texts, std::function<bool(const std::string&)> valid,
                gui::prompter& prompter);

    // Shows the dialog over `owner`; the name after Add, nullopt after
    // Cancel.
    std::optional<std::string> run(HWND owner);

    INT_PTR handle(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

  private:
    void add();

    name_dialog_texts texts_;
    std::function<bool(const std::string&)> valid_;
    gui::prompter& prompter_;
    HWND window_ = nullptr;
    std::string name_;
};

}  // namespace tuv::win32
