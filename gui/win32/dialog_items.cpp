#include "gui/win32/dialog_items.h"

#include "platform/wide_text.h"

namespace tuv::win32 {

std::string window_text(HWND window) {
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        ::GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return platform::to_utf8(text);
}

void set_window_text(HWND window, const std::string& text) {
    ::SetWindowTextW(window, platform::to_wide(text).c_str());
}

std::string item_text(HWND dialog, int id) {
    return window_text(::GetDlgItem(dialog, id));
}

void set_item_text(HWND dialog, int id, const std::string& text) {
    ::SetDlgItemTextW(dialog, id, platform::to_wide(text).c_str());
}

std::string from_edit_lines(const std::string& text) {
    std::string result;
    result.reserve(text.size());
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text[at] == '\r' && at + 1 < text.size() && text[at + 1] == '\n') continue;
        result += text[at];
    }
    return result;
}

std::string to_edit_lines(const std::string& text) {
    std::string result;
    result.reserve(text.size());
    for (const char c : text) {
        if (c == '\n') result += '\r';
        result += c;
    }
    return result;
}

}  // namespace tuv::win32
