#include "explorer/Quillmark_ExportDlg.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QVBoxLayout>
#include <stdexcept>
#include <string>

#include "gui/captions.h"
#include "gui/dialog_buttons.h"
#include "gui/prompter.h"

namespace {

std::string no_choice(int which) {
    return "Quillmark_ExportDlg: no version choice " + std::to_string(which);
}

}  // namespace

Quillmark_ExportDlg::Quillmark_ExportDlg(tuv::gui::prompter& prompter, QWidget* parent)
    : QDialog(parent),
      prompter_(prompter),
      folder_(new QLineEdit),
      versions_(new QButtonGroup(this)) {
    setWindowTitle("Export");

    // Only the browser sets the folder, so it is always one that exists.
    folder_->setReadOnly(true);
    folder_->setMinimumWidth(300);
    auto* browse_button = new QPushButton("Bro&wse");
    connect(browse_button, &QPushButton::clicked, this, &Quillmark_ExportDlg::browse);
    auto* folder_row = new QHBoxLayout;
    folder_row->addWidget(folder_);
    folder_row->addWidget(browse_button);

    auto* group = new QGroupBox("Versions");
    auto* group_layout = new QHBoxLayout(group);
    const char* const labels[] = {"Latest", "Oldest", "All"};
    for (int which = latest; which <= all; ++which) {
        auto* radio = new QRadioButton(labels[which]);
        versions_->addButton(radio, which);
        group_layout->addWidget(radio);
    }
    set_version_choice(latest);

    QDialogButtonBox* buttons = tuv::gui::dialog_buttons(*this, "OK", "Cancel");
    connect(buttons, &QDialogButtonBox::accepted, this, &Quillmark_ExportDlg::accept_destination);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel("Destination Folder:-"));
    layout->addLayout(folder_row);
    layout->addWidget(group);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

int Quillmark_ExportDlg::version_choice() const {
    return versions_->checkedId();
}

void Quillmark_ExportDlg::set_version_choice(int which) {
    QAbstractButton* button = versions_->button(which);
    if (!button) throw std::invalid_argument(no_choice(which));
    button->setChecked(true);
}

void Quillmark_ExportDlg::browse() {
    const std::optional<std::string> folder = prompter_.browse_folder(
        this, "Browse for Folder",
        QStandardPaths::writableLocation(QStandardPaths::DesktopLocation).toStdString());
    if (!folder) return;
    destination_ = QString::fromStdString(*folder);
    folder_->setText(destination_);
    folder_->setToolTip(destination_);
}

void Quillmark_ExportDlg::accept_destination() {
    if (destination_.isEmpty()) {
        prompter_.message(this, "Please specify destination folder.", tuv::gui::caption_explorer,
                          tuv::gui::prompt_icon::none);
        return;
    }
    accept();
}
