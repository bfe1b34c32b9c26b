// The about box of the Win32 window programs (template IDD_ABOUT): the icon,
// the program's version, OK; and how a dialog offers it, from its system
// menu and from a button of its own.
#pragma once

#include <windows.h>

#include "gui/captions.h"

namespace tuv::win32 {

class CAboutDlg {
  public:
    explicit CAboutDlg(const gui::about_texts& texts) : texts_(texts) {}

    // Shows the box over `owner` until OK.
    void run(HWND owner);

    INT_PTR handle(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

    // Appends a separator and the box's item (IDM_ABOUTBOX) to the system
    // menu of `dialog`.
    static void add_to_system_menu(HWND dialog, const gui::about_texts& texts);

    // Opens the box over `dialog` when `message` asks for it: the system
    // menu's item or the IDC_ABOUT button. True when it did.
    static bool answer(HWND dialog, UINT message, WPARAM wparam, const gui::about_texts& texts);

  private:
    gui::about_texts texts_;
};

}  // namespace tuv::win32
