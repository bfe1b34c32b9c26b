#include "checkin/win32/CSelectCabinate.h"

#include "checkin/cabinet_names.h"
#include "checkin/win32/CCreateNewDialog.h"
#include "checkin/win32/resource.h"
#include "gui/captions.h"
#include "gui/prompter.h"
#include "gui/win32/dialog_host.h"
#include "gui/win32/dialog_items.h"

namespace tuv::win32 {

CSelectCabinate::CSelectCabinate(repository& repo, gui::prompter& prompter)
    : prompter_(prompter), cabinets_(repo, prompter, gui::caption_checkin, true) {}

std::optional<std::string> CSelectCabinate::run(HWND owner) {
    if (run_modal(*this, IDD_SELECT_CABINET, owner) != IDOK) return std::nullopt;
    return destination_;
}

INT_PTR CSelectCabinate::handle(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_INITDIALOG:
            window_ = window;
            tree_ = ::GetDlgItem(window_, IDC_CABINETS);
            cabinets_.fill(tree_);
            TreeView_SelectItem(tree_, cabinets_.root());
            selected(cabinets_.root());
            ::SetFocus(tree_);
            return FALSE;
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lparam);
            if (header->idFrom != IDC_CABINETS) return FALSE;
            const auto* change = reinterpret_cast<const NMTREEVIEWW*>(lparam);
            if (header->code == TVN_ITEMEXPANDINGW) {
                cabinets_.expanding(*change);
                // Every expansion goes ahead.
                ::SetWindowLongPtrW(window, DWLP_MSGRESULT, FALSE);
                return TRUE;
            }
            if (header->code == TVN_SELCHANGEDW) selected(change->itemNew.hItem);
            return FALSE;
        }
        case WM_COMMAND:
            switch (LOWORD(wparam)) {
                case IDC_NEW_CABINET:
                    new_cabinet();
                    return TRUE;
                case IDOK:
                case IDCANCEL:
                    ::EndDialog(window, LOWORD(wparam));
                    return TRUE;
            }
            return FALSE;
        case WM_DESTROY:
            cabinets_.release();
            return FALSE;
        default:
            return FALSE;
    }
}

void CSelectCabinate::selected(HTREEITEM item) {
    if (item == nullptr) return;
    destination_ = cabinets_.path_of(item);
    set_item_text(window_, IDC_DESTINATION_PATH, destination_);
}

void CSelectCabinate::new_cabinet() {
    HTREEITEM parent = TreeView_GetSelection(tree_);
    if (parent == nullptr) {
        parent = cabinets_.root();
        TreeView_SelectItem(tree_, parent);
    }
    // The names to compare with are those of all its children.
    cabinets_.open(parent);
    const std::vector<std::string> siblings = cabinets_.child_names(parent);
    const std::optional<std::string> name = checkin_app::ask_new_cabinet(
        siblings, prompter_, window_,
        [this] { return CCreateNewDialog("Cabinet", prompter_).run(window_); });
    if (!name) return;

    const HTREEITEM added = cabinets_.add_in_order(parent, *name);
    TreeView_Expand(tree_, parent, TVE_EXPAND);
    TreeView_SelectItem(tree_, added);
    TreeView_EnsureVisible(tree_, added);
}

}  // namespace tuv::win32
