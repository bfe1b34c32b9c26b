// The cabinet picker under Win32 (template IDD_SELECT_CABINET): the vault's
// directories in a tree filled as it is expanded, the chosen one's path,
// and New Cabinet, which adds a name to the tree only (the directory is made
// when a file is checked in under it).
#pragma once

#include <windows.h>
// The other Windows headers build on windows.h.
#include <commctrl.h>

#include <optional>
#include <string>
#include <vector>

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
    void start();
    HTREEITEM add_item(HTREEITEM parent, HTREEITEM after, const std::string& name,
                       bool has_cabinets);
    std::string item_name(HTREEITEM item) const;
    std::vector<std::string> child_names(HTREEITEM item) const;
    std::string path_of(HTREEITEM item) const;
    void open(HTREEITEM item);
    void fill(HTREEITEM item);
    void selected(HTREEITEM item);
    void new_cabinet();

    repository& repo_;
    gui::prompter& prompter_;
    std::string separator_;
    HWND window_ = nullptr;
    HWND tree_ = nullptr;
    HTREEITEM root_ = nullptr;
    HIMAGELIST images_ = nullptr;  // owned while the window lives
    std::string destination_;
};

}  // namespace tuv::win32
