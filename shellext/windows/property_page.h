// The "Quillmark" property page of one file (dialog IDD_QUILLMARK_PAGE): its
// name and path, a sorted list of the vault files checked in from it and the
// versions of the chosen one, how many vault files it leaves out beyond its
// limit, and a button that checks the focused version out through a save-as
// dialog.
//
// Each page carries its own copy of what it shows, freed when the shell
// releases the page, and holds a module lock while it exists.
#pragma once

#include <shlobj.h>
#include <windows.h>

#include "shellext/shell_ext.h"

namespace tuv::shell::win {

// Creates the page and hands it to `add_page`; a page the callback refuses
// is destroyed. S_OK, or E_OUTOFMEMORY when the page cannot be made.
HRESULT add_quillmark_page(shell_page page, LPFNSVADDPROPSHEETPAGE add_page, LPARAM parameter);

}  // namespace tuv::shell::win
