// Asks for the name of a new cabinet (the shared name_dialog): "Add New
// Cabinet Dialog", "Cabinet Name", refusing empty names and names with any
// of tuv::cabinet_forbidden_characters until the person gives a valid one
// or cancels.
#pragma once

#include "gui/win32/name_dialog.h"

class CNewCab : public tuv::win32::name_dialog {
  public:
    // Borrows the prompter, which must outlive the dialog.
    explicit CNewCab(tuv::gui::prompter& prompter);
};
