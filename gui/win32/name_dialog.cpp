#include "gui/win32/name_dialog.h"

#include "gui/captions.h"
#include "gui/prompter.h"
#include "gui/win32/dialog_host.h"
#include "gui/win32/dialog_items.h"
#include "gui/win32/gui_resources.h"

namespace tuv::win32 {
namespace {

constexpr WPARAM name_limit = 255;

}  // namespace

name_dialog::name_dialog(name_dialog_texts texts, std::function<bool(const std::string&)> valid,
                         gui::prompter& prompter)
    : texts_(std::move(texts)), valid_(std::move(valid)), prompter_(prompter) {}

std::optional<std::string> name_dialog::run(HWND owner) {
    if (run_modal(*this, IDD_NEW_NAME, owner) != IDOK) return std::nullopt;
    return name_;
}

INT_PTR name_dialog::handle(HWND window, UINT message, WPARAM wparam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            window_ = window;
            set_window_text(window, texts_.title);
            set_item_text(window, IDC_NAME_LABEL, texts_.label);
            set_item_text(window, IDOK, texts_.add_button);
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

void name_dialog::add() {
    const std::string name = item_text(window_, IDC_NAME);
    if (!valid_(name)) {
        prompter_.message(window_, texts_.refusal, gui::caption_warning,
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
