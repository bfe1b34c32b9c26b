#include "property/CVellum_PropertyDlg.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTreeView>
#include <QVBoxLayout>
#include <exception>

#include "gui/CAboutDlg.h"
#include "gui/app_icon.h"
#include "gui/captions.h"
#include "gui/command_line.h"
#include "gui/prompter.h"
#include "property/property_program.h"

namespace {

constexpr int moment_width = 150;
constexpr int description_width = 270;

// A static text that a long path cannot widen: it scrolls, and can be copied.
QLineEdit* static_text(const std::string& text) {
    auto* edit = new QLineEdit(QString::fromStdString(text));
    edit->setReadOnly(true);
    edit->setFrame(false);
    edit->setCursorPosition(0);
    edit->setToolTip(edit->text());
    // Looks like the labels beside it, not like a field to type in.
    edit->setStyleSheet("QLineEdit { background: transparent; }");
    return edit;
}

}  // namespace

CVellum_PropertyDlg::CVellum_PropertyDlg(const std::string& local_path,
                                         tuv::property::property_model& model,
                                         tuv::repository& repo, tuv::gui::prompter& prompter,
                                         QWidget* parent)
    : QDialog(parent),
      repo_(repo),
      prompter_(prompter),
      model_(model),
      file_name_(static_text(tuv::gui::file_name_of(local_path))),
      source_path_(static_text(local_path)),
      vault_paths_(new QComboBox),
      versions_(new QTreeView),
      check_out_(new QPushButton("Check&Out")),
      cancel_(new QPushButton("&Cancel")) {
    setWindowTitle(tuv::gui::caption_properties);
    setWindowIcon(tuv::gui::app_icon());

    for (const std::string& path : model_.vault_paths()) {
        vault_paths_->addItem(QString::fromStdString(path));
    }

    versions_->setModel(&rows_);
    versions_->setRootIsDecorated(false);
    versions_->setItemsExpandable(false);
    versions_->setUniformRowHeights(true);
    versions_->setAllColumnsShowFocus(true);
    versions_->setSelectionMode(QAbstractItemView::SingleSelection);
    versions_->setSelectionBehavior(QAbstractItemView::SelectRows);
    versions_->header()->setStretchLastSection(false);
    versions_->header()->resizeSection(0, moment_width);
    versions_->header()->resizeSection(1, description_width);
    versions_->setMinimumWidth(moment_width + description_width + 2 * versions_->frameWidth() +
                               style()->pixelMetric(QStyle::PM_ScrollBarExtent));

    auto* fields = new QFormLayout;
    fields->addRow("File Name:", file_name_);
    fields->addRow("Source Path:", source_path_);
    fields->addRow("Quillmark Path:", vault_paths_);

    auto* buttons = new QDialogButtonBox;
    // Check&Out is the default button but does not close the dialog.
    buttons->addButton(check_out_, QDialogButtonBox::ActionRole);
    buttons->addButton(cancel_, QDialogButtonBox::RejectRole);
    check_out_->setDefault(true);
    connect(check_out_, &QPushButton::clicked, this, &CVellum_PropertyDlg::check_out);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addWidget(new QLabel("Details :"));
    layout->addWidget(versions_, 1);
    layout->addLayout(CAboutDlg::button_row(tuv::gui::properties_about, buttons, this));

    show_versions(0);
    connect(vault_paths_, &QComboBox::currentIndexChanged, this,
            &CVellum_PropertyDlg::show_versions);
    resize(sizeHint().width(), 330);
}

void CVellum_PropertyDlg::show_versions(int index) {
    tuv::property::select_vault_path(model_, index, prompter_, this);
    rows_.set_rows(model_.versions());
}

void CVellum_PropertyDlg::check_out() {
    std::vector<int> rows;
    for (const QModelIndex& index : versions_->selectionModel()->selectedRows()) {
        rows.push_back(index.row());
    }
    tuv::property::check_out_rows(model_, repo_, std::move(rows), prompter_, this);
}
