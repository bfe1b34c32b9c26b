// The explorer's main window: the cabinet tree on the left (or the search
// pane in its place), the list above the time line on the right, the menus,
// their accelerators and the status bar with the menus' prompts and the
// repository's size.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

class CLeftView;
class CSearchFiltters;
class CVellum_ExplorerDoc;
class CVellum_HView;
class CVellum_ThinFrameSplitterWnd;

namespace tuv::win32 {
class TFormView;
}

class CMainFrame {
  public:
    // Makes the window, not yet shown, 700 by 500 pixels. Borrows the
    // document, which must outlive the window.
    explicit CMainFrame(CVellum_ExplorerDoc& document);
    ~CMainFrame();
    CMainFrame(const CMainFrame&) = delete;
    CMainFrame& operator=(const CMainFrame&) = delete;

    HWND window() const { return window_; }
    CLeftView& tree() { return *tree_; }
    CVellum_HView& list() { return *list_; }
    tuv::win32::TFormView& time_line() { return *form_; }
    // The search pane's form and list while it is shown, else null.
    CSearchFiltters* search_form() { return search_form_.get(); }
    CVellum_HView* search_list() { return search_list_.get(); }

    // What the message loop asks first: the accelerators, then the search
    // form's keyboard. True when the message was taken.
    bool translate(MSG& message);

    // The document's changes: every pane shows them.
    void reload_views();
    // The repository's size is counted at the next tick of the timer.
    void request_size_count() { count_size_ = true; }
    // Hides the window, or shows it in front.
    void set_hidden(bool hidden);

    // F3, the Search menu and the search form's X: shows the search pane in
    // place of the tree, or hides it.
    void toggle_search_pane();
    // Counts the container files when a count was asked for since the last
    // one.
    void update_repository_size();

    LRESULT handle(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

  private:
    void command(UINT id);
    void set_change_type(UINT id);
    void export_vault();
    void show_help();
    void menu_selected(UINT item, UINT flags, HMENU menu);
    void show_size(const std::string& text);
    void layout();
    // Keeps the tree's column between 10% and 40% of the window's width.
    void keep_tree_width(int width);
    bool on_bar(POINT at) const;
    void snap_size();

    CVellum_ExplorerDoc& document_;
    HWND window_ = nullptr;
    HWND status_ = nullptr;
    HWND focus_ = nullptr;  // the child that had the focus when the window was left
    HACCEL accelerators_ = nullptr;
    std::unique_ptr<CLeftView> tree_;
    std::unique_ptr<CVellum_HView> list_;
    std::unique_ptr<tuv::win32::TFormView> form_;
    int form_height_ = 0;  // the form keeps the height it is made with
    std::unique_ptr<CVellum_ThinFrameSplitterWnd> search_pane_;
    std::unique_ptr<CSearchFiltters> search_form_;
    std::unique_ptr<CVellum_HView> search_list_;
    int left_width_;  // the tree's column, with the search form when shown
    bool dragging_ = false;
    bool sizing_ = false;
    bool count_size_ = true;
    std::string size_text_;
};
