// Lets the person choose which version of a vault file to write out
// (template IDD_CHECKOUT): its name and path, its version times in an
// editable list in the order of their moments (or one typed in) and the
// description of the chosen version. The explorer's checkout uses it as the
// date chooser of gui::checkout_to_local_file.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "explorer/checkout_choice.h"
#include "gui/checkout_sequence.h"

namespace tuv {
class repository;
}
namespace tuv::gui {
class prompter;
}

class CVellumCheckout {
  public:
    // `versions` are the file's version times as the lists write them; the
    // list shows them in the order of the moments they name. `index`
    // selects an entry of that list; one outside it selects the first.
    // Borrows `repo` and `prompter`, which must outlive the dialog.
    CVellumCheckout(tuv::repository& repo, tuv::gui::prompter& prompter,
                    const std::string& vault_path, const std::vector<std::string>& versions,
                    int index);

    // Shows the dialog over `owner`; the chosen or typed time text after
    // Save, nullopt after Cancel.
    std::optional<std::string> run(HWND owner);

    INT_PTR handle(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

  private:
    void start();
    void show_description();

    tuv::gui::prompter& prompter_;
    tuv::explorer::checkout_choice choice_;
    std::vector<std::string> times_;
    int index_;
    HWND window_ = nullptr;
    std::string time_text_;
};

// A date chooser that shows CVellumCheckout for each row, over the window
// that `owner` names when it is asked, the newest version selected. Borrows
// the repository and the prompter for as long as the chooser lives.
tuv::gui::date_chooser checkout_dialog_chooser(tuv::repository& repo, tuv::gui::prompter& prompter,
                                               std::function<HWND()> owner);
