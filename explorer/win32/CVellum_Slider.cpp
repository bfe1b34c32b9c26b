#include "explorer/win32/CVellum_Slider.h"

#include <windowsx.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>
#include <vector>

#include "explorer/win32/gdi_handle.h"
#include "gui/win32/dialog_host.h"
#include "platform/wide_text.h"

namespace tuv::win32 {

using explorer::slider_part;

namespace {

constexpr const wchar_t* class_name = L"CVellum_Slider";

// Where a range's status text may be broken: before its end, then before
// its start.
constexpr const char* range_end = " To: ";
constexpr const char* range_start = " From: ";
constexpr int smallest_tenths_of_point = 65;

ATOM register_class(WNDPROC procedure) {
    WNDCLASSEXW type{};
    type.cbSize = sizeof type;
    type.style = CS_HREDRAW | CS_VREDRAW;
    type.lpfnWndProc = procedure;
    type.hInstance = ::GetModuleHandleW(nullptr);
    type.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    type.lpszClassName = class_name;
    return ::RegisterClassExW(&type);
}

RECT rect_of(const gui::rect& area) {
    return {area.left, area.top, area.left + area.width, area.top + area.height};
}

COLORREF system_colour(int which) {
    return ::GetSysColor(which);
}

// `alpha` of `top` over `bottom`, as a translucent paint would show it.
COLORREF blend(COLORREF top, COLORREF bottom, double alpha) {
    const auto mix = [alpha](int a, int b) {
        return static_cast<BYTE>(std::lround(a * alpha + b * (1.0 - alpha)));
    };
    return RGB(mix(GetRValue(top), GetRValue(bottom)), mix(GetGValue(top), GetGValue(bottom)),
               mix(GetBValue(top), GetBValue(bottom)));
}

COLORREF darker(COLORREF colour) {
    const auto dim = [](int value) { return static_cast<BYTE>(value * 10 / 13); };
    return RGB(dim(GetRValue(colour)), dim(GetGValue(colour)), dim(GetBValue(colour)));
}

gdi_handle pen(COLORREF colour, int width = 1) {
    return gdi_handle(::CreatePen(PS_SOLID, width, colour));
}

gdi_handle brush(COLORREF colour) {
    return gdi_handle(::CreateSolidBrush(colour));
}

void fill(HDC dc, const RECT& area, COLORREF colour) {
    const gdi_handle paint = brush(colour);
    ::FillRect(dc, &area, static_cast<HBRUSH>(paint.get()));
}

// A rounded rectangle inside `area`, outlined by `outline`, filled with
// `inside` (nothing when null).
void round_rect(HDC dc, const RECT& area, int radius, HGDIOBJ outline, HGDIOBJ inside) {
    const selected with_pen(dc, outline);
    const selected with_brush(dc, inside != nullptr ? inside : ::GetStockObject(NULL_BRUSH));
    ::RoundRect(dc, area.left, area.top, area.right, area.bottom, 2 * radius, 2 * radius);
}

void draw_text(HDC dc, const std::string& text, RECT area, UINT format) {
    const std::wstring wide = platform::to_wide(text);
    ::DrawTextW(dc, wide.c_str(), static_cast<int>(wide.size()), &area, format | DT_NOPREFIX);
}

int text_width(HDC dc, const std::string& text) {
    const std::wstring wide = platform::to_wide(text);
    SIZE extent{};
    ::GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &extent);
    return extent.cx;
}

// The font of the slider, with its height as a character height in pixels.
LOGFONTW face_of(HFONT font) {
    LOGFONTW face{};
    ::GetObjectW(font != nullptr ? font : ::GetStockObject(DEFAULT_GUI_FONT), sizeof face, &face);
    face.lfHeight = -std::max(1L, std::abs(face.lfHeight));
    return face;
}

gdi_handle font_of(LOGFONTW face, int pixels, bool bold) {
    face.lfHeight = -pixels;
    if (bold) face.lfWeight = FW_BOLD;
    return gdi_handle(::CreateFontIndirectW(&face));
}

struct status_fit {
    std::vector<std::string> lines;
    int pixels = 0;
};

// The status text as it fits `row`: on one line, else a range broken before
// its end and then also before its start, each tried from `face`'s height
// down a little at a time. What still does not fit at the smallest size goes
// on two lines, which the caller cuts off.
status_fit fit_status(HDC dc, const std::string& text, const LOGFONTW& face, const RECT& row) {
    std::vector<std::vector<std::string>> choices{{text}};
    const std::size_t end = text.rfind(range_end);
    if (end != std::string::npos && end > 0) {
        const std::string first = text.substr(0, end);
        choices.push_back({first, text.substr(end + 1)});
        const std::size_t start = first.find(range_start);
        if (start != std::string::npos && start > 0) {
            choices.push_back(
                {first.substr(0, start), first.substr(start + 1), text.substr(end + 1)});
        }
    }
    const int largest = -face.lfHeight;
    const int smallest =
        std::min(largest, ::MulDiv(smallest_tenths_of_point, ::GetDeviceCaps(dc, LOGPIXELSY), 720));
    for (const std::vector<std::string>& lines : choices) {
        for (int pixels = largest; pixels >= smallest; --pixels) {
            const gdi_handle font = font_of(face, pixels, true);
            const selected use(dc, font.get());
            TEXTMETRICW metrics{};
            ::GetTextMetricsW(dc, &metrics);
            int widest = 0;
            for (const std::string& line : lines) widest = std::max(widest, text_width(dc, line));
            const int spacing = metrics.tmHeight + metrics.tmExternalLeading;
            if (widest <= row.right - row.left &&
                spacing * static_cast<int>(lines.size()) <= row.bottom - row.top) {
                return {lines, pixels};
            }
        }
    }
    // Narrower still: the two ends at the smallest size, each cut at its end.
    return {choices[std::min<std::size_t>(1, choices.size() - 1)], smallest};
}

void paint_ticks(HDC dc, const explorer::slider_scale& scale, const RECT& line) {
    if (scale.empty()) return;
    const double span = scale.maximum() - scale.minimum();
    const double left = line.left + scale.thumb_size();
    const double unit = scale.scale_width() / span;  // pixels per unit
    // Label every n-th unit, n the smallest that leaves room for its text.
    const int widest =
        text_width(dc, scale.zoom_level() == explorer::zoom_month ? "May 0000" : "0000") + 8;
    int every = 1;
    while (every * unit < widest && every < 1 << 20) every *= 2;
    const gdi_handle tick = pen(system_colour(COLOR_3DSHADOW));
    const selected with_pen(dc, tick.get());
    ::SetTextColor(dc, blend(system_colour(COLOR_WINDOWTEXT), system_colour(COLOR_WINDOW), 0.6));
    const int height = line.bottom - line.top;
    const int first = static_cast<int>(std::ceil(scale.minimum()));
    const int last = static_cast<int>(std::floor(scale.maximum()));
    for (int k = first; k <= last; ++k) {
        const double x = left + (k - scale.minimum()) * unit;
        const int at = static_cast<int>(std::lround(x));
        const bool labelled = (k - first) % every == 0 && k < last;
        if (unit >= 4 || labelled) {
            const int length = labelled ? height / 3 : height / 6;
            ::MoveToEx(dc, at, line.bottom - 1 - length, nullptr);
            ::LineTo(dc, at, line.bottom);
        }
        if (!labelled) continue;
        const std::time_t moment = explorer::unit_start(scale.zoom_level(), scale.earliest(), k);
        const RECT cell{at + 3, line.top + 2,
                        at + 3 + std::max(0, static_cast<int>(every * unit) - 4),
                        line.top + 2 + height / 2};
        draw_text(dc, explorer::tick_text(scale.zoom_level(), moment), cell,
                  DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOCLIP);
    }
}

void paint_button(HDC dc, const gui::rect& area, const char* text, bool pressed) {
    const gdi_handle outline = pen(system_colour(COLOR_3DSHADOW));
    const gdi_handle inside = brush(system_colour(pressed ? COLOR_3DSHADOW : COLOR_BTNFACE));
    const RECT shape = rect_of(area);
    round_rect(dc, shape, 4, outline.get(), inside.get());
    ::SetTextColor(dc, system_colour(COLOR_BTNTEXT));
    draw_text(dc, text, shape, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

void paint_thumb(HDC dc, const gui::rect& thumb, COLORREF accent) {
    const gdi_handle outline = pen(darker(accent));
    const gdi_handle inside = brush(accent);
    const RECT shape = rect_of(thumb);
    round_rect(dc, {shape.left + 1, shape.top + 1, shape.right - 1, shape.bottom - 1}, 4,
               outline.get(), inside.get());
    const gdi_handle grip = pen(system_colour(COLOR_HIGHLIGHTTEXT));
    const selected with_pen(dc, grip.get());
    const int middle = thumb.left + thumb.width / 2;
    const int top = thumb.top + static_cast<int>(thumb.height * 0.3);
    const int bottom = thumb.top + static_cast<int>(thumb.height * 0.7);
    for (const int dx : {-3, 0, 3}) {
        ::MoveToEx(dc, middle + dx, top, nullptr);
        ::LineTo(dc, middle + dx, bottom);
    }
}

}  // namespace

const slider_messages& registered_slider_messages() {
    static const slider_messages messages{
        ::RegisterWindowMessageW(
            L"RANGE_CHANGED{2E7439A4-12DB-42a2-BB95-3462B3EC39CE}CVellum_Slider"),
        ::RegisterWindowMessageW(
            L"ZOOM_CLICKED{2E7439A4-12DB-42a2-BB95-3462B3EC39CF}CVellum_Slider"),
        ::RegisterWindowMessageW(
            L"REFRESH_HVIEW{2E7439A4-12DB-42a2-BB95-3462B3EC39CD}CVellum_Slider")};
    return messages;
}

CVellum_Slider::CVellum_Slider(HWND parent, const RECT& area) {
    // The window class, once for the process.
    [[maybe_unused]] static const ATOM registered = register_class(procedure);
    ::CreateWindowExW(0, class_name, L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP, area.left, area.top,
                      area.right - area.left, area.bottom - area.top, parent, nullptr,
                      ::GetModuleHandleW(nullptr), this);
    if (window_ == nullptr) {
        throw std::runtime_error("The time slider could not be made (error " +
                                 std::to_string(::GetLastError()) + ").");
    }
}

CVellum_Slider::~CVellum_Slider() {
    if (window_ == nullptr) return;
    ::SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    ::DestroyWindow(window_);
}

LRESULT CALLBACK CVellum_Slider::procedure(HWND window, UINT message, WPARAM wparam,
                                           LPARAM lparam) {
    if (message == WM_NCCREATE) {
        auto* made = static_cast<CVellum_Slider*>(
            reinterpret_cast<const CREATESTRUCTW*>(lparam)->lpCreateParams);
        made->window_ = window;
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(made));
    }
    auto* slider = reinterpret_cast<CVellum_Slider*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (slider == nullptr) return ::DefWindowProcW(window, message, wparam, lparam);
    if (message == WM_NCDESTROY) {
        slider->window_ = nullptr;
        ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        return ::DefWindowProcW(window, message, wparam, lparam);
    }
    // Nothing may unwind through the system's frames.
    try {
        return slider->handle(message, wparam, lparam);
    } catch (const std::exception& error) {
        show_failure(window, error);
        return 0;
    }
}

LRESULT CVellum_Slider::handle(UINT message, WPARAM wparam, LPARAM lparam) {
    const POINT at{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
    switch (message) {
        case WM_SIZE:
            layout();
            return 0;
        case WM_ERASEBKGND:
            return 1;  // the paint covers everything
        case WM_PAINT: {
            PAINTSTRUCT painting;
            const HDC dc = ::BeginPaint(window_, &painting);
            RECT client;
            ::GetClientRect(window_, &client);
            // Painted off screen first, then shown at once: no flicker.
            if (client.right > 0 && client.bottom > 0) {
                const HDC memory = ::CreateCompatibleDC(dc);
                {
                    const gdi_handle picture(
                        ::CreateCompatibleBitmap(dc, client.right, client.bottom));
                    const selected into(memory, picture.get());
                    paint(memory);
                    ::BitBlt(dc, 0, 0, client.right, client.bottom, memory, 0, 0, SRCCOPY);
                }
                ::DeleteDC(memory);
            }
            ::EndPaint(window_, &painting);
            return 0;
        }
        case WM_PRINTCLIENT:
            paint(reinterpret_cast<HDC>(wparam));
            return 0;
        case WM_SETFONT:
            font_ = reinterpret_cast<HFONT>(wparam);
            if (LOWORD(lparam) != 0) repaint();
            return 0;
        case WM_GETFONT:
            return reinterpret_cast<LRESULT>(font_);
        case WM_GETTEXT: {
            if (wparam == 0) return 0;
            const std::wstring text = platform::to_wide(scale_.status_text());
            auto* buffer = reinterpret_cast<wchar_t*>(lparam);
            const std::size_t count = std::min<std::size_t>(text.size(), wparam - 1);
            text.copy(buffer, count);
            buffer[count] = L'\0';
            return static_cast<LRESULT>(count);
        }
        case WM_GETTEXTLENGTH:
            return static_cast<LRESULT>(platform::to_wide(scale_.status_text()).size());
        case WM_GETDLGCODE:
            return DLGC_WANTARROWS | DLGC_WANTCHARS;
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            repaint();
            return 0;
        case WM_LBUTTONDOWN:
            mouse_down(at);
            return 0;
        case WM_MOUSEMOVE:
            mouse_move(at);
            return 0;
        case WM_LBUTTONUP:
            mouse_up(at);
            return 0;
        case WM_CAPTURECHANGED:
            if (reinterpret_cast<HWND>(lparam) != window_) capture_lost();
            return 0;
        case WM_KEYDOWN:
            if (key_down(wparam)) return 0;
            break;
        case WM_KEYUP:
            // The end of an arrow key's moves, however long it was held.
            if (wparam == VK_LEFT || wparam == VK_RIGHT) {
                report(registered_slider_messages().refresh_hview, 0);
                return 0;
            }
            break;
        case WM_SYSKEYDOWN:
            if (wparam == 'Z' && (lparam & (1 << 29)) != 0) {
                report(registered_slider_messages().zoom_clicked, explorer::zoom_out);
                return 0;
            }
            break;
        case WM_SYSCHAR:
            // Alt+Z zoomed out: no menu is to look for it, nor beep.
            if (wparam == 'z' || wparam == 'Z') return 0;
            break;
    }
    return ::DefWindowProcW(window_, message, wparam, lparam);
}

void CVellum_Slider::repaint() {
    if (window_ != nullptr) ::InvalidateRect(window_, nullptr, FALSE);
}

void CVellum_Slider::set_selection(double from, double to) {
    const std::optional<int> corrected = scale_.set_selection(from, to);
    repaint();
    if (corrected) report(registered_slider_messages().range_changed, *corrected);
}

void CVellum_Slider::layout() {
    RECT client{};
    ::GetClientRect(window_, &client);
    scale_.layout({client.right, client.bottom});
}

void CVellum_Slider::report(UINT message, WPARAM which) {
    ::SendMessageW(::GetParent(window_), message, which, 0);
}

void CVellum_Slider::mouse_down(POINT at) {
    ::SetFocus(window_);
    layout();
    const gui::point point{at.x, at.y};
    const slider_part part = scale_.part_at(point);
    if (part == slider_part::zoom_in_button) zoom_in_pressed_ = true;
    if (part == slider_part::zoom_out_button) zoom_out_pressed_ = true;
    if (!scale_.dragging()) scale_.press(point);
    // The release is to come here wherever the pointer is by then.
    ::SetCapture(window_);
    repaint();
}

void CVellum_Slider::mouse_move(POINT at) {
    const std::optional<int> moved = scale_.drag_to({at.x, at.y});
    if (!moved) return;
    repaint();
    report(registered_slider_messages().range_changed, *moved);
}

void CVellum_Slider::mouse_up(POINT at) {
    RECT client{};
    ::GetClientRect(window_, &client);
    const bool over = ::PtInRect(&client, at) != FALSE;
    const bool zoom_in = zoom_in_pressed_;
    const bool zoom_out = zoom_out_pressed_;
    zoom_in_pressed_ = zoom_out_pressed_ = false;
    const bool dragged = scale_.release();
    // Nothing is left for the capture's end to finish.
    if (::GetCapture() == window_) ::ReleaseCapture();
    repaint();
    const slider_messages& messages = registered_slider_messages();
    if (zoom_in && over) report(messages.zoom_clicked, explorer::zoom_in);
    if (zoom_out && over) report(messages.zoom_clicked, explorer::zoom_out);
    if (dragged) report(messages.refresh_hview, 0);
}

// Another window took the mouse: the press ends where it is.
void CVellum_Slider::capture_lost() {
    zoom_in_pressed_ = zoom_out_pressed_ = false;
    const bool dragged = scale_.release();
    repaint();
    if (dragged) report(registered_slider_messages().refresh_hview, 0);
}

bool CVellum_Slider::key_down(WPARAM key) {
    switch (key) {
        case 'Z':
            report(registered_slider_messages().zoom_clicked, explorer::zoom_in);
            return true;
        case VK_LEFT:
        case VK_RIGHT: {
            layout();
            const std::optional<int> moved =
                scale_.arrow(key == VK_LEFT ? -1 : 1, ::GetKeyState(VK_SHIFT) < 0,
                             ::GetKeyState(VK_CONTROL) < 0);
            if (moved) {
                repaint();
                report(registered_slider_messages().range_changed, *moved);
            }
            return true;
        }
        default:
            return false;
    }
}

void CVellum_Slider::paint(HDC dc) {
    layout();
    RECT client{};
    ::GetClientRect(window_, &client);
    fill(dc, client, system_colour(COLOR_3DFACE));
    ::SetBkMode(dc, TRANSPARENT);
    const RECT line = rect_of(scale_.track());
    const LOGFONTW face = face_of(font_);
    const gdi_handle small =
        font_of(face, std::max(1, static_cast<int>(-face.lfHeight * 9 / 10)), false);

    // The span's ends above the track.
    {
        const selected with_font(dc, small.get());
        ::SetTextColor(dc, system_colour(COLOR_WINDOWTEXT));
        const RECT labels{line.left, 0, line.right, line.top};
        draw_text(dc, scale_.start_label(), labels, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
        draw_text(dc, scale_.end_label(), labels, DT_RIGHT | DT_VCENTER | DT_SINGLELINE);
    }

    // The track, and the whole span the form marks as the highlighted range.
    const COLORREF base = system_colour(COLOR_WINDOW);
    const COLORREF accent = system_colour(COLOR_HIGHLIGHT);
    {
        const gdi_handle outline = pen(system_colour(COLOR_3DSHADOW));
        const gdi_handle inside = brush(base);
        round_rect(dc, line, 5, outline.get(), inside.get());
    }
    COLORREF under_band = base;
    if (scale_.highlight_on() && !scale_.empty()) {
        under_band = blend(accent, base, 0.08);
        const int thumb = scale_.thumb_size();
        fill(dc,
             {static_cast<int>(scale_.x_of(scale_.highlight_from())) + thumb, line.top + 1,
              static_cast<int>(scale_.x_of(scale_.highlight_to())) + thumb, line.bottom - 1},
             under_band);
    }
    // The selected band, clearly filled, under the ticks so that they read.
    const gui::rect band = scale_.band();
    if (!scale_.empty() && band.width > 0) {
        fill(dc, {band.left, band.top + 2, band.left + band.width, band.top + band.height - 2},
             blend(accent, under_band, 0.35));
    }
    {
        const selected with_font(dc, small.get());
        paint_ticks(dc, scale_, line);
    }
    // The thumbs as grips at the band's ends.
    if (!scale_.empty()) {
        paint_thumb(dc, scale_.from_thumb(), accent);
        paint_thumb(dc, scale_.to_thumb(), accent);
    }
    if (::GetFocus() == window_) {
        const gdi_handle frame = pen(accent, 2);
        round_rect(dc, {line.left - 2, line.top - 2, line.right + 2, line.bottom + 2}, 6,
                   frame.get(), nullptr);
    }

    {
        const gdi_handle normal = font_of(face, -face.lfHeight, false);
        const selected with_font(dc, normal.get());
        paint_button(dc, scale_.zoom_in_button(), "Zoom+", zoom_in_pressed_);
        paint_button(dc, scale_.zoom_out_button(), "Zoom-", zoom_out_pressed_);
    }
    const RECT status = rect_of(scale_.status_row());
    const status_fit fit = fit_status(dc, scale_.status_text(), face, status);
    const gdi_handle bold = font_of(face, fit.pixels, true);
    const selected with_font(dc, bold.get());
    ::SetTextColor(dc, system_colour(COLOR_WINDOWTEXT));
    TEXTMETRICW metrics{};
    ::GetTextMetricsW(dc, &metrics);
    const int spacing = metrics.tmHeight + metrics.tmExternalLeading;
    int top = status.top +
              (status.bottom - status.top - spacing * static_cast<int>(fit.lines.size())) / 2;
    for (const std::string& text : fit.lines) {
        draw_text(dc, text, {status.left, top, status.right, top + spacing},
                  DT_CENTER | DT_SINGLELINE | DT_END_ELLIPSIS);
        top += spacing;
    }
}

}  // namespace tuv::win32
