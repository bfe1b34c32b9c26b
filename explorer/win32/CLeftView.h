// The cabinet tree in the explorer's left pane: a window of its own around a
// tree view of the vault's folders, filled as they are opened (the shared
// cabinet_tree). Activating a folder (double-click, Enter) makes it the
// current location; its context menu adds a cabinet there. It is filled
// anew when the document's refresh flag is set.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "gui/win32/cabinet_tree.h"

class CVellum_ExplorerDoc;

class CLeftView {
  public:
    // A child of `parent` with the control id `id`; borrows the document,
    // which must outlive the view.
    CLeftView(CVellum_ExplorerDoc& document, HWND parent, int id);
    ~CLeftView();
    CLeftView(const CLeftView&) = delete;
    CLeftView& operator=(const CLeftView&) = delete;

    HWND window() const { return window_; }
    HWND tree() const { return tree_; }

    // Makes `location` current (search mode off), as activating its item
    // does; a vault error is said and the views show what they can.
    void go_to_location(const std::string& location);
    // Ctrl+W and the context menu: a new cabinet under the current location.
    void add_cabinet();
    // The views are shown again: the tree is read anew when the vault has
    // changed (the refresh flag), and the history with it.
    void views_changed();

    LRESULT handle(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

  private:
    // The main window, which owns the view's prompts and menus.
    HWND owner() const { return ::GetAncestor(window_, GA_ROOT); }
    LRESULT notify(const NMHDR& header);
    void activate(HTREEITEM item);
    void show_menu(LPARAM at);

    CVellum_ExplorerDoc& document_;
    std::unique_ptr<tuv::win32::cabinet_tree> cabinets_;  // null without a vault
    HWND window_ = nullptr;
    HWND tree_ = nullptr;
};
