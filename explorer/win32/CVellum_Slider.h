// The time slider under Win32: a child window painted with GDI showing a
// horizontal scale of the vault's time span with two thumbs and the band
// between them, the "Zoom+" and "Zoom-" buttons, the start and end labels
// and the status text, which WM_GETTEXT also answers with. It paints what
// slider_scale computes and forwards the mouse and keys to it; it tells its
// parent what happened only through the three registered messages, sent
// while it handles the input.
//
// Its font is the one WM_SETFONT gives it (the system's GUI font until then).
#pragma once

#include <windows.h>

#include "explorer/slider_scale.h"

namespace tuv::win32 {

// The messages the slider sends its parent, registered once for the process.
// range_changed: wParam moved_from, moved_to or moved_band; zoom_clicked:
// wParam zoom_in or zoom_out; refresh_hview (a drag or an arrow key ended,
// time to reload the list once): no parameters. lParam is always 0.
struct slider_messages {
    UINT range_changed;
    UINT zoom_clicked;
    UINT refresh_hview;
};
const slider_messages& registered_slider_messages();

class CVellum_Slider {
  public:
    // The height its rows are laid out for.
    static constexpr int preferred_height = 76;

    // Makes the slider as a visible child of `parent` at `area` (parent's
    // client coordinates); throws std::runtime_error when it cannot be made.
    CVellum_Slider(HWND parent, const RECT& area);
    ~CVellum_Slider();
    CVellum_Slider(const CVellum_Slider&) = delete;
    CVellum_Slider& operator=(const CVellum_Slider&) = delete;

    HWND window() const { return window_; }

    const explorer::slider_scale& scale() const { return scale_; }
    // For the form that keeps the scale in step with the document; it
    // repaints the slider after its changes.
    explorer::slider_scale& scale() { return scale_; }
    void repaint();

    // Repaints, and reports a correction it had to make through range_changed
    // (moved_from or moved_to).
    void set_selection(double from, double to);

  private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
    LRESULT handle(UINT message, WPARAM wparam, LPARAM lparam);
    void layout();
    void report(UINT message, WPARAM which);
    void paint(HDC dc);
    void mouse_down(POINT at);
    void mouse_up(POINT at);
    void mouse_move(POINT at);
    bool key_down(WPARAM key);
    void capture_lost();

    HWND window_ = nullptr;
    HFONT font_ = nullptr;  // borrowed from WM_SETFONT
    explorer::slider_scale scale_;
    bool zoom_in_pressed_ = false;
    bool zoom_out_pressed_ = false;
};

}  // namespace tuv::win32
