#include "gui/win32/cabinet_tree.h"

#include <shellapi.h>

#include "core/base/errors.h"
#include "core/vault/repository.h"
#include "gui/cabinet_listing.h"
#include "gui/prompter.h"
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

HTREEITEM first_child(HWND tree, HTREEITEM item) {
    return item == TVI_ROOT ? TreeView_GetRoot(tree) : TreeView_GetChild(tree, item);
}

bool holds_placeholder(HWND tree, HTREEITEM item) {
    const HTREEITEM child = first_child(tree, item);
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

cabinet_tree::cabinet_tree(repository& repo, gui::prompter& prompter, const char* caption,
                           bool root_shown)
    : repo_(repo),
      prompter_(prompter),
      caption_(caption),
      root_shown_(root_shown),
      separator_(repo.path_separator()) {}

cabinet_tree::~cabinet_tree() {
    if (images_ != nullptr) ImageList_Destroy(images_);
}

void cabinet_tree::fill(HWND tree) {
    if (tree_ != tree) {
        release();
        tree_ = tree;
        images_ = folder_images();
        TreeView_SetImageList(tree_, images_, TVSIL_NORMAL);
    }
    TreeView_DeleteAllItems(tree_);
    root_ = nullptr;
    if (!root_shown_) {
        list(TVI_ROOT, separator_);
        return;
    }
    root_ = add_item(TVI_ROOT, TVI_LAST, separator_, false);
    list(root_, separator_);
    TreeView_Expand(tree_, root_, TVE_EXPAND);
}

void cabinet_tree::release() {
    if (tree_ != nullptr && ::IsWindow(tree_)) TreeView_SetImageList(tree_, nullptr, TVSIL_NORMAL);
    if (images_ != nullptr) ImageList_Destroy(images_);
    images_ = nullptr;
    tree_ = nullptr;
}

void cabinet_tree::expanding(const NMTREEVIEWW& change) {
    if (change.action & TVE_EXPAND) open(change.itemNew.hItem);
}

HTREEITEM cabinet_tree::add_item(HTREEITEM parent, HTREEITEM after, const std::string& name,
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

std::string cabinet_tree::item_name(HTREEITEM item) const {
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

std::vector<std::string> cabinet_tree::child_names(HTREEITEM item) const {
    std::vector<std::string> names;
    for (HTREEITEM child = first_child(tree_, item); child != nullptr;
         child = TreeView_GetNextSibling(tree_, child)) {
        if (kind_of(tree_, child) == cabinet_item) names.push_back(item_name(child));
    }
    return names;
}

std::string cabinet_tree::path_of(HTREEITEM item) const {
    std::vector<std::string> names;
    for (; item != nullptr && item != TVI_ROOT && item != root_;
         item = TreeView_GetParent(tree_, item)) {
        names.insert(names.begin(), item_name(item));
    }
    return gui::cabinet_path(names, separator_);
}

void cabinet_tree::open(HTREEITEM item) {
    if (!holds_placeholder(tree_, item)) return;
    TreeView_DeleteItem(tree_, first_child(tree_, item));
    list(item, path_of(item));
}

void cabinet_tree::list(HTREEITEM item, const std::string& path) {
    std::vector<gui::cabinet> cabinets;
    try {
        cabinets = gui::list_cabinets(repo_, path);
    } catch (const tuv_error& error) {
        // The cabinet stays, without children, and can still be chosen.
        prompter_.message(::GetAncestor(tree_, GA_ROOT),
                          gui::listing_failed_text(path, error.what()), caption_,
                          gui::prompt_icon::exclamation);
        return;
    }
    for (const gui::cabinet& cabinet : cabinets) {
        add_item(item, TVI_LAST, cabinet.name, cabinet.has_cabinets);
    }
}

HTREEITEM cabinet_tree::add_in_order(HTREEITEM parent, const std::string& name) {
    open(parent);
    const std::vector<std::string> siblings = child_names(parent);
    const std::size_t position = gui::cabinet_position(siblings, name);
    HTREEITEM after = TVI_FIRST;
    for (std::size_t i = 0; i < position; ++i) {
        after = i == 0 ? first_child(tree_, parent) : TreeView_GetNextSibling(tree_, after);
    }
    return add_item(parent, after, name, false);
}

}  // namespace tuv::win32
