// The state of the Tuv_FileExt module in the shell's process, from load to
// unload: its instance, its lock count (objects, class-factory locks and
// pages alive, which DllCanUnloadNow reads), the menu item's bitmap and the
// current user's vault, opened read-only at first need.
//
// Everything here is used on the shell's user-interface thread only, as the
// class is apartment-threaded; the lock count is changed atomically all the
// same, since COM may ask DllCanUnloadNow from another thread.
#pragma once

#include <windows.h>

#include "shellext/shell_ext.h"

namespace tuv::shell::win {

struct module_state {
    HINSTANCE instance = nullptr;
    HBITMAP menu_bitmap = nullptr;
    // A UINT because property sheets count their pages in it
    // (PROPSHEETPAGE::pcRefParent).
    UINT lock_count = 0;
    vault_holder vault;
};

module_state& module();

void lock_module();
void unlock_module();

}  // namespace tuv::shell::win
