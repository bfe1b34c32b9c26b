// The icons the window programs share.
#pragma once

#include <QIcon>

namespace tuv::gui {

// The application's icon, for windows, the about box and the desktop file.
QIcon app_icon();

// The folder icon of the vault trees.
QIcon folder_icon();

}  // namespace tuv::gui
