// The explorer's list: a window of its own around a virtual report-style
// list view (LVS_OWNERDATA) over list_rows, so that a long list costs only
// the rows in sight; further pages are read as the view reaches the end. It
// shows the entries of the current location, the versions of one file, or
// the results of a search. Activating a row (double-click, Enter) goes where
// it leads; the context menu runs the commands on the selected rows. Local
// files dropped on it are checked in to the current location through the
// check-in program.
#pragma once

#include <windows.h>
// The other Windows headers build on windows.h.
#include <commctrl.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "explorer/list_rows.h"
#include "gui/checkout_sequence.h"

class CVellum_ExplorerDoc;

class CVellum_HView {
  public:
    // A child of `parent` with the control id `id`, showing the document's
    // state at once; borrows the document, which must outlive the view.
    CVellum_HView(CVellum_ExplorerDoc& document, HWND parent, int id);
    ~CVellum_HView();
    CVellum_HView(const CVellum_HView&) = delete;
    CVellum_HView& operator=(const CVellum_HView&) = delete;

    HWND window() const { return window_; }
    HWND list() const { return list_; }
    // The selected rows, in ascending order.
    std::vector<int> selected_rows() const;

    // The views are shown again: the rows are read anew.
    void views_changed();

    // The commands of the context menu, which WM_COMMAND with their ids
    // (ID_LIST_...) runs too.
    void view_selected();
    void check_out_selected();
    void properties_of_selected();
    void check_out_folder();

    LRESULT handle(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

  private:
    HWND owner() const { return ::GetAncestor(window_, GA_ROOT); }
    void reload();
    void show_more();
    void set_columns();
    void fit_columns();
    LRESULT notify(NMHDR& header);
    LRESULT find_row(const NMLVFINDITEMW& find) const;
    void show_menu(LPARAM at);
    void command(UINT id);
    void dropped(HDROP drop);
    static LRESULT CALLBACK list_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                                           UINT_PTR, DWORD_PTR view);

    CVellum_ExplorerDoc& document_;
    tuv::explorer::list_rows rows_;
    tuv::gui::date_chooser choose_;
    HWND window_ = nullptr;
    HWND list_ = nullptr;
    std::vector<std::string> titles_;  // of the columns shown
    bool more_asked_ = false;
};
