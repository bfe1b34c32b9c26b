#include "explorer/win32/TFormView.h"

#include <algorithm>
#include <stdexcept>
#include <string>

#include "explorer/explorer_document.h"
#include "explorer/time_line.h"
#include "explorer/win32/CVellum_Slider.h"
#include "gui/win32/dialog_host.h"
#include "platform/wide_text.h"

namespace tuv::win32 {
namespace {

constexpr const wchar_t* class_name = L"TFormView";
constexpr const char* time_filter_text = "Use time filter";

constexpr int left_edge = 10;
constexpr int box_top = 6;
constexpr int box_height = 20;
constexpr int gap = 6;  // below the box, and below the slider
constexpr int slider_top = box_top + box_height + gap;
constexpr int form_height = slider_top + CVellum_Slider::preferred_height + gap;
constexpr int right_gap = 30;   // the slider stops this far before the form's right edge
constexpr int narrowest = 350;  // below this it keeps its right edge at fallback_right,
                                // or at the form's edge when that is nearer
constexpr int fallback_right = 500;

ATOM register_class(WNDPROC procedure) {
    WNDCLASSEXW type{};
    type.cbSize = sizeof type;
    type.lpfnWndProc = procedure;
    type.hInstance = ::GetModuleHandleW(nullptr);
    type.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    type.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_3DFACE + 1);
    type.lpszClassName = class_name;
    return ::RegisterClassExW(&type);
}

// The dialogs' font: "MS Shell Dlg 2" at 8 points on this screen.
gdi_handle dialog_font(HWND window) {
    const HDC dc = ::GetDC(window);
    LOGFONTW face{};
    face.lfHeight = -::MulDiv(8, ::GetDeviceCaps(dc, LOGPIXELSY), 72);
    ::ReleaseDC(window, dc);
    face.lfWeight = FW_NORMAL;
    face.lfCharSet = DEFAULT_CHARSET;
    face.lfQuality = DEFAULT_QUALITY;
    const std::wstring name = L"MS Shell Dlg 2";
    name.copy(face.lfFaceName, name.size());
    return gdi_handle(::CreateFontIndirectW(&face));
}

int text_width(HWND window, HGDIOBJ font, const std::wstring& text) {
    const HDC dc = ::GetDC(window);
    SIZE extent{};
    {
        const selected with_font(dc, font);
        ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
    }
    ::ReleaseDC(window, dc);
    return extent.cx;
}

}  // namespace

TFormView::TFormView(explorer::explorer_document& document, HWND parent) : document_(document) {
    // The window class, once for the process.
    [[maybe_unused]] static const ATOM registered = register_class(procedure);
    RECT area{};
    ::GetClientRect(parent, &area);
    ::CreateWindowExW(WS_EX_CONTROLPARENT, class_name, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN,
                      0, 0, area.right, form_height, parent, nullptr, ::GetModuleHandleW(nullptr),
                      this);
    if (window_ == nullptr) {
        throw std::runtime_error("The time line could not be made (error " +
                                 std::to_string(::GetLastError()) + ").");
    }
    try {
        make_controls();
    } catch (...) {
        ::DestroyWindow(window_);
        throw;
    }
}

TFormView::~TFormView() {
    if (window_ == nullptr) return;
    ::SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    ::DestroyWindow(window_);
}

void TFormView::make_controls() {
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    font_ = dialog_font(window_);
    const HGDIOBJ font = font_ != nullptr ? font_.get() : ::GetStockObject(DEFAULT_GUI_FONT);
    const std::wstring label = platform::to_wide(time_filter_text);
    const int box_width =
        text_width(window_, font, label) + ::GetSystemMetrics(SM_CXMENUCHECK) + 12;
    time_filter_ = ::CreateWindowExW(
        0, L"BUTTON", label.c_str(), WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX,
        left_edge, box_top, box_width, box_height, window_,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_TIME_FILTER)), instance, nullptr);
    ::SendMessageW(time_filter_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);

    slider_ = std::make_unique<CVellum_Slider>(
        window_, RECT{left_edge, slider_top, left_edge + fallback_right,
                      slider_top + CVellum_Slider::preferred_height});
    ::SendMessageW(slider_->window(), WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    line_ = std::make_unique<explorer::time_line>(
        document_, slider_->scale(), [this] { slider_->repaint(); },
        [this](bool on) {
            // Setting the box sends no click.
            ::SendMessageW(time_filter_, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
        },
        window_);
    RECT area{};
    ::GetClientRect(window_, &area);
    resize(area.right);
    line_->update_from_document();
}

void TFormView::views_changed() {
    line_->views_changed();
}

LRESULT CALLBACK TFormView::procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_NCCREATE) {
        auto* made =
            static_cast<TFormView*>(reinterpret_cast<const CREATESTRUCTW*>(lparam)->lpCreateParams);
        made->window_ = window;
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(made));
    }
    auto* form = reinterpret_cast<TFormView*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (form == nullptr) return ::DefWindowProcW(window, message, wparam, lparam);
    if (message == WM_NCDESTROY) {
        form->window_ = nullptr;
        ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        return ::DefWindowProcW(window, message, wparam, lparam);
    }
    // Nothing may unwind through the system's frames.
    try {
        return form->handle(message, wparam, lparam);
    } catch (const std::exception& error) {
        show_failure(window, error);
        return 0;
    }
}

LRESULT TFormView::handle(UINT message, WPARAM wparam, LPARAM lparam) {
    // The slider's reports, once the time line is there to take them.
    const slider_messages& slider = registered_slider_messages();
    if (line_ != nullptr) {
        if (message == slider.range_changed) {
            line_->range_changed();
            return 0;
        }
        if (message == slider.zoom_clicked) {
            line_->zoom_clicked(static_cast<int>(wparam));
            return 0;
        }
        if (message == slider.refresh_hview) {
            line_->drag_ended();
            return 0;
        }
        if (message == WM_COMMAND && LOWORD(wparam) == IDC_TIME_FILTER &&
            HIWORD(wparam) == BN_CLICKED) {
            line_->time_filter_clicked(::SendMessageW(time_filter_, BM_GETCHECK, 0, 0) ==
                                       BST_CHECKED);
            return 0;
        }
    }
    if (message == WM_SIZE) {
        resize(LOWORD(lparam));
        return 0;
    }
    return ::DefWindowProcW(window_, message, wparam, lparam);
}

void TFormView::resize(int width) {
    if (slider_ == nullptr) return;
    int right = width - right_gap;
    // Never past the form's edge, where its end could not be reached.
    if (right - left_edge < narrowest) right = std::min(fallback_right, width - 1);
    ::MoveWindow(slider_->window(), left_edge, slider_top, std::max(0, right - left_edge + 1),
                 CVellum_Slider::preferred_height, TRUE);
}

}  // namespace tuv::win32
