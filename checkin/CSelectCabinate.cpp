#include "checkin/CSelectCabinate.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

#include "checkin/CCreateNewDialog.h"
#include "gui/captions.h"
#include "gui/prompter.h"

CSelectCabinate::CSelectCabinate(tuv::repository& repo, tuv::gui::prompter& prompter,
                                 QWidget* parent)
    : QDialog(parent), prompter_(prompter), model_(repo), tree_(new QTreeView), path_(new QLineEdit) {
    setWindowTitle("SelectCabinet");
    ask_ = [this]() -> std::optional<std::string> {
        CCreateNewDialog dialog("Cabinet", prompter_, this);
        if (dialog.exec() != QDialog::Accepted) return std::nullopt;
        return dialog.name().toStdString();
    };
    connect(&model_, &tuv::gui::cabinet_model::listing_failed, this, [this](const QString& text) {
        prompter_.message(this, text.toStdString(), tuv::gui::caption_checkin,
                          tuv::gui::prompt_icon::exclamation);
    });

    path_->setReadOnly(true);
    auto* path_label = new QLabel("Destination Path");
    path_label->setBuddy(path_);
    tree_->setModel(&model_);
    tree_->setHeaderHidden(true);
    tree_->setRootIsDecorated(true);
    tree_->setMinimumSize(320, 260);
    connect(tree_, &QTreeView::expanded, &model_, &tuv::gui::cabinet_model::expand);
    connect(tree_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) { select(current); });

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QPushButton* add = buttons->addButton("New Cabinet", QDialogButtonBox::ActionRole);
    add->setAutoDefault(false);
    connect(add, &QPushButton::clicked, this, &CSelectCabinate::new_cabinet);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(path_label);
    layout->addWidget(path_);
    layout->addWidget(tree_, 1);
    layout->addWidget(buttons);

    tree_->expand(model_.root_index());
    tree_->setCurrentIndex(model_.root_index());
    select(model_.root_index());
}

void CSelectCabinate::select(const QModelIndex& item) {
    destination_ = model_.vault_path(item);
    path_->setText(destination_);
}

void CSelectCabinate::new_cabinet() {
    QModelIndex parent = tree_->currentIndex();
    if (!parent.isValid()) parent = model_.root_index();
    const std::optional<std::string> name =
        tuv::checkin_app::ask_new_cabinet(model_.children_of(parent), prompter_, this, ask_);
    if (!name) return;
    const QModelIndex added = model_.add_cabinet(parent, QString::fromStdString(*name));
    tree_->expand(parent);
    tree_->setCurrentIndex(added);
}
