#include "explorer/win32/CNewCab.h"

#include "core/base/vault_path.h"
#include "gui/captions.h"

CNewCab::CNewCab(tuv::gui::prompter& prompter)
    : name_dialog(
          {.title = "Add New Cabinet Dialog",
           .label = "Cabinet Name",
           .add_button = "&Add ",
           .refusal = tuv::gui::cabinet_name_message},
          [](const std::string& name) { return tuv::is_valid_cabinet_name(name); }, prompter) {}
