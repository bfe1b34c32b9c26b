#include "explorer/win32/CSearchFiltters.h"

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
    if (::IsWindow(window_)) ::DestroyWindow(window_);
}

UINT CSearchFiltters::close_message() {
    static const UINT message = ::RegisterWindowMessageW(
        L"SEARCH_CLOSE{2E7439A4-12DB-42a2-BB95-3462B3EC39CC}CSearchFiltters");
    return message;
}

INT_PTR CSearchFiltters::handle(HWND, UINT message, WPARAM wparam, LPARAM) {
    if (message == WM_INITDIALOG) return FALSE;  // the focus stays where it is
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

void CSearchFiltters::reset() {
    tuv::win32::set_item_text(window_, IDC_SEARCH_NAME, "");
    tuv::win32::set_item_text(window_, IDC_SEARCH_DESCRIPTION, "");
}

void CSearchFiltters::search() {
    tuv::explorer::search_vault(document_, tuv::win32::item_text(window_, IDC_SEARCH_NAME),
                                tuv::win32::item_text(window_, IDC_SEARCH_DESCRIPTION),
                                ::GetAncestor(window_, GA_ROOT));
}
