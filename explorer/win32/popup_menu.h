// The context menus of the explorer's views: the first popup of a menu
// resource, tracked at a point of the screen. Its prompts go to `owner`
// (the main frame, whose status bar shows them); the chosen command is
// returned rather than sent, for the view to run.
#pragma once

#include <windows.h>

namespace tuv::win32 {

// The chosen command; 0 when the menu was dismissed.
UINT track_popup(int menu, POINT screen, HWND owner);

}  // namespace tuv::win32
