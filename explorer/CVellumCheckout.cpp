#include "explorer/CVellumCheckout.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QVBoxLayout>
#include <algorithm>
#include <stdexcept>

#include "core/base/date.h"
#include "core/base/errors.h"
#include "core/vault/file_entry.h"
#include "core/vault/repository.h"
#include "gui/app_icon.h"
#include "gui/captions.h"
#include "gui/dialog_buttons.h"
#include "gui/prompter.h"

namespace {

// A read-only line whose tool tip holds the whole text, for names and paths
// longer than the field.
QLineEdit* read_only_line(const std::string& text) {
    auto* edit = new QLineEdit(QString::fromStdString(text));
    edit->setReadOnly(true);
    edit->setCursorPosition(0);
    edit->setToolTip(edit->text());
    return edit;
}

}  // namespace

CVellumCheckout::CVellumCheckout(tuv::repository& repo, tuv::gui::prompter& prompter,
                                 const std::string& vault_path,
                                 const std::vector<std::string>& versions, int index,
                                 QWidget* parent)
    : QDialog(parent),
      prompter_(prompter),
      choice_(repo, vault_path),
      name_(read_only_line(choice_.name())),
      path_(read_only_line(vault_path)),
      times_(new QComboBox),
      description_(new QPlainTextEdit) {
    setWindowTitle("Quillmark Explorer: Checkout");
    setWindowIcon(tuv::gui::app_icon());

    times_->setEditable(true);
    // A typed time is the answer as it stands; it does not join the list.
    times_->setInsertPolicy(QComboBox::NoInsert);
    for (const std::string& text : tuv::explorer::in_time_order(versions)) {
        times_->addItem(QString::fromStdString(text));
    }
    times_->setCurrentIndex(index >= 0 && index < times_->count() ? index : 0);
    times_->setMinimumContentsLength(19);  // "2025-12-31 23:59:59"

    description_->setReadOnly(true);
    description_->setMinimumSize(320, 90);

    auto* fields = new QFormLayout;
    fields->addRow("Filename:", name_);
    fields->addRow("Path", path_);
    fields->addRow("Select Time", times_);
    fields->addRow("Description", description_);

    QDialogButtonBox* buttons = tuv::gui::dialog_buttons(*this, "&Save", "&Cancel");
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addWidget(buttons);

    show_description();
    connect(times_, &QComboBox::currentIndexChanged, this, &CVellumCheckout::show_description);
}

CVellumCheckout::~CVellumCheckout() = default;

std::string CVellumCheckout::time_text() const {
    return times_->currentText().toStdString();
}

void CVellumCheckout::show_description() {
    description_->clear();
    if (times_->currentIndex() < 0) return;
    try {
        description_->setPlainText(QString::fromStdString(choice_.description(time_text())));
    } catch (const std::runtime_error&) {
        // tuv_error is a runtime_error too. The dialog stays usable: another
        // version may still be read.
        prompter_.message(this, tuv::gui::support_error_text, tuv::gui::caption_explorer,
                          tuv::gui::prompt_icon::error);
    }
}

std::optional<std::string> CVellumCheckout::choose(tuv::repository& repo,
                                                   tuv::gui::prompter& prompter, QWidget* owner,
                                                   const std::string& vault_path,
                                                   const std::vector<std::string>& versions,
                                                   int index, const runner& run) {
    CVellumCheckout dialog(repo, prompter, vault_path, versions, index, owner);
    const int result = run ? run(dialog) : dialog.exec();
    if (result != QDialog::Accepted) return std::nullopt;
    return dialog.time_text();
}
