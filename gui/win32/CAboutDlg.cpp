#include "gui/win32/CAboutDlg.h"

#include "gui/win32/app_icon.h"
#include "gui/win32/dialog_host.h"
#include "gui/win32/dialog_items.h"
#include "gui/win32/gui_resources.h"
#include "platform/wide_text.h"

namespace tuv::win32 {

void CAboutDlg::run(HWND owner) {
    run_modal(*this, IDD_ABOUT, owner);
}

INT_PTR CAboutDlg::handle(HWND window, UINT message, WPARAM wparam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            set_window_text(window, texts_.title);
            set_item_text(window, IDC_ABOUT_TEXT, texts_.text);
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL) {
                ::EndDialog(window, LOWORD(wparam));
                return TRUE;
            }
            return FALSE;
        default:
            return FALSE;
    }
}

void CAboutDlg::add_to_system_menu(HWND dialog, const gui::about_texts& texts) {
    const HMENU menu = ::GetSystemMenu(dialog, FALSE);
    if (menu == nullptr) return;
    ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    ::AppendMenuW(menu, MF_STRING, IDM_ABOUTBOX, platform::to_wide(texts.button).c_str());
}

bool CAboutDlg::answer(HWND dialog, UINT message, WPARAM wparam, const gui::about_texts& texts) {
    // System commands keep their low four bits for the system's own use.
    const bool asked =
        (message == WM_SYSCOMMAND && (wparam & 0xFFF0) == IDM_ABOUTBOX) ||
        (message == WM_COMMAND && LOWORD(wparam) == IDC_ABOUT && HIWORD(wparam) == BN_CLICKED);
    if (asked) CAboutDlg(texts).run(dialog);
    return asked;
}

}  // namespace tuv::win32
