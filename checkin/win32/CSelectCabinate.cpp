#include "checkin/win32/CSelectCabinate.h"

#include <shellapi.h>

#include "checkin/cabinet_names.h"
#include "checkin/win32/CCreateNewDialog.h"
#include "checkin/win32/resource.h"
#include "core/base/errors.h"
#include "core/vault/repository.h"
#include "gui/cabinet_listing.h"
#include "gui/captions.h"
#include "gui/prompter.h"
#include "gui/win32/dialog_host.h"
#include "gui/win32/dialog_items.h"
#include "platform/wide_text.h"

namespace tuv::win32 {
namespace {

// An item's lParam: a cabinet, or the empty child that gives a cabinet not
// yet listed its expand button.
constexpr LPARAM cabinet_item = 0;
constexpr LPARAM placeholder_item = 1;

constexpr int closed_image = 0;
constexpr int open_image = 1;

// The wide messages by name: the TreeView_ macros that carry texts send
// the narrow ones in this build.
void get_item(HWND tree, TVITEMW& data) {
    ::SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&data));
}

HTREEITEM insert_item(HWND tree, const TVINSERTSTRUCTW& insert) {
    return reinterpret_cast<HTREEITEM>(
        ::SendMessageW(tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
}

LPARAM kind_of(HWND tree, HTREEITEM item) {
    TVITEMW data{};
    data.mask = TVIF_PARAM | TVIF_HANDLE;
    data.hItem = item;
    get_item(tree, data);
    return data.lParam;
}

HTREEITEM child_of(HWND tree, HTREEITEM item) {
    return TreeView_GetChild(tree, item);
}

bool holds_placeholder(HWND tree, HTREEITEM item) {
    const HTREEITEM child = child_of(tree, item);
    return child != nullptr && kind_of(tree, child) == placeholder_item;
}

// The shell's small folder icons, closed and open.
HIMAGELIST folder_images() {
    const HIMAGELIST images =
        ImageList_Create(::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON),
                         ILC_COLOR32 | ILC_MASK, 2, 0);
    for (const UINT open : {0u, static_cast<UINT>(SHGFI_OPENICON)}) {
        SHFILEINFOW info{};
        ::SHGetFileInfoW(L"folder", FILE_ATTRIBUTE_DIRECTORY, &info, sizeof info,
                         SHGFI_USEFILEATTRIBUTES | SHGFI_ICON | SHGFI_SMALLICON | open);
        ImageList_AddIcon(images, info.hIcon);
        if (info.hIcon != nullptr) ::DestroyIcon(info.hIcon);
    }
    return images;
}

}  // namespace

CSelectCabinate::CSelectCabinate(repository& repo, gui::prompter& prompter)
    : repo_(repo), prompter_(prompter), separator_(repo.path_separator()) {}

std::optional<std::string> CSelectCabinate::run(HWND owner) {
    if (run_modal(*this, IDD_SELECT_CABINET, owner) != IDOK) return std::nullopt;
    return destination_;
}

INT_PTR CSelectCabinate::handle(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_INITDIALOG:
            window_ = window;
            start();
            ::SetFocus(tree_);
            return FALSE;
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lparam);
            if (header->idFrom != IDC_CABINETS) return FALSE;
            const auto* change = reinterpret_cast<const NMTREEVIEWW*>(lparam);
            if (header->code == TVN_ITEMEXPANDINGW) {
                if (change->action & TVE_EXPAND) open(change->itemNew.hItem);
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
            TreeView_SetImageList(tree_, nullptr, TVSIL_NORMAL);
            if (images_ != nullptr) ImageList_Destroy(images_);
            images_ = nullptr;
            return FALSE;
        default:
            return FALSE;
    }
}

void CSelectCabinate::start() {
    tree_ = ::GetDlgItem(window_, IDC_CABINETS);
    images_ = folder_images();
    TreeView_SetImageList(tree_, images_, TVSIL_NORMAL);
    root_ = add_item(TVI_ROOT, TVI_LAST, separator_, false);
    fill(root_);
    TreeView_Expand(tree_, root_, TVE_EXPAND);
    TreeView_SelectItem(tree_, root_);
    selected(root_);
}

