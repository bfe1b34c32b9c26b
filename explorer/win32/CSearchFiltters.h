// The explorer's search form (template IDD_SEARCH, a child dialog): a name,
// a description, Reset, Search (the default: Enter in a field searches) and
// "X", which broadcasts close_message() for the main frame to hide the
// pane. The search itself is pane_search's. Its mnemonics, Alt+R and Alt+S,
// press its buttons while the focus is in it, before the window's menu:
// the message loop hands the form its messages (IsDialogMessage) first.
//
// Borrows the document, which must outlive the form.
#pragma once

#include <windows.h>

class CVellum_ExplorerDoc;

class CSearchFiltters {
  public:
    // A child of `parent`, shown.
    CSearchFiltters(CVellum_ExplorerDoc& document, HWND parent);
    ~CSearchFiltters();
    CSearchFiltters(const CSearchFiltters&) = delete;
    CSearchFiltters& operator=(const CSearchFiltters&) = delete;

    HWND window() const { return window_; }

    // Empties both fields.
    void reset();
    // Runs the search and puts the list into search mode with its results;
    // says so when there are none, or when the vault refuses the search.
    void search();

    // The registered message of "X", broadcast with both parameters 0.
    static UINT close_message();

    INT_PTR handle(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

  private:
    void layout(int width);

    CVellum_ExplorerDoc& document_;
    HWND window_ = nullptr;
};
