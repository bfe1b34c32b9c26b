#include "checkin/win32/CCreateNewDialog.h"

#include "checkin/cabinet_names.h"

namespace tuv::win32 {

CCreateNewDialog::CCreateNewDialog(const std::string& kind, gui::prompter& prompter)
    : name_dialog({.title = checkin_app::new_name_title(kind),
                   .label = checkin_app::new_name_label(kind),
                   .add_button = "&Add",
                   .refusal = checkin_app::entry_name_message},
                  checkin_app::is_valid_entry_name, prompter) {}

}  // namespace tuv::win32
