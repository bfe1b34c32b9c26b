// The dialog that asks for a new entry's name under Win32 (the shared
// name_dialog): "Quillmark: Add New <kind>", "<kind> Name", Add and Cancel.
// Add refuses an empty name or one with the entry characters, telling why
// over the dialog, and stays open.
#pragma once

#include <string>

#include "gui/win32/name_dialog.h"

namespace tuv::win32 {

class CCreateNewDialog : public name_dialog {
  public:
    // Borrows the prompter, which must outlive the dialog.
    CCreateNewDialog(const std::string& kind, gui::prompter& prompter);
};

}  // namespace tuv::win32
