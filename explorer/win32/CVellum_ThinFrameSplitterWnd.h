// The search pane's fixed layout: two windows side by side, the left of a
// fixed width, a bar of one pixel between them that cannot be dragged, the
// right taking the rest.
#pragma once

#include <windows.h>

class CVellum_ThinFrameSplitterWnd {
  public:
    // A child of `parent` with the control id `id`.
    CVellum_ThinFrameSplitterWnd(HWND parent, int id);
    ~CVellum_ThinFrameSplitterWnd();
    CVellum_ThinFrameSplitterWnd(const CVellum_ThinFrameSplitterWnd&) = delete;
    CVellum_ThinFrameSplitterWnd& operator=(const CVellum_ThinFrameSplitterWnd&) = delete;

    HWND window() const { return window_; }
    // Lays out two children of window(): `left` keeps `left_width` pixels.
    void set_panes(HWND left, int left_width, HWND right);

    LRESULT handle(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

  private:
    void layout();

    HWND window_ = nullptr;
    HWND left_ = nullptr;
    HWND right_ = nullptr;
    int left_width_ = 0;
};
