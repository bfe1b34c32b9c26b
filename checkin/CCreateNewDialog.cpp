#include "checkin/CCreateNewDialog.h"

#include "checkin/cabinet_names.h"

CCreateNewDialog::CCreateNewDialog(const QString& kind, tuv::gui::prompter& prompter,
                                   QWidget* parent)
    : name_dialog({.title = QString("Quillmark: Add New %1").arg(kind),
                   .label = QString("%1 Name").arg(kind),
                   .add_button = "&Add",
                   .refusal = tuv::checkin_app::entry_name_message},
                  tuv::checkin_app::is_valid_entry_name, prompter, parent) {}
