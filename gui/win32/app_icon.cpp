#include "gui/win32/app_icon.h"

#include "gui/win32/gui_resources.h"

namespace tuv::win32 {

HICON app_icon(bool big) {
    const int size = ::GetSystemMetrics(big ? SM_CXICON : SM_CXSMICON);
    return static_cast<HICON>(::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_APP),
                                           IMAGE_ICON, size, size, LR_SHARED));
}

void set_app_icons(HWND window) {
    ::SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(app_icon(true)));
    ::SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(app_icon(false)));
}

}  // namespace tuv::win32
