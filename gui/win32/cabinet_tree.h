// The vault's directories ("cabinets") in a Win32 tree view, filled as they
// are expanded: a cabinet not yet listed holds an empty placeholder child
// that gives it its expand button, and its children are listed in its place
// on the first expansion. The check-in program's cabinet picker shows the
// root as an item of its own ("\"); the explorer's tree shows the root's
// cabinets at the top.
//
// Borrows the repository and the prompter, which must outlive the tree.
#pragma once

#include <windows.h>
// The other Windows headers build on windows.h.
#include <commctrl.h>

#include <string>
#include <vector>

namespace tuv {
class repository;
}
namespace tuv::gui {
class prompter;
}

namespace tuv::win32 {

class cabinet_tree {
  public:
    // A cabinet that cannot be listed is said under `caption`.
    cabinet_tree(repository& repo, gui::prompter& prompter, const char* caption, bool root_shown);
    ~cabinet_tree();
    cabinet_tree(const cabinet_tree&) = delete;
    cabinet_tree& operator=(const cabinet_tree&) = delete;

    // Gives `tree` the folder icons and fills it; again for the same view
    // when the vault has changed.
    void fill(HWND tree);
    // Before the view is destroyed: takes its icons away.
    void release();

    HWND view() const { return tree_; }
    // The root's item; null when the root is not shown.
    HTREEITEM root() const { return root_; }

    // TVN_ITEMEXPANDINGW: lists the children of a cabinet being expanded.
    void expanding(const NMTREEVIEWW& change);
    // Lists the children of `item` when not yet done.
    void open(HTREEITEM item);

    std::string item_name(HTREEITEM item) const;
    // The cabinets' names below `item` (TVI_ROOT for the top).
    std::vector<std::string> child_names(HTREEITEM item) const;
    // The full vault path of an item.
    std::string path_of(HTREEITEM item) const;
    // Adds a cabinet without cabinets of its own below `parent` at its
    // place in the tree's order.
    HTREEITEM add_in_order(HTREEITEM parent, const std::string& name);

  private:
    HTREEITEM add_item(HTREEITEM parent, HTREEITEM after, const std::string& name,
                       bool has_cabinets);
    void list(HTREEITEM item, const std::string& path);

    repository& repo_;
    gui::prompter& prompter_;
    const char* caption_;
    bool root_shown_;
    std::string separator_;
    HWND tree_ = nullptr;
    HTREEITEM root_ = nullptr;
    HIMAGELIST images_ = nullptr;  // owned
};

}  // namespace tuv::win32
