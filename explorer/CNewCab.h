// Asks for the name of a new cabinet, refusing empty names and names with
// any of tuv::cabinet_forbidden_characters until the person gives a valid
// one or cancels. name() is the accepted name.
#pragma once

#include "gui/name_dialog.h"

class CNewCab : public tuv::gui::name_dialog {
    Q_OBJECT
  public:
    // Borrows the prompter, which must outlive the dialog.
    explicit CNewCab(tuv::gui::prompter& prompter, QWidget* parent = nullptr);
};
