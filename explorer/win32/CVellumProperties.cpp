#include "explorer/win32/CVellumProperties.h"

#include "explorer/win32/resource.h"
#include "gui/win32/app_icon.h"
#include "gui/win32/dialog_host.h"
#include "gui/win32/dialog_items.h"

bool CVellumProperties::run(HWND owner) {
    return tuv::win32::run_modal(*this, IDD_FILE_PROPERTIES, owner) == IDOK;
}

INT_PTR CVellumProperties::handle(HWND window, UINT message, WPARAM wparam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            tuv::win32::set_app_icons(window);
            tuv::win32::set_item_text(window, IDC_PROPERTY_NAME, texts_.name);
            tuv::win32::set_item_text(window, IDC_PROPERTY_PATH, texts_.vault_path);
            tuv::win32::set_item_text(window, IDC_PROPERTY_MIME_TYPE, texts_.mime_type);
            tuv::win32::set_item_text(window, IDC_PROPERTY_SIZE, texts_.size);
            // The texts are to read: the focus is on the button.
            ::SetFocus(::GetDlgItem(window, IDOK));
            return FALSE;
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
