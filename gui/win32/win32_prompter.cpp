#include "gui/win32/win32_prompter.h"

#include <windows.h>
// The other Windows headers build on windows.h.
#include <commdlg.h>
#include <shlobj.h>

#include <algorithm>
#include <stdexcept>

#include "gui/win32/dialog_host.h"
#include "gui/win32/dialog_items.h"
#include "gui/win32/gui_resources.h"
#include "platform/wide_text.h"

namespace tuv::win32 {
namespace {

using gui::prompt_answer;
using gui::prompt_buttons;
using gui::prompt_icon;

// Room for the paths of a long multiple selection, or one long path.
constexpr std::size_t path_buffer = 65536;

UINT icon_style(prompt_icon icon) {
    switch (icon) {
        case prompt_icon::information:
            return MB_ICONINFORMATION;
        case prompt_icon::exclamation:
            return MB_ICONEXCLAMATION;
        case prompt_icon::error:
            return MB_ICONERROR;
        case prompt_icon::question:
            return MB_ICONQUESTION;
        case prompt_icon::none:
            break;
    }
    return 0;
}

// The system's icons are numbered, the same for the narrow and wide calls.
LPCSTR system_icon(prompt_icon icon) {
    switch (icon) {
        case prompt_icon::information:
            return IDI_INFORMATION;
        case prompt_icon::exclamation:
            return IDI_WARNING;
        case prompt_icon::error:
            return IDI_ERROR;
        case prompt_icon::question:
            return IDI_QUESTION;
        case prompt_icon::none:
            break;
    }
    return nullptr;
}

UINT buttons_style(prompt_buttons buttons) {
    switch (buttons) {
        case prompt_buttons::ok_cancel:
            return MB_OKCANCEL;
        case prompt_buttons::yes_no:
            return MB_YESNO;
        case prompt_buttons::retry_cancel:
            return MB_RETRYCANCEL;
        case prompt_buttons::ok:
            break;
    }
    return MB_OK;
}

prompt_answer last_button(prompt_buttons buttons) {
    switch (buttons) {
        case prompt_buttons::ok_cancel:
        case prompt_buttons::retry_cancel:
            return prompt_answer::cancel;
        case prompt_buttons::yes_no:
            return prompt_answer::no;
        case prompt_buttons::ok:
            break;
    }
    return prompt_answer::ok;
}

// "label\0pattern\0...\0\0"; all files when there are no filters.
std::wstring filter_list(const std::vector<gui::file_filter>& filters) {
    std::wstring list;
    for (const gui::file_filter& filter : filters) {
        list += platform::to_wide(filter.label) + L'\0' + platform::to_wide(filter.pattern) + L'\0';
    }
    if (list.empty()) list = std::wstring(L"All Files (*.*)\0*.*\0", 20);
    return list + L'\0';
}

std::runtime_error dialog_failed(const char* which) {
    return std::runtime_error(std::string("The ") + which +
                              " dialog could not be shown (common dialog error " +
                              std::to_string(::CommDlgExtendedError()) + ").");
}

// Moves a window by `down` pixels in its parent's client area.
void move_down(HWND dialog, int id, int down) {
    const HWND item = ::GetDlgItem(dialog, id);
    RECT rect;
    ::GetWindowRect(item, &rect);
    ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    ::SetWindowPos(item, nullptr, rect.left, rect.top + down, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// The report box: its message above the details, which scroll.
class report_dialog {
  public:
    report_dialog(const std::string& text, const std::string& details, const std::string& caption,
                  prompt_icon icon)
        : text_(text), details_(details), caption_(caption), icon_(icon) {}

    INT_PTR handle(HWND window, UINT message, WPARAM wparam, LPARAM) {
        switch (message) {
            case WM_INITDIALOG:
                set_window_text(window, caption_);
                set_item_text(window, IDC_REPORT_TEXT, text_);
                set_item_text(window, IDC_REPORT_DETAILS, to_edit_lines(details_));
                if (const LPCSTR icon = system_icon(icon_)) {
                    ::SendDlgItemMessageW(window, IDC_REPORT_ICON, STM_SETICON,
                                          reinterpret_cast<WPARAM>(::LoadIconA(nullptr, icon)), 0);
                } else {
                    ::ShowWindow(::GetDlgItem(window, IDC_REPORT_ICON), SW_HIDE);
                }
                fit_text(window);
                // Not the details, which would show all selected.
                ::SetFocus(::GetDlgItem(window, IDOK));
                return FALSE;
            case WM_COMMAND:
                if (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL) {
                    ::EndDialog(window, IDOK);
                    return TRUE;
                }
                return FALSE;
            default:
                return FALSE;
        }
    }

  private:
    // Makes the message as tall as its lines, moving the details and the
    // button down; the details keep their height, however long they are.
    void fit_text(HWND window) {
        const HWND text = ::GetDlgItem(window, IDC_REPORT_TEXT);
        RECT shown;
        ::GetClientRect(text, &shown);
        RECT needed{0, 0, shown.right, 0};
        const HDC dc = ::GetDC(text);
        const HGDIOBJ before =
            ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(text, WM_GETFONT, 0, 0)));
        ::DrawTextW(dc, platform::to_wide(text_).c_str(), -1, &needed,
                    DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS);
        ::SelectObject(dc, before);
        ::ReleaseDC(text, dc);
        const int down =
            std::min<int>(needed.bottom - shown.bottom, ::GetSystemMetrics(SM_CYSCREEN) / 2);
        if (down <= 0) return;
        ::SetWindowPos(text, nullptr, 0, 0, shown.right, needed.bottom,
                       SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        move_down(window, IDC_REPORT_DETAILS, down);
        move_down(window, IDOK, down);
        RECT frame;
        ::GetWindowRect(window, &frame);
        ::SetWindowPos(window, nullptr, 0, 0, frame.right - frame.left,
                       frame.bottom - frame.top + down, SWP_NOMOVE | SWP_NOZORDER);
    }

    std::string text_;
    std::string details_;
    std::string caption_;
    prompt_icon icon_;
};

int CALLBACK browse_started(HWND window, UINT message, LPARAM, LPARAM folder) {
    if (message == BFFM_INITIALIZED && folder != 0) {
        ::SendMessageW(window, BFFM_SETSELECTIONW, TRUE, folder);
    }
    return 0;
}

}  // namespace

prompt_answer win32_prompter::message(gui::native_window owner, const std::string& text,
                                      const std::string& caption, prompt_icon icon,
                                      prompt_buttons buttons) {
    switch (::MessageBoxW(static_cast<HWND>(owner), platform::to_wide(text).c_str(),
                          platform::to_wide(caption).c_str(),
                          buttons_style(buttons) | icon_style(icon))) {
        case IDOK:
            return prompt_answer::ok;
        case IDCANCEL:
            return prompt_answer::cancel;
        case IDYES:
            return prompt_answer::yes;
        case IDNO:
            return prompt_answer::no;
        case IDRETRY:
            return prompt_answer::retry;
        default:
            return last_button(buttons);
    }
}

void win32_prompter::report(gui::native_window owner, const std::string& text,
                            const std::string& details, const std::string& caption,
                            prompt_icon icon) {
    report_dialog dialog(text, details, caption, icon);
    if (run_modal(dialog, IDD_REPORT, static_cast<HWND>(owner)) == -1) {
        // Without its box the report is still told, its details after it.
        message(owner, text + "\n\n" + details, caption, icon);
    }
}

std::optional<std::string> win32_prompter::save_file(gui::native_window owner,
                                                     const std::string& title,
                                                     const std::string& suggested,
                                                     const std::vector<gui::file_filter>& filters) {
    std::wstring file = platform::to_wide(suggested);
    file.resize(std::max(file.size() + 1, path_buffer), L'\0');
    const std::wstring filter = filter_list(filters);
    const std::wstring wide_title = platform::to_wide(title);
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = static_cast<HWND>(owner);
    dialog.lpstrFilter = filter.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = static_cast<DWORD>(file.size());
    dialog.lpstrTitle = wide_title.c_str();
    // No OFN_OVERWRITEPROMPT: the callers ask in their own words.
    dialog.Flags = OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    if (!::GetSaveFileNameW(&dialog)) {
        if (::CommDlgExtendedError() != 0) throw dialog_failed("save");
        return std::nullopt;
    }
    return platform::to_utf8(file.c_str());
}

std::optional<std::vector<std::string>> win32_prompter::open_files(
    gui::native_window owner, const std::string& title, const std::string& folder,
    const std::vector<gui::file_filter>& filters) {
    std::wstring files(path_buffer, L'\0');
    const std::wstring filter = filter_list(filters);
    const std::wstring wide_title = platform::to_wide(title);
    const std::wstring wide_folder = platform::to_wide(folder);
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = static_cast<HWND>(owner);
    dialog.lpstrFilter = filter.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = files.data();
    dialog.nMaxFile = static_cast<DWORD>(files.size());
    dialog.lpstrInitialDir = wide_folder.empty() ? nullptr : wide_folder.c_str();
    dialog.lpstrTitle = wide_title.c_str();
    dialog.Flags = OFN_EXPLORER | OFN_ALLOWMULTISELECT | OFN_FILEMUSTEXIST | OFN_HIDEREADONLY |
                   OFN_NOCHANGEDIR;
    if (!::GetOpenFileNameW(&dialog)) {
        if (::CommDlgExtendedError() != 0) throw dialog_failed("open");
        return std::nullopt;
    }
    return open_dialog_paths(files.c_str());
}

std::optional<std::string> win32_prompter::browse_folder(gui::native_window owner,
                                                         const std::string& title,
                                                         const std::string& folder) {
    const std::wstring wide_title = platform::to_wide(title);
    const std::wstring wide_folder = platform::to_wide(folder);
    BROWSEINFOW browse{};
    browse.hwndOwner = static_cast<HWND>(owner);
    browse.lpszTitle = wide_title.c_str();
    browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    browse.lpfn = browse_started;
    browse.lParam = wide_folder.empty() ? 0 : reinterpret_cast<LPARAM>(wide_folder.c_str());
    const PIDLIST_ABSOLUTE chosen = ::SHBrowseForFolderW(&browse);
    if (chosen == nullptr) return std::nullopt;
    std::wstring path(path_buffer, L'\0');
    const bool found = ::SHGetPathFromIDListEx(chosen, path.data(), static_cast<DWORD>(path.size()),
                                               GPFIDL_DEFAULT);
    ::CoTaskMemFree(chosen);
    // A place that is no folder of the file system (the browser offers none).
    if (!found) return std::nullopt;
    return platform::to_utf8(path.c_str());
}

std::vector<std::string> open_dialog_paths(const wchar_t* buffer) {
    std::vector<std::wstring> parts;
    for (const wchar_t* at = buffer; *at != L'\0'; at += parts.back().size() + 1) {
        parts.emplace_back(at);
    }
    std::vector<std::string> paths;
    if (parts.size() == 1) paths.push_back(platform::to_utf8(parts.front()));
    for (std::size_t i = 1; i < parts.size(); ++i) {
        std::wstring path = parts.front();
        if (!path.empty() && path.back() != L'\\') path += L'\\';
        paths.push_back(platform::to_utf8(path + parts[i]));
    }
    return paths;
}

}  // namespace tuv::win32
