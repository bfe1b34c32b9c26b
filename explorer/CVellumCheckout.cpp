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

// The texts ordered by the moments they name, not as text: "2025-9-30 ..."
// comes before "2025-10-1 ...". A text that names no moment goes last; equal
// moments keep their order.
std::vector<std::string> in_time_order(const std::vector<std::string>& texts) {
    struct keyed {
        std::optional<std::time_t> moment;
        const std::string* text;
    };
    std::vector<keyed> keys;
    keys.reserve(texts.size());
    for (const std::string& text : texts) {
        std::optional<std::time_t> moment;
        try {
            moment = tuv::date(text).seconds();
        } catch (const tuv::invalid_date_exception&) {
        }
        keys.push_back({moment, &text});
    }
    std::stable_sort(keys.begin(), keys.end(), [](const keyed& a, const keyed& b) {
        if (!a.moment || !b.moment) return a.moment.has_value() && !b.moment.has_value();
        return *a.moment < *b.moment;
    });
    std::vector<std::string> ordered;
    ordered.reserve(keys.size());
    for (const keyed& key : keys) ordered.push_back(*key.text);
    return ordered;
}

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
      repo_(repo),
      prompter_(prompter),
      vault_path_(vault_path),
      name_(nullptr),
      path_(read_only_line(vault_path)),
      times_(new QComboBox),
      description_(new QPlainTextEdit) {
    setWindowTitle("Quillmark Explorer: Checkout");
    setWindowIcon(tuv::gui::app_icon());

    const std::string& separator = repo.path_separator();
    const std::size_t at = vault_path.rfind(separator);
    name_ = read_only_line(at == std::string::npos ? vault_path
                                                   : vault_path.substr(at + separator.size()));

    times_->setEditable(true);
    // A typed time is the answer as it stands; it does not join the list.
    times_->setInsertPolicy(QComboBox::NoInsert);
    for (const std::string& text : in_time_order(versions)) {
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
        if (!entry_) entry_ = repo_.catalogue().resolve(vault_path_);
        const std::string text = entry_->attributes_at(tuv::date(time_text()));
        description_->setPlainText(QString::fromStdString(text.empty() ? " " : text));
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
