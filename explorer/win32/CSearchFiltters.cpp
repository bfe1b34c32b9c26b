#include "explorer/win32/CSearchFiltters.h"

#include <algorithm>
#include <stdexcept>

#include "explorer/pane_search.h"
#include "explorer/win32/CVellum_ExplorerDoc.h"
#include "explorer/win32/resource.h"
#include "gui/win32/dialog_host.h"
#include "gui/win32/dialog_items.h"

CSearchFiltters::CSearchFiltters(CVellum_ExplorerDoc& document, HWND parent) : document_(document) {
    window_ = tuv::win32::create_modeless(*this, IDD_SEARCH, parent);
    if (window_ == nullptr) throw std::runtime_error("The search form could not be made.");
    ::SetWindowLongPtrW(window_, GWLP_ID, IDC_SEARCH_FORM);
    ::ShowWindow(window_, SW_SHOW);
}

CSearchFiltters::~CSearchFiltters() {
    if (window_ != nullptr) ::DestroyWindow(window_);
}

UINT CSearchFiltters::close_message() {
    static const UINT message = ::RegisterWindowMessageW(
        L"SEARCH_CLOSE{2E7439A4-12DB-42a2-BB95-3462B3EC39CC}CSearchFiltters");
    return message;
}

namespace {

// In pixels.
constexpr int margin = 8;
constexpr int button_gap = 6;

// Moves a control of the form to `left`, `width` pixels wide, where it is
// in height.
void place(HWND form, int id, int left, int width) {
    const HWND item = ::GetDlgItem(form, id);
    RECT rect;
    ::GetWindowRect(item, &rect);
    ::MapWindowPoints(nullptr, form, reinterpret_cast<POINT*>(&rect), 2);
    ::MoveWindow(item, left, rect.top, std::max(0, width), rect.bottom - rect.top, TRUE);
}

int width_of(HWND form, int id) {
    RECT rect;
    ::GetWindowRect(::GetDlgItem(form, id), &rect);
    return rect.right - rect.left;
}

}  // namespace

INT_PTR CSearchFiltters::handle(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_INITDIALOG) {
        window_ = window;
        return FALSE;  // the focus stays where it is
    }
    if (message == WM_SIZE) {
        layout(LOWORD(lparam));
        return TRUE;
    }
    if (message == WM_DESTROY) {
        window_ = nullptr;
        return FALSE;
    }
    if (message != WM_COMMAND || HIWORD(wparam) != BN_CLICKED) return FALSE;
    switch (LOWORD(wparam)) {
        case IDC_SEARCH_RESET:
            reset();
            return TRUE;
        case IDC_SEARCH_RUN:
            search();
            return TRUE;
        case IDC_SEARCH_CLOSE:
            // Posted: the form is gone once the frame has answered.
            ::PostMessageW(HWND_BROADCAST, close_message(), 0, 0);
            return TRUE;
        case IDCANCEL:
            return TRUE;  // Escape closes nothing here
    }
    return FALSE;
}

void CSearchFiltters::layout(int width) {
    // The fields take the width; "X" keeps to the right, the buttons share
    // the row below.
    const int close = width_of(window_, IDC_SEARCH_CLOSE);
    place(window_, IDC_SEARCH_CLOSE, width - margin - close, close);
    place(window_, IDC_SEARCH_NAME_LABEL, margin, width - 3 * margin - close);
    place(window_, IDC_SEARCH_NAME, margin, width - 2 * margin);
    place(window_, IDC_SEARCH_DESCRIPTION_LABEL, margin, width - 2 * margin);
    place(window_, IDC_SEARCH_DESCRIPTION, margin, width - 2 * margin);
    const int button = (width - 2 * margin - button_gap) / 2;
    place(window_, IDC_SEARCH_RESET, margin, button);
    place(window_, IDC_SEARCH_RUN, margin + button + button_gap, button);
}

void CSearchFiltters::reset() {
    tuv::win32::set_item_text(window_, IDC_SEARCH_NAME, "");
    tuv::win32::set_item_text(window_, IDC_SEARCH_DESCRIPTION, "");
}

void CSearchFiltters::search() {
    tuv::explorer::search_vault(document_, tuv::win32::item_text(window_, IDC_SEARCH_NAME),
                                tuv::win32::item_text(window_, IDC_SEARCH_DESCRIPTION),
                                ::GetAncestor(window_, GA_ROOT));
}
