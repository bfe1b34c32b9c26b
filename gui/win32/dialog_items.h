// UTF-8 texts of windows and dialog items, through the wide interfaces.
#pragma once

#include <windows.h>

#include <string>

namespace tuv::win32 {

std::string window_text(HWND window);
void set_window_text(HWND window, const std::string& text);

std::string item_text(HWND dialog, int id);
void set_item_text(HWND dialog, int id, const std::string& text);

// A multi-line edit's text with its line ends as "\n", and the text for one
// from lines ending in "\n".
std::string from_edit_lines(const std::string& text);
std::string to_edit_lines(const std::string& text);

}  // namespace tuv::win32
