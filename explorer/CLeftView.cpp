#include "explorer/CLeftView.h"

#include <QHeaderView>
#include <QMenu>

#include "core/base/errors.h"
#include "explorer/CNewCab.h"
#include "explorer/CVellum_ExplorerDoc.h"
#include "explorer/hview_model.h"
#include "gui/prompter.h"

CLeftView::CLeftView(CVellum_ExplorerDoc& document, QWidget* parent)
    : QTreeView(parent), document_(document) {
    setHeaderHidden(true);
    setRootIsDecorated(true);
    setUniformRowHeights(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setContextMenuPolicy(Qt::CustomContextMenu);
    if (document_.vault() != nullptr) {
        model_ = std::make_unique<tuv::gui::cabinet_model>(*document_.vault(),
                                                           tuv::gui::cabinet_root::hidden);
        setModel(model_.get());
        connect(this, &QTreeView::expanded, model_.get(), &tuv::gui::cabinet_model::expand);
        connect(this, &QTreeView::collapsed, model_.get(), &tuv::gui::cabinet_model::collapse);
        connect(model_.get(), &tuv::gui::cabinet_model::listing_failed, this,
                [this](const QString& text) {
                    document_.prompts().message(this, text.toStdString(),
                                                tuv::explorer::caption_error,
                                                tuv::gui::prompt_icon::exclamation);
                });
        connect(this, &QTreeView::activated, this, [this](const QModelIndex& item) {
            go_to_location(model_->vault_path(item).toStdString());
        });
    }
    connect(this, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        QMenu menu(this);
        menu.addAction("Add Cabinet", this, &CLeftView::add_cabinet);
        menu.exec(viewport()->mapToGlobal(at));
    });
    connect(&document_, &CVellum_ExplorerDoc::views_changed, this, [this] {
        if (document_.refresh_flag()) refill();
    });
}

void CLeftView::go_to_location(const std::string& location) {
    try {
        document_.go_to(location);
    } catch (const tuv::tuv_error& error) {
        document_.prompts().message(this, error.what(), tuv::explorer::caption_error,
                                    tuv::gui::prompt_icon::exclamation);
        emit document_.views_changed();
    }
}

void CLeftView::add_cabinet() {
    document_.add_cabinet([this]() -> std::optional<std::string> {
        CNewCab dialog(document_.prompts(), this);
        if (dialog.exec() != QDialog::Accepted) return std::nullopt;
        return dialog.name().toStdString();
    });
}

// The vault changed (a check-in, a new cabinet, F5): read the tree anew.
void CLeftView::refill() {
    if (!model_) return;
    model_->reload();
    document_.set_refresh_flag(false);
    try {
        document_.rebuild_history();
    } catch (const tuv::tuv_error& error) {
        document_.prompts().message(this, error.what(), tuv::explorer::caption_error,
                                    tuv::gui::prompt_icon::exclamation);
    }
}
