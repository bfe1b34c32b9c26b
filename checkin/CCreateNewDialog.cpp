#include "checkin/CCreateNewDialog.h"

#include "checkin/cabinet_names.h"

CCreateNewDialog::CCreateNewDialog(const std::string& kind, tuv::gui::prompter& prompter,
                                   QWidget* parent)
    : name_dialog({.title = QString::fromStdString(tuv::checkin_app::new_name_title(kind)),
                   .label = QString::fromStdString(tuv::checkin_app::new_name_label(kind)),
                   .add_button = "&Add",
                   .refusal = tuv::checkin_app::entry_name_message},
                  tuv::checkin_app::is_valid_entry_name, prompter, parent) {}
