#include "explorer/CVellumProperties.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QVBoxLayout>

#include "gui/app_icon.h"
#include "gui/dialog_buttons.h"

CVellumProperties::CVellumProperties(const QString& name, const QString& path,
                                     const QString& mime_type, const QString& size, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle("Quillmark Explorer:  File Properties");
    setWindowIcon(tuv::gui::app_icon());

    const char* const labels[] = {"File name", "File path", "MIME Type", "File size"};
    const QString* const texts[] = {&name, &path, &mime_type, &size};
    auto* form = new QFormLayout;
    for (int i = 0; i < 4; ++i) {
        fields_[i] = new QLineEdit(*texts[i]);
        fields_[i]->setReadOnly(true);
        fields_[i]->setCursorPosition(0);
        // A long path scrolls in its field; the tool tip shows all of it.
        fields_[i]->setToolTip(*texts[i]);
        fields_[i]->setMinimumWidth(320);
        form->addRow(labels[i], fields_[i]);
    }

    QDialogButtonBox* buttons = tuv::gui::dialog_buttons(*this, "Check&Out", "&Cancel");
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}
