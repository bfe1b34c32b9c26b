#include "property/win32/CVellum_PropertyDlg.h"

#include <commctrl.h>

#include <vector>

#include "core/base/utf8_path.h"
#include "gui/captions.h"
#include "gui/prompter.h"
#include "gui/win32/CAboutDlg.h"
#include "gui/win32/app_icon.h"
#include "gui/win32/dialog_host.h"
#include "gui/win32/dialog_items.h"
#include "platform/wide_text.h"
#include "property/property_model.h"
#include "property/property_program.h"
#include "property/win32/resource.h"

namespace tuv::win32 {
namespace {

// In pixels.
constexpr int moment_width = 150;
constexpr int description_width = 270;

void add_column(HWND list, int index, const char* title, int width) {
    const std::wstring text = platform::to_wide(title);
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    column.pszText = const_cast<wchar_t*>(text.c_str());
    column.cx = width;
    column.iSubItem = index;
    ::SendMessageW(list, LVM_INSERTCOLUMNW, index, reinterpret_cast<LPARAM>(&column));
}

}  // namespace

CVellum_PropertyDlg::CVellum_PropertyDlg(std::string local_path, property::property_model& model,
                                         repository& repo, gui::prompter& prompter)
    : local_path_(std::move(local_path)), model_(model), repo_(repo), prompter_(prompter) {}

void CVellum_PropertyDlg::run(HWND owner) {
    run_modal(*this, IDD_PROPERTIES, owner);
}

INT_PTR CVellum_PropertyDlg::handle(HWND window, UINT message, WPARAM wparam, LPARAM) {
    if (CAboutDlg::answer(window, message, wparam, gui::properties_about)) return TRUE;
    switch (message) {
        case WM_INITDIALOG:
            window_ = window;
            start();
            ::SetFocus(::GetDlgItem(window, IDC_VERSIONS));
            return FALSE;
        case WM_COMMAND:
            switch (LOWORD(wparam)) {
                case IDC_VAULT_PATHS:
                    if (HIWORD(wparam) != CBN_SELCHANGE) return FALSE;
                    select_path(static_cast<int>(
                        ::SendDlgItemMessageW(window, IDC_VAULT_PATHS, CB_GETCURSEL, 0, 0)));
                    return TRUE;
                case IDOK:
                    check_out();
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

void CVellum_PropertyDlg::start() {
    CAboutDlg::add_to_system_menu(window_, gui::properties_about);
    set_app_icons(window_);
    set_item_text(window_, IDC_FILE_NAME, utf8_of(path_from_utf8(local_path_).filename()));
    set_item_text(window_, IDC_SOURCE_PATH, local_path_);

    const HWND list = ::GetDlgItem(window_, IDC_VERSIONS);
    add_column(list, 0, property::moment_heading, moment_width);
    add_column(list, 1, property::description_heading, description_width);
    const LPARAM styles = LVS_EX_FULLROWSELECT | LVS_EX_FLATSB;
    ::SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, styles, styles);

    for (const std::string& path : model_.vault_paths()) {
        ::SendDlgItemMessageW(window_, IDC_VAULT_PATHS, CB_ADDSTRING, 0,
                              reinterpret_cast<LPARAM>(platform::to_wide(path).c_str()));
    }
    ::SendDlgItemMessageW(window_, IDC_VAULT_PATHS, CB_SETCURSEL, 0, 0);
    select_path(0);
}

void CVellum_PropertyDlg::select_path(int index) {
    if (index < 0) return;
    property::select_vault_path(model_, index, prompter_, window_);
    show_versions();
}

void CVellum_PropertyDlg::show_versions() {
    const HWND list = ::GetDlgItem(window_, IDC_VERSIONS);
    ::SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    int row = 0;
    for (const gui::version_row& version : model_.versions()) {
        const std::wstring moment = platform::to_wide(version.moment);
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.iItem = row++;
        item.pszText = const_cast<wchar_t*>(moment.c_str());
        const LRESULT at =
            ::SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
        const std::wstring description = platform::to_wide(version.description);
        LVITEMW text{};
        text.iSubItem = 1;
        text.pszText = const_cast<wchar_t*>(description.c_str());
        if (at < 0 ||
            !::SendMessageW(list, LVM_SETITEMTEXTW, at, reinterpret_cast<LPARAM>(&text))) {
            prompter_.message(window_, "Couldn't set attrib string", gui::caption_properties,
                              gui::prompt_icon::none);
        }
    }
}

void CVellum_PropertyDlg::check_out() {
    const HWND list = ::GetDlgItem(window_, IDC_VERSIONS);
    std::vector<int> rows;
    for (LRESULT row = ::SendMessageW(list, LVM_GETNEXTITEM, -1, LVNI_SELECTED); row >= 0;
         row = ::SendMessageW(list, LVM_GETNEXTITEM, row, LVNI_SELECTED)) {
        rows.push_back(static_cast<int>(row));
    }
    if (rows.empty()) return;
    property::check_out_rows(model_, repo_, std::move(rows), prompter_, window_);
}

}  // namespace tuv::win32
