#include "explorer/win32/CLeftView.h"

#include <windowsx.h>

#include "core/base/errors.h"
#include "explorer/list_rows.h"
#include "explorer/win32/CNewCab.h"
#include "explorer/win32/CVellum_ExplorerDoc.h"
#include "explorer/win32/popup_menu.h"
#include "explorer/win32/resource.h"
#include "gui/prompter.h"
#include "gui/win32/window_host.h"

namespace {

const wchar_t* const class_name = L"CLeftView";

}  // namespace

CLeftView::CLeftView(CVellum_ExplorerDoc& document, HWND parent, int id) : document_(document) {
    tuv::win32::register_window_class<CLeftView>(class_name);
    window_ =
        tuv::win32::create_window(*this, class_name, L"", WS_CHILD | WS_VISIBLE, 0, parent, id);
    tree_ = ::CreateWindowExW(WS_EX_CLIENTEDGE, WC_TREEVIEWW, L"",
                              WS_CHILD | WS_VISIBLE | WS_TABSTOP | TVS_HASLINES | TVS_HASBUTTONS |
                                  TVS_LINESATROOT | TVS_SHOWSELALWAYS | TVS_DISABLEDRAGDROP,
                              0, 0, 0, 0, window_,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_VIEW_CONTROL)),
                              ::GetModuleHandleW(nullptr), nullptr);
    if (tree_ == nullptr) tuv::win32::throw_not_made(WC_TREEVIEWW);
    if (document_.vault() != nullptr) {
        cabinets_ = std::make_unique<tuv::win32::cabinet_tree>(
            *document_.vault(), document_.prompts(), tuv::explorer::caption_error, false);
        cabinets_->fill(tree_);
    }
}

CLeftView::~CLeftView() {
    if (cabinets_) cabinets_->release();
    if (::IsWindow(window_)) ::DestroyWindow(window_);
}

LRESULT CLeftView::handle(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_SIZE:
            ::MoveWindow(tree_, 0, 0, LOWORD(lparam), HIWORD(lparam), TRUE);
            return 0;
        case WM_SETFOCUS:
            ::SetFocus(tree_);
            return 0;
        case WM_NOTIFY:
            return notify(*reinterpret_cast<const NMHDR*>(lparam));
        case WM_CONTEXTMENU:
            show_menu(lparam);
            return 0;
        default:
            return ::DefWindowProcW(window, message, wparam, lparam);
    }
}

LRESULT CLeftView::notify(const NMHDR& header) {
    if (header.hwndFrom != tree_ || !cabinets_) return 0;
    switch (header.code) {
        case TVN_ITEMEXPANDINGW:
            cabinets_->expanding(reinterpret_cast<const NMTREEVIEWW&>(header));
            return FALSE;  // every expansion goes ahead
        case NM_DBLCLK: {
            // The item under the pointer, not the selection: a double-click
            // beside the items goes nowhere.
            TVHITTESTINFO hit{};
            const DWORD at = ::GetMessagePos();
            hit.pt = {GET_X_LPARAM(at), GET_Y_LPARAM(at)};
            ::ScreenToClient(tree_, &hit.pt);
            const HTREEITEM item = TreeView_HitTest(tree_, &hit);
            if (item != nullptr && (hit.flags & TVHT_ONITEM)) activate(item);
            return 0;
        }
        case NM_RETURN:
            activate(TreeView_GetSelection(tree_));
            return TRUE;
        default:
            return 0;
    }
}

void CLeftView::activate(HTREEITEM item) {
    if (item == nullptr) return;
    go_to_location(cabinets_->path_of(item));
}

void CLeftView::go_to_location(const std::string& location) {
    try {
        document_.go_to(location);
    } catch (const tuv::tuv_error& error) {
        document_.prompts().message(owner(), error.what(), tuv::explorer::caption_error,
                                    tuv::gui::prompt_icon::exclamation);
        document_.update_views();
    }
}

void CLeftView::add_cabinet() {
    document_.add_cabinet([this]() -> std::optional<std::string> {
        return CNewCab(document_.prompts()).run(owner());
    });
}

void CLeftView::views_changed() {
    if (!cabinets_ || !document_.refresh_flag()) return;
    cabinets_->fill(tree_);
    document_.set_refresh_flag(false);
    try {
        document_.rebuild_history();
    } catch (const tuv::tuv_error& error) {
        document_.prompts().message(owner(), error.what(), tuv::explorer::caption_error,
                                    tuv::gui::prompt_icon::exclamation);
    }
}

void CLeftView::show_menu(LPARAM at) {
    POINT point{GET_X_LPARAM(at), GET_Y_LPARAM(at)};
    if (at == -1) {
        // From the keyboard: beside the selected item.
        RECT item{};
        const HTREEITEM selected = TreeView_GetSelection(tree_);
        if (selected != nullptr) TreeView_GetItemRect(tree_, selected, &item, TRUE);
        point = {item.left, item.bottom};
        ::ClientToScreen(tree_, &point);
    }
    if (tuv::win32::track_popup(IDR_TREE_MENU, point, owner()) == ID_TREE_ADD_CABINET) {
        add_cabinet();
    }
}
