// Tuv_ShellExt, the COM class the shell creates for selected files: it
// reads the selection (IShellExtInit), offers "Quillmark Checkin" in the
// context menu and starts the check-in program (IContextMenu), and adds the
// "Quillmark" page for one file the vault knows (IShellPropSheetExt). What
// it does lives in shellext/shell_ext.h; this is the shell's side of it.
//
// Apartment-threaded: every call comes on the thread that created the
// object. Each object holds a module lock while it lives.
#pragma once

#include <shlobj.h>
#include <windows.h>

#include <string>
#include <vector>

#include "shellext/shell_ext.h"

namespace tuv::shell::win {

inline constexpr const char* class_id_text = "{1EC23140-80FD-4221-9A5E-C19CF8993FBE}";
inline constexpr CLSID class_id = {
    0x1ec23140, 0x80fd, 0x4221, {0x9a, 0x5e, 0xc1, 0x9c, 0xf8, 0x99, 0x3f, 0xbe}};

// The menu's items, as offsets from the first command id.
inline constexpr UINT separator_before_offset = 0;
inline constexpr UINT checkin_offset = 1;
inline constexpr UINT separator_after_offset = 2;
// What QueryContextMenu answers: the ids it reserves.
inline constexpr UINT menu_ids_reserved = 4;

class Tuv_ShellExt final : public IShellExtInit, public IContextMenu, public IShellPropSheetExt {
  public:
    Tuv_ShellExt();
    Tuv_ShellExt(const Tuv_ShellExt&) = delete;
    Tuv_ShellExt& operator=(const Tuv_ShellExt&) = delete;

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IShellExtInit: reads the drop-file list of `data`. S_OK when it holds
    // at least one entry, E_INVALIDARG otherwise. Paths of any length.
    STDMETHODIMP Initialize(PCIDLIST_ABSOLUTE folder, IDataObject* data, HKEY program_key) override;

    // IContextMenu
    STDMETHODIMP QueryContextMenu(HMENU menu, UINT index, UINT first_id, UINT last_id,
                                  UINT flags) override;
    // The help text of the check-in item, narrow or wide as asked, cut to
    // `size` characters with its terminating NUL; E_INVALIDARG for other
    // requests and for a buffer of no size.
    STDMETHODIMP GetCommandString(UINT_PTR command, UINT flags, UINT* reserved, CHAR* buffer,
                                  UINT size) override;
    // Starts the check-in program on the selected files; folders alone are
    // told to select a file. Messages are shown over the invoking window
    // unless the shell asks for no UI.
    STDMETHODIMP InvokeCommand(CMINVOKECOMMANDINFO* info) override;

    // IShellPropSheetExt
    STDMETHODIMP AddPages(LPFNSVADDPROPSHEETPAGE add_page, LPARAM parameter) override;
    STDMETHODIMP ReplacePage(EXPPS page, LPFNSVADDPROPSHEETPAGE replace, LPARAM parameter) override;

  private:
    ~Tuv_ShellExt();

    LONG references_ = 1;
    std::vector<selected_item> items_;
};

}  // namespace tuv::shell::win
