#include "explorer/win32/Quillmark_ExportDlg.h"

#include <shlobj.h>

#include <stdexcept>

#include "explorer/win32/resource.h"
#include "gui/captions.h"
#include "gui/prompter.h"
#include "gui/win32/dialog_host.h"
#include "gui/win32/dialog_items.h"
#include "platform/wide_text.h"

namespace {

// The choices' buttons, in the order of their values.
constexpr int choice_buttons[] = {IDC_EXPORT_LATEST, IDC_EXPORT_OLDEST, IDC_EXPORT_ALL};

std::string desktop_folder() {
    wchar_t folder[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, 0, folder))) return {};
    return platform::to_utf8(folder);
}

}  // namespace

bool Quillmark_ExportDlg::run(HWND owner) {
    return tuv::win32::run_modal(*this, IDD_EXPORT, owner) == IDOK;
}

INT_PTR Quillmark_ExportDlg::handle(HWND window, UINT message, WPARAM wparam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            window_ = window;
            ::CheckRadioButton(window, IDC_EXPORT_LATEST, IDC_EXPORT_ALL, choice_buttons[choice_]);
            return TRUE;
        case WM_COMMAND:
            switch (LOWORD(wparam)) {
                case IDC_EXPORT_BROWSE:
                    browse();
                    return TRUE;
                case IDC_EXPORT_LATEST:
                case IDC_EXPORT_OLDEST:
                case IDC_EXPORT_ALL:
                    choice_ = LOWORD(wparam) - IDC_EXPORT_LATEST;
                    return TRUE;
                case IDOK:
                    accept_destination();
                    return TRUE;
                case IDCANCEL:
                    ::EndDialog(window, IDCANCEL);
                    return TRUE;
            }
            return FALSE;
        default:
            return FALSE;
    }
}

void Quillmark_ExportDlg::browse() {
    const std::optional<std::string> folder =
        prompter_.browse_folder(window_, "Browse for Folder", desktop_folder());
    if (!folder) return;
    destination_ = *folder;
    tuv::win32::set_item_text(window_, IDC_EXPORT_FOLDER, destination_);
}

void Quillmark_ExportDlg::accept_destination() {
    if (destination_.empty()) {
        prompter_.message(window_, "Please specify destination folder.", tuv::gui::caption_explorer,
                          tuv::gui::prompt_icon::none);
        return;
    }
    ::EndDialog(window_, IDOK);
}
