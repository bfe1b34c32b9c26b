#include "gui/dialog_buttons.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QPushButton>

namespace tuv::gui {

QDialogButtonBox* dialog_buttons(QDialog& dialog, const QString& confirm, const QString& cancel) {
    auto* buttons = new QDialogButtonBox;
    buttons->addButton(confirm, QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton(cancel, QDialogButtonBox::RejectRole);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    return buttons;
}

}  // namespace tuv::gui
