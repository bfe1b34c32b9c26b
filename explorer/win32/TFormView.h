// The explorer's bottom pane under Win32: the "Use time filter" check box
// and the time slider, kept in step with the document by the shared time
// line. A child window that its parent places and sizes: it needs 114
// pixels of height, and the slider follows its width.
#pragma once

#include <windows.h>

#include <memory>

#include "explorer/win32/gdi_handle.h"

namespace tuv::explorer {
class explorer_document;
class time_line;
}  // namespace tuv::explorer

namespace tuv::win32 {

class CVellum_Slider;

// The "Use time filter" check box's control id.
inline constexpr int IDC_TIME_FILTER = 1053;

class TFormView {
  public:
    // Creates the form as a child of `parent`; borrows the document, which must outlive it.
    TFormView(tuv::explorer::explorer_document& document, HWND parent);
    ~TFormView();
    TFormView(const TFormView&) = delete;
    TFormView& operator=(const TFormView&) = delete;

    HWND window() const { return window_; }
    // The document's views changed (the frame calls this from its reload).
    void views_changed();
    CVellum_Slider& slider() { return *slider_; }

  private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
    LRESULT handle(UINT message, WPARAM wparam, LPARAM lparam);
    void make_controls();
    void resize(int width);

    tuv::explorer::explorer_document& document_;
    HWND window_ = nullptr;
    HWND time_filter_ = nullptr;
    gdi_handle font_;  // the dialog font, of the box and the slider
    std::unique_ptr<CVellum_Slider> slider_;
    std::unique_ptr<tuv::explorer::time_line> line_;
};

}  // namespace tuv::win32
