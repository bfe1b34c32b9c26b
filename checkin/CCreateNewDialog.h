// Asks for the name of a new entry of some kind ("Cabinet"), refusing empty
// names and the entry characters until the person gives one or cancels.
#pragma once

#include <string>

#include "gui/name_dialog.h"

class CCreateNewDialog : public tuv::gui::name_dialog {
    Q_OBJECT
  public:
    // Borrows the prompter, which must outlive the dialog.
    CCreateNewDialog(const std::string& kind, tuv::gui::prompter& prompter,
                     QWidget* parent = nullptr);
};