HTREEITEM CSelectCabinate::add_item(HTREEITEM parent, HTREEITEM after, const std::string& name,
                                    bool has_cabinets) {
    const std::wstring text = platform::to_wide(name);
    TVINSERTSTRUCTW insert{};
    insert.hParent = parent;
    insert.hInsertAfter = after;
    insert.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    insert.item.pszText = const_cast<wchar_t*>(text.c_str());
    insert.item.lParam = cabinet_item;
    insert.item.iImage = closed_image;
    insert.item.iSelectedImage = open_image;
    const HTREEITEM item = insert_item(tree_, insert);
    if (has_cabinets) {
        TVINSERTSTRUCTW placeholder{};
        placeholder.hParent = item;
        placeholder.hInsertAfter = TVI_LAST;
        placeholder.item.mask = TVIF_TEXT | TVIF_PARAM;
        placeholder.item.pszText = const_cast<wchar_t*>(L"");
        placeholder.item.lParam = placeholder_item;
        insert_item(tree_, placeholder);
    }
    return item;
}

std::string CSelectCabinate::item_name(HTREEITEM item) const {
    // A cabinet's name is at most 255 characters, which the buffer holds
    // whatever they are.
    wchar_t text[1024] = {};
    TVITEMW data{};
    data.mask = TVIF_TEXT | TVIF_HANDLE;
    data.hItem = item;
    data.pszText = text;
    data.cchTextMax = static_cast<int>(std::size(text));
    get_item(tree_, data);
    return platform::to_utf8(data.pszText);
}

std::vector<std::string> CSelectCabinate::child_names(HTREEITEM item) const {
    std::vector<std::string> names;
    for (HTREEITEM child = child_of(tree_, item); child != nullptr;
         child = TreeView_GetNextSibling(tree_, child)) {
        if (kind_of(tree_, child) == cabinet_item) names.push_back(item_name(child));
    }
    return names;
}

std::string CSelectCabinate::path_of(HTREEITEM item) const {
    std::vector<std::string> names;
    for (; item != nullptr && item != root_; item = TreeView_GetParent(tree_, item)) {
        names.insert(names.begin(), item_name(item));
    }
    return gui::cabinet_path(names, separator_);
}

// Lists a cabinet's children in place of its placeholder.
void CSelectCabinate::open(HTREEITEM item) {
    if (!holds_placeholder(tree_, item)) return;
    TreeView_DeleteItem(tree_, child_of(tree_, item));
    fill(item);
}

void CSelectCabinate::fill(HTREEITEM item) {
    const std::string path = path_of(item);
    std::vector<gui::cabinet> cabinets;
    try {
        cabinets = gui::list_cabinets(repo_, path);
    } catch (const tuv_error& error) {
        // The cabinet stays, without children, and can still be chosen.
        prompter_.message(window_, gui::listing_failed_text(path, error.what()),
                          gui::caption_checkin, gui::prompt_icon::exclamation);
        return;
    }
    for (const gui::cabinet& cabinet : cabinets) {
        add_item(item, TVI_LAST, cabinet.name, cabinet.has_cabinets);
    }
}

void CSelectCabinate::selected(HTREEITEM item) {
    if (item == nullptr) return;
    destination_ = path_of(item);
    set_item_text(window_, IDC_DESTINATION_PATH, destination_);
}

void CSelectCabinate::new_cabinet() {
    HTREEITEM parent = TreeView_GetSelection(tree_);
    if (parent == nullptr) {
        parent = root_;
        TreeView_SelectItem(tree_, root_);
    }
    // The names to compare with are those of all its children.
    open(parent);
    const std::vector<std::string> siblings = child_names(parent);
    const std::optional<std::string> name = checkin_app::ask_new_cabinet(
        siblings, prompter_, window_,
        [this] { return CCreateNewDialog("Cabinet", prompter_).run(window_); });
    if (!name) return;

    const std::size_t position = gui::cabinet_position(siblings, *name);
    HTREEITEM after = TVI_FIRST;
    for (std::size_t i = 0; i < position; ++i) {
        after = i == 0 ? child_of(tree_, parent) : TreeView_GetNextSibling(tree_, after);
    }
    const HTREEITEM added = add_item(parent, after, *name, false);
    TreeView_Expand(tree_, parent, TVE_EXPAND);
    TreeView_SelectItem(tree_, added);
    TreeView_EnsureVisible(tree_, added);
}

}  // namespace tuv::win32
