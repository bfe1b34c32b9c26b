#include "explorer/win32/CVellum_ThinFrameSplitterWnd.h"

#include <algorithm>

#include "gui/win32/window_host.h"

namespace {

const wchar_t* const class_name = L"CVellum_ThinFrameSplitterWnd";
constexpr int bar_width = 1;

}  // namespace

CVellum_ThinFrameSplitterWnd::CVellum_ThinFrameSplitterWnd(HWND parent, int id) {
    // The bar is the window's own background between the two.
    tuv::win32::register_window_class<CVellum_ThinFrameSplitterWnd>(
        class_name, ::GetSysColorBrush(COLOR_BTNSHADOW));
    window_ = tuv::win32::create_window(*this, class_name, L"",
                                        WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, parent, id);
}

CVellum_ThinFrameSplitterWnd::~CVellum_ThinFrameSplitterWnd() {
    if (::IsWindow(window_)) ::DestroyWindow(window_);
}

void CVellum_ThinFrameSplitterWnd::set_panes(HWND left, int left_width, HWND right) {
    left_ = left;
    right_ = right;
    left_width_ = left_width;
    layout();
}

LRESULT CVellum_ThinFrameSplitterWnd::handle(HWND window, UINT message, WPARAM wparam,
                                             LPARAM lparam) {
    switch (message) {
        case WM_SIZE:
            layout();
            return 0;
        case WM_SETFOCUS:
            if (left_ != nullptr) ::SetFocus(left_);
            return 0;
        default:
            return ::DefWindowProcW(window, message, wparam, lparam);
    }
}

void CVellum_ThinFrameSplitterWnd::layout() {
    if (left_ == nullptr || right_ == nullptr) return;
    RECT client;
    ::GetClientRect(window_, &client);
    const int left = std::min<int>(left_width_, client.right);
    ::MoveWindow(left_, 0, 0, left, client.bottom, TRUE);
    const int right = left + bar_width;
    ::MoveWindow(right_, right, 0, std::max<int>(0, client.right - right), client.bottom, TRUE);
}
