#include "shellext/windows/property_page.h"

#include <commctrl.h>
#include <commdlg.h>

#include <filesystem>
#include <memory>
#include <vector>

#include "core/vault/checkout.h"
#include "core/vault/file_entry.h"
#include "core/vault/repository.h"
#include "gui/captions.h"
#include "gui/checkout_sequence.h"
#include "platform/wide_text.h"
#include "shellext/windows/module.h"
#include "shellext/windows/resource.h"

namespace tuv::shell::win {
namespace {

using platform::to_utf8;
using platform::to_wide;

constexpr int moment_width = 150;
constexpr int description_width = 270;

std::string combo_selection(HWND combo) {
    const LRESULT row = ::SendMessageW(combo, CB_GETCURSEL, 0, 0);
    if (row == CB_ERR) return {};
    const LRESULT length = ::SendMessageW(combo, CB_GETLBTEXTLEN, row, 0);
    if (length == CB_ERR) return {};
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    ::SendMessageW(combo, CB_GETLBTEXT, row, reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(length));
    return to_utf8(text);
}

void add_column(HWND list, int index, const char* title, int width) {
    std::wstring text = to_wide(title);
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    column.pszText = text.data();
    column.cx = width;
    column.iSubItem = index;
    ::SendMessageW(list, LVM_INSERTCOLUMNW, index, reinterpret_cast<LPARAM>(&column));
}

void show_versions(HWND dialog, const shell_page& page) {
    const HWND list = ::GetDlgItem(dialog, IDC_VERSIONS);
    ::SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
    const std::string chosen = combo_selection(::GetDlgItem(dialog, IDC_VAULT_FILES));
    for (const page_file& file : page.files) {
        if (file.vault_path != chosen) continue;
        int row = 0;
        for (const gui::version_row& version : file.versions) {
            std::wstring moment = to_wide(version.moment);
            LVITEMW item{};
            item.mask = LVIF_TEXT;
            item.iItem = row;
            item.pszText = moment.data();
            const auto at = static_cast<int>(
                ::SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
            std::wstring text = to_wide(version.description);
            LVITEMW description{};
            description.iSubItem = 1;
            description.pszText = text.data();
            ::SendMessageW(list, LVM_SETITEMTEXTW, at, reinterpret_cast<LPARAM>(&description));
            ++row;
        }
    }
}

void show_page(HWND dialog, const shell_page& page) {
    ::SetDlgItemTextW(dialog, IDC_SOURCE_PATH, to_wide(page.local_path).c_str());
    const std::size_t slash = page.local_path.find_last_of('\\');
    const std::string name =
        slash == std::string::npos ? page.local_path : page.local_path.substr(slash + 1);
    ::SetDlgItemTextW(dialog, IDC_FILE_NAME, to_wide(name).c_str());

    const HWND list = ::GetDlgItem(dialog, IDC_VERSIONS);
    add_column(list, 0, "Modification Time", moment_width);
    add_column(list, 1, "Description", description_width);
    const LPARAM styles = LVS_EX_FULLROWSELECT | LVS_EX_TRACKSELECT | LVS_EX_FLATSB;
    ::SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, styles, styles);

    const HWND combo = ::GetDlgItem(dialog, IDC_VAULT_FILES);
    for (const page_file& file : page.files) {
        ::SendMessageW(combo, CB_ADDSTRING, 0,
                       reinterpret_cast<LPARAM>(to_wide(file.vault_path).c_str()));
    }
    ::SendMessageA(combo, CB_SETCURSEL, 0, 0);
    show_versions(dialog, page);
    if (page.more > 0) ::SetDlgItemTextA(dialog, IDC_MORE, page_more_text(page.more).c_str());
}

// The page's checkout of one version: save-as dialog, the question before
// replacing a file, the checkout and its message.
void check_out(HWND dialog, const std::string& source, const std::string& when) {
    const auto say = [dialog](const char* text, const char* caption, UINT icon) {
        return ::MessageBoxW(dialog, to_wide(text).c_str(), to_wide(caption).c_str(), icon);
    };
    repository* repo = module().vault.vault();
    if (repo == nullptr) {
        say(gui::checkout_failed_text, gui::caption_properties, MB_OK | MB_ICONERROR);
        return;
    }
    const std::size_t cut = source.rfind(repo->path_separator());
    std::wstring file = to_wide(source.substr(cut == std::string::npos ? 0 : cut + 1));
    file.resize(std::max<std::size_t>(file.size() + 1, 32768), L'\0');
    const std::wstring title = to_wide(gui::save_as_title);
    OPENFILENAMEW dialog_box{};
    dialog_box.lStructSize = sizeof dialog_box;
    dialog_box.lpstrFilter = L"All Files (*.*)\0*.*\0Text Files (*.txt)\0*.txt\0";
    dialog_box.lpstrFile = file.data();
    dialog_box.nMaxFile = static_cast<DWORD>(file.size());
    dialog_box.lpstrTitle = title.c_str();
    dialog_box.Flags = OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_EXPLORER | OFN_HIDEREADONLY;
    if (!::GetSaveFileNameW(&dialog_box)) return;
    const std::filesystem::path destination(file.c_str());

    std::error_code error;
    if (std::filesystem::exists(destination, error) &&
        say(gui::replace_question, gui::caption_checkout, MB_OKCANCEL | MB_ICONEXCLAMATION) != IDOK)
        return;
    try {
        tuv::checkout(*repo, *repo->catalogue().resolve(source), destination, tuv::date(when));
    } catch (const std::exception&) {
        say(gui::checkout_failed_text, gui::caption_properties, MB_OK | MB_ICONERROR);
        return;
    }
    say(gui::done_text, gui::caption_properties_done, MB_OK | MB_ICONINFORMATION);
}

void check_out_focused(HWND dialog) {
    const HWND list = ::GetDlgItem(dialog, IDC_VERSIONS);
    const auto row = static_cast<int>(::SendMessageW(list, LVM_GETNEXTITEM, -1, LVNI_FOCUSED));
    if (row < 0) return;
    wchar_t moment[64] = {};
    LVITEMW item{};
    item.iSubItem = 0;
    item.pszText = moment;
    item.cchTextMax = static_cast<int>(std::size(moment));
    ::SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
    check_out(dialog, combo_selection(::GetDlgItem(dialog, IDC_VAULT_FILES)), to_utf8(moment));
}

INT_PTR CALLBACK page_procedure(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_INITDIALOG: {
            const auto* sheet_page = reinterpret_cast<const PROPSHEETPAGEW*>(lparam);
            const auto* page = reinterpret_cast<const shell_page*>(sheet_page->lParam);
            ::SetWindowLongPtrA(dialog, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(page));
            show_page(dialog, *page);
            return TRUE;
        }
        case WM_COMMAND: {
            const auto* page =
                reinterpret_cast<const shell_page*>(::GetWindowLongPtrA(dialog, GWLP_USERDATA));
            if (page == nullptr) return FALSE;
            if (LOWORD(wparam) == IDC_CHECKOUT && HIWORD(wparam) == BN_CLICKED) {
                check_out_focused(dialog);
                return TRUE;
            }
            if (LOWORD(wparam) == IDC_VAULT_FILES && HIWORD(wparam) == CBN_SELENDOK) {
                show_versions(dialog, *page);
                return TRUE;
            }
            return FALSE;
        }
        default:
            return FALSE;
    }
}

UINT CALLBACK page_callback(HWND, UINT message, PROPSHEETPAGEW* sheet_page) {
    if (message == PSPCB_RELEASE) delete reinterpret_cast<shell_page*>(sheet_page->lParam);
    return 1;
}

}  // namespace

