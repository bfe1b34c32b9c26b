#include "gui/app_icon.h"

#include <QApplication>
#include <QStyle>

// The resources live in a static library, so nothing registers them before
// their first use; Q_INIT_RESOURCE must be called outside any namespace.
static void register_resources() { Q_INIT_RESOURCE(gui); }

namespace tuv::gui {

QIcon app_icon() {
    register_resources();
    return QIcon(":/quillmark/quillmark.png");
}

QIcon folder_icon() { return QApplication::style()->standardIcon(QStyle::SP_DirClosedIcon); }

}  // namespace tuv::gui
