// The cabinet picker under Win32 (template IDD_SELECT_CABINET): the vault's
// directories in a tree filled as it is expanded, the chosen one's path,
// and New Cabinet, which adds a name to the tree only (the directory is made
// when a file is checked in under it).
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "gui/win32/cabinet_tree.h"

namespace tuv {
class repository;
}
namespace tuv::gui {
class prompter;
}

namespace tuv::win32 {

class CSelectCabinate {
  public:
    // Borrows both, which must outlive the dialog.
    CSelectCabinate(repository& repo, gui::prompter& prompter);

    // Shows the picker over `owner` until OK or Cancel; the chosen vault
    // path after OK.
    std::optional<std::string> run(HWND owner);

    INT_PTR handle(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

  private:
    void selected(HTREEITEM item);
    void new_cabinet();

    gui::prompter& prompter_;
    cabinet_tree cabinets_;
    HWND window_ = nullptr;
    HWND tree_ = nullptr;
    std::string destination_;
};

}  // namespace tuv::win32
