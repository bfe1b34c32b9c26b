#include "explorer/win32/popup_menu.h"

namespace tuv::win32 {

UINT track_popup(int menu, POINT screen, HWND owner) {
    const HMENU menus = ::LoadMenuW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(menu));
    if (menus == nullptr) return 0;
    const UINT chosen =
        static_cast<UINT>(::TrackPopupMenu(::GetSubMenu(menus, 0), TPM_RETURNCMD | TPM_RIGHTBUTTON,
                                           screen.x, screen.y, 0, owner, nullptr));
    ::DestroyMenu(menus);
    return chosen;
}

}  // namespace tuv::win32
