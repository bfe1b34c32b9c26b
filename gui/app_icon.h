// The icons the window programs share.
#pragma once

#include <QIcon>

namespace tuv::gui {

// The application's icon, for windows, the about box and the desktop file.
QIcon app_icon();

// Folder icons of the vault trees: closed and open.
QIcon folder_icon();
QIcon folder_open_icon();

}  // namespace tuv::gui
