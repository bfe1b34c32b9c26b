#include "checkin/CCreateNewDialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "checkin/cabinet_names.h"
#include "gui/captions.h"
#include "gui/prompter.h"

CCreateNewDialog::CCreateNewDialog(const QString& kind, tuv::gui::prompter& prompter,
                                   QWidget* parent)
    : QDialog(parent), prompter_(prompter), name_(new QLineEdit) {
    setWindowTitle(QString("Quillmark: Add New %1").arg(kind));
    name_->setMaxLength(255);
    name_->setMinimumWidth(280);
    auto* label = new QLabel(QString("%1 Name").arg(kind));
    label->setBuddy(name_);
    auto* buttons = new QDialogButtonBox;
    QPushButton* add_button = buttons->addButton("&Add", QDialogButtonBox::AcceptRole);
    buttons->addButton("&Cancel", QDialogButtonBox::RejectRole);
    add_button->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &CCreateNewDialog::add);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(name_);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

QString CCreateNewDialog::name() const { return name_->text(); }

void CCreateNewDialog::add() {
    if (tuv::checkin::is_valid_entry_name(name_->text())) {
        accept();
        return;
    }
    prompter_.message(this, tuv::checkin::entry_name_message, tuv::gui::caption_warning,
                      tuv::gui::prompt_icon::exclamation);
    name_->clear();
    name_->setFocus();
}
