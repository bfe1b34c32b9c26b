#include "checkin/win32/CCreateNewDialog.h"

#include "checkin/cabinet_names.h"
#include "checkin/win32/resource.h"
#include "gui/captions.h"
#include "gui/prompter.h"
#include "gui/win32/dialog_host.h"
#include "gui/win32/dialog_items.h"

namespace tuv::win32 {
namespace {

constexpr WPARAM name_limit = 255;

}  // namespace

CCreateNewDialog::CCreateNewDialog(std::string kind, gui::prompter& prompter)
    : kind_(std::move(kind)), prompter_(prompter) {}

std::optional<std::string> CCreateNewDialog::run(HWND owner) {
    if (run_modal(*this, IDD_NEW_NAME, owner) != IDOK) return std::nullopt;
    return name_;
}

INT_PTR CCreateNewDialog::handle(HWND window, UINT message, WPARAM wparam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            window_ = window;
            set_window_text(window, checkin_app::new_name_title(kind_));
            set_item_text(window, IDC_NAME_LABEL, checkin_app::new_name_label(kind_));
            ::SendDlgItemMessageW(window, IDC_NAME, EM_LIMITTEXT, name_limit, 0);
            return TRUE;
        case WM_COMMAND:
            switch (LOWORD(wparam)) {
                case IDOK:
                    add();
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

void CCreateNewDialog::add() {
    const std::string name = item_text(window_, IDC_NAME);
    if (!checkin_app::is_valid_entry_name(name)) {
        prompter_.message(window_, checkin_app::entry_name_message, gui::caption_warning,
                          gui::prompt_icon::exclamation);
        set_item_text(window_, IDC_NAME, "");
        ::SendMessageW(window_, WM_NEXTDLGCTL,
                       reinterpret_cast<WPARAM>(::GetDlgItem(window_, IDC_NAME)), TRUE);
        return;
    }
    name_ = name;
    ::EndDialog(window_, IDOK);
}

}  // namespace tuv::win32