HRESULT add_quillmark_page(shell_page page, LPFNSVADDPROPSHEETPAGE add_page, LPARAM parameter) {
    auto owned = std::make_unique<shell_page>(std::move(page));
    // A page of wide text throughout: its controls then hold any name.
    static const std::wstring title = to_wide(page_title);
    PROPSHEETPAGEW sheet_page{};
    sheet_page.dwSize = sizeof sheet_page;
    sheet_page.dwFlags = PSP_USEREFPARENT | PSP_USETITLE | PSP_USEICONID | PSP_USECALLBACK;
    sheet_page.hInstance = module().instance;
    sheet_page.pszTemplate = MAKEINTRESOURCEW(IDD_QUILLMARK_PAGE);
    sheet_page.pszIcon = MAKEINTRESOURCEW(IDI_PAGE);
    sheet_page.pszTitle = title.c_str();
    sheet_page.pfnDlgProc = page_procedure;
    sheet_page.lParam = reinterpret_cast<LPARAM>(owned.get());
    sheet_page.pfnCallback = page_callback;
    sheet_page.pcRefParent = &module().lock_count;
    const HPROPSHEETPAGE handle = ::CreatePropertySheetPageW(&sheet_page);
    if (handle == nullptr) return E_OUTOFMEMORY;
    // From here the page owns its data: the release callback frees it.
    owned.release();
    if (!add_page(handle, parameter)) ::DestroyPropertySheetPage(handle);
    return S_OK;
}

}  // namespace tuv::shell::win
