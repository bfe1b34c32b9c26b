// The programs' icon (gui.rc), on their windows.
#pragma once

#include <windows.h>

namespace tuv::win32 {

// The icon at the system's size for big (true) or small icons; shared, not
// to be destroyed.
HICON app_icon(bool big);

// Gives `window` the program's big and small icons.
void set_app_icons(HWND window);

}  // namespace tuv::win32
