#include "explorer/win32/CVellumCheckout.h"

#include <stdexcept>

#include "explorer/win32/resource.h"
#include "gui/captions.h"
#include "gui/prompter.h"
#include "gui/win32/app_icon.h"
#include "gui/win32/dialog_host.h"
#include "gui/win32/dialog_items.h"
#include "platform/wide_text.h"

CVellumCheckout::CVellumCheckout(tuv::repository& repo, tuv::gui::prompter& prompter,
                                 const std::string& vault_path,
                                 const std::vector<std::string>& versions, int index)
    : prompter_(prompter),
      choice_(repo, vault_path),
      times_(tuv::explorer::in_time_order(versions)),
      index_(index >= 0 && static_cast<std::size_t>(index) < times_.size() ? index : 0) {}

std::optional<std::string> CVellumCheckout::run(HWND owner) {
    if (tuv::win32::run_modal(*this, IDD_CHECKOUT, owner) != IDOK) return std::nullopt;
    return time_text_;
}

INT_PTR CVellumCheckout::handle(HWND window, UINT message, WPARAM wparam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            window_ = window;
            start();
            // The choice, not the read-only name, has the focus.
            ::SetFocus(::GetDlgItem(window, IDC_CHECKOUT_TIMES));
            return FALSE;
        case WM_COMMAND:
            switch (LOWORD(wparam)) {
                case IDC_CHECKOUT_TIMES:
                    if (HIWORD(wparam) == CBN_SELCHANGE) show_description();
                    return TRUE;
                case IDOK:
                    time_text_ = tuv::win32::item_text(window, IDC_CHECKOUT_TIMES);
                    ::EndDialog(window, IDOK);
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

void CVellumCheckout::start() {
    tuv::win32::set_app_icons(window_);
    tuv::win32::set_item_text(window_, IDC_CHECKOUT_NAME, choice_.name());
    tuv::win32::set_item_text(window_, IDC_CHECKOUT_PATH, choice_.vault_path());
    for (const std::string& text : times_) {
        ::SendDlgItemMessageW(window_, IDC_CHECKOUT_TIMES, CB_ADDSTRING, 0,
                              reinterpret_cast<LPARAM>(platform::to_wide(text).c_str()));
    }
    ::SendDlgItemMessageW(window_, IDC_CHECKOUT_TIMES, CB_SETCURSEL, index_, 0);
    show_description();
}

void CVellumCheckout::show_description() {
    tuv::win32::set_item_text(window_, IDC_CHECKOUT_DESCRIPTION, "");
    const auto chosen = ::SendDlgItemMessageW(window_, IDC_CHECKOUT_TIMES, CB_GETCURSEL, 0, 0);
    if (chosen < 0 || static_cast<std::size_t>(chosen) >= times_.size()) return;
    try {
        tuv::win32::set_item_text(window_, IDC_CHECKOUT_DESCRIPTION,
                                  tuv::win32::to_edit_lines(choice_.description(
                                      times_[static_cast<std::size_t>(chosen)])));
    } catch (const std::runtime_error&) {
        // tuv_error is a runtime_error too. The dialog stays usable: another
        // version may still be read.
        prompter_.message(window_, tuv::gui::support_error_text, tuv::gui::caption_explorer,
                          tuv::gui::prompt_icon::error);
    }
}

tuv::gui::date_chooser checkout_dialog_chooser(tuv::repository& repo, tuv::gui::prompter& prompter,
                                               std::function<HWND()> owner) {
    return [&repo, &prompter, owner = std::move(owner)](const tuv::gui::checkout_row& row) {
        const std::vector<std::string> versions = tuv::explorer::version_texts(repo, row.source);
        return CVellumCheckout(repo, prompter, row.source, versions,
                               static_cast<int>(versions.size()) - 1)
            .run(owner());
    };
}
