#include "gui/name_dialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "gui/captions.h"
#include "gui/dialog_buttons.h"
#include "gui/prompter.h"

namespace tuv::gui {

name_dialog::name_dialog(const name_dialog_texts& texts,
                         std::function<bool(const std::string&)> valid, prompter& prompter,
                         QWidget* parent)
    : QDialog(parent),
      valid_(std::move(valid)),
      prompter_(prompter),
      refusal_(texts.refusal),
      name_(new QLineEdit) {
    setWindowTitle(texts.title);
    name_->setMaxLength(255);
    name_->setMinimumWidth(280);
    auto* label = new QLabel(texts.label);
    label->setBuddy(name_);
    QDialogButtonBox* buttons = dialog_buttons(*this, texts.add_button, "&Cancel");
    connect(buttons, &QDialogButtonBox::accepted, this, &name_dialog::add);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(name_);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    name_->setFocus();
}

QString name_dialog::name() const {
    return name_->text();
}

void name_dialog::add() {
    if (valid_(name_->text().toStdString())) {
        accept();
        return;
    }
    prompter_.message(this, refusal_, caption_warning, prompt_icon::exclamation);
    name_->clear();
    name_->setFocus();
}

}  // namespace tuv::gui
