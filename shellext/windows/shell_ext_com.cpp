#include "shellext/windows/shell_ext_com.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "platform/long_path.h"
#include "platform/wide_text.h"
#include "shellext/windows/module.h"
#include "shellext/windows/property_page.h"

namespace tuv::shell::win {
namespace {

// Shows the portable logic's messages as message boxes over the invoking
// window, or not at all when the shell asks for no UI.
class message_box_prompter : public shell_prompter {
  public:
    message_box_prompter(HWND owner, bool quiet) : owner_(owner), quiet_(quiet) {}

    void message(const shell_message& message) override {
        if (quiet_) return;
        UINT icon = MB_ICONINFORMATION;
        if (message.icon == message_icon::exclamation) icon = MB_ICONEXCLAMATION;
        if (message.icon == message_icon::error) icon = MB_ICONERROR;
        ::MessageBoxW(owner_, platform::to_wide(message.text).c_str(),
                      platform::to_wide(message.caption).c_str(), MB_OK | icon);
    }

  private:
    HWND owner_;
    bool quiet_;
};

// The drop-file list's entries in order, their paths in UTF-8; those whose
// path cannot be had are left out. Each path is asked for its length first,
// so none is cut.
std::vector<selected_item> dropped_items(HDROP drop) {
    std::vector<selected_item> items;
    const UINT count = ::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        const UINT length = ::DragQueryFileW(drop, i, nullptr, 0);
        if (length == 0) continue;
        std::wstring path(length + 1, L'\0');
        const UINT got = ::DragQueryFileW(drop, i, path.data(), length + 1);
        if (got == 0) continue;
        path.resize(got);
        // What cannot be examined counts as a file: the check-in program
        // then says what is wrong with it.
        const DWORD attributes = ::GetFileAttributesW(platform::long_path(path).c_str());
        const bool folder =
            attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        items.push_back({platform::to_utf8(path), folder});
    }
    return items;
}

// Copies `text` into the caller's buffer of `size` characters, cut if need
// be and always terminated.
void copy_narrow(const std::string& text, char* buffer, UINT size) {
    const std::size_t count = std::min<std::size_t>(text.size(), size - 1);
    std::memcpy(buffer, text.data(), count);
    buffer[count] = '\0';
}

void copy_wide(const std::string& text, wchar_t* buffer, UINT size) {
    const std::wstring wide = platform::to_wide(text);
    const std::size_t count = std::min<std::size_t>(wide.size(), size - 1);
    std::wmemcpy(buffer, wide.data(), count);
    buffer[count] = L'\0';
}

}  // namespace

Tuv_ShellExt::Tuv_ShellExt() {
    lock_module();
}

Tuv_ShellExt::~Tuv_ShellExt() {
    unlock_module();
}

STDMETHODIMP Tuv_ShellExt::QueryInterface(REFIID iid, void** out) {
    if (out == nullptr) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IShellExtInit)) {
        *out = static_cast<IShellExtInit*>(this);
    } else if (IsEqualIID(iid, IID_IContextMenu)) {
        *out = static_cast<IContextMenu*>(this);
    } else if (IsEqualIID(iid, IID_IShellPropSheetExt)) {
        *out = static_cast<IShellPropSheetExt*>(this);
    } else {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) Tuv_ShellExt::AddRef() {
    return static_cast<ULONG>(::InterlockedIncrement(&references_));
}

STDMETHODIMP_(ULONG) Tuv_ShellExt::Release() {
    const LONG left = ::InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
}

STDMETHODIMP Tuv_ShellExt::Initialize(PCIDLIST_ABSOLUTE, IDataObject* data, HKEY) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_DATE_CLASSES};
    ::InitCommonControlsEx(&controls);
    if (data == nullptr) return E_INVALIDARG;
    FORMATETC format{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium{};
    if (FAILED(data->GetData(&format, &medium))) return E_INVALIDARG;
    const auto drop = static_cast<HDROP>(::GlobalLock(medium.hGlobal));
    if (drop == nullptr) {
        ::ReleaseStgMedium(&medium);
        return E_INVALIDARG;
    }
    const UINT count = ::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    items_ = dropped_items(drop);
    ::GlobalUnlock(medium.hGlobal);
    ::ReleaseStgMedium(&medium);
    return count != 0 ? S_OK : E_INVALIDARG;
}

STDMETHODIMP Tuv_ShellExt::QueryContextMenu(HMENU menu, UINT index, UINT first_id, UINT last_id,
                                            UINT flags) {
    // Nothing when only the default item is wanted, or when the shell left
    // no room for our three ids.
    if ((flags & CMF_DEFAULTONLY) != 0 || last_id < first_id + separator_after_offset)
        return MAKE_HRESULT(SEVERITY_SUCCESS, FACILITY_NULL, 0);
    ::InsertMenuA(menu, index, MF_BYPOSITION | MF_SEPARATOR, first_id + separator_before_offset,
                  nullptr);
    ::InsertMenuA(menu, index + 1, MF_BYPOSITION | MF_STRING, first_id + checkin_offset,
                  checkin_item_text);
    const HBITMAP bitmap = module().menu_bitmap;
    if (bitmap != nullptr) ::SetMenuItemBitmaps(menu, index + 1, MF_BYPOSITION, bitmap, bitmap);
    ::InsertMenuA(menu, index + 2, MF_BYPOSITION | MF_SEPARATOR, first_id + separator_after_offset,
                  nullptr);
    return MAKE_HRESULT(SEVERITY_SUCCESS, FACILITY_NULL, menu_ids_reserved);
}

STDMETHODIMP Tuv_ShellExt::GetCommandString(UINT_PTR command, UINT flags, UINT*, CHAR* buffer,
                                            UINT size) {
    if ((flags & ~GCS_UNICODE) != GCS_HELPTEXTA || buffer == nullptr || size == 0)
        return E_INVALIDARG;
    const std::string text = command == checkin_offset ? checkin_help_text : "";
    if ((flags & GCS_UNICODE) != 0) {
        copy_wide(text, reinterpret_cast<wchar_t*>(buffer), size);
    } else {
        copy_narrow(text, buffer, size);
    }
    return S_OK;
}

STDMETHODIMP Tuv_ShellExt::InvokeCommand(CMINVOKECOMMANDINFO* info) {
    if (info == nullptr || HIWORD(info->lpVerb) != 0) return E_INVALIDARG;
    if (LOWORD(info->lpVerb) != checkin_offset) return E_INVALIDARG;
    message_box_prompter prompts(info->hwnd, (info->fMask & CMIC_MASK_FLAG_NO_UI) != 0);
    return start_checkin(select_files(items_), prompts) ? S_OK : S_FALSE;
}

STDMETHODIMP Tuv_ShellExt::AddPages(LPFNSVADDPROPSHEETPAGE add_page, LPARAM parameter) {
    if (add_page == nullptr) return E_INVALIDARG;
    repository* repo = module().vault.vault();
    if (repo == nullptr) return E_INVALIDARG;
    std::optional<shell_page> page;
    try {
        page = page_for(*repo, items_);
    } catch (const std::exception&) {
        return E_FAIL;
    }
    if (!page) return E_INVALIDARG;
    return add_quillmark_page(std::move(*page), add_page, parameter);
}

STDMETHODIMP Tuv_ShellExt::ReplacePage(EXPPS, LPFNSVADDPROPSHEETPAGE, LPARAM) {
    return E_NOTIMPL;
}

}  // namespace tuv::shell::win
