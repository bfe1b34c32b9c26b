#include "explorer/CVellum_HView.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QMenu>
#include <QMimeData>
#include <QStatusTipEvent>
#include <QUrl>
#include <algorithm>

#include "core/base/errors.h"
#include "explorer/CVellumProperties.h"
#include "explorer/CVellum_ExplorerDoc.h"
#include "explorer/checkout_chooser.h"
#include "gui/app_icon.h"
#include "gui/captions.h"
#include "gui/prompter.h"

using namespace tuv::explorer;

namespace {

// The local files of a drop, or none when anything else is in it.
QStringList dropped_files(const QMimeData* data) {
    QStringList files;
    if (data == nullptr || !data->hasUrls()) return files;
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile() || !QFileInfo(url.toLocalFile()).isFile()) return {};
        files << url.toLocalFile();
    }
    return files;
}

}  // namespace

CVellum_HView::CVellum_HView(CVellum_ExplorerDoc& document, QWidget* parent)
    : QTreeView(parent), document_(document), model_(document) {
    setModel(&model_);
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setAlternatingRowColors(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setContextMenuPolicy(Qt::CustomContextMenu);
    setAcceptDrops(true);
    header()->setDefaultAlignment(Qt::AlignCenter);
    header()->setStretchLastSection(false);
    open_ = [](const std::filesystem::path& file) {
        return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(file.string())));
    };
    if (document_.vault() != nullptr) {
        choose_ = checkout_dialog_chooser(*document_.vault(), document_.prompts(), this);
    }
    connect(this, &QTreeView::activated, this, [this](const QModelIndex& row) {
        model_.navigate(row.row());
    });
    connect(this, &QWidget::customContextMenuRequested, this, &CVellum_HView::show_menu);
    connect(&model_, &QAbstractItemModel::modelReset, this, &CVellum_HView::fit_columns);
    // A list made after the others (the search pane's) shows the state now.
    try {
        model_.reload();
    } catch (const tuv::tuv_error& error) {
        document_.prompts().message(this, error.what(), caption_error,
                                    tuv::gui::prompt_icon::exclamation);
    }
}

std::vector<int> CVellum_HView::selected_rows() const {
    std::vector<int> rows;
    for (const QModelIndex& index : selectionModel()->selectedRows()) rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void CVellum_HView::view_selected() {
    open_versions(document_, model_.rows(), selected_rows(), open_);
}

void CVellum_HView::check_out_selected() {
    check_out(document_, model_.rows(), selected_rows(), choose_);
}

void CVellum_HView::properties_of_selected() {
    const std::vector<int> rows = selected_rows();
    std::optional<property_texts> texts;
    try {
        texts = properties_of(document_, model_.rows(), rows);
    } catch (const tuv::tuv_error& error) {
        document_.prompts().message(this, error.what(), caption_error,
                                    tuv::gui::prompt_icon::exclamation);
    }
    if (!texts) return;
    CVellumProperties dialog(
        QString::fromStdString(texts->name), QString::fromStdString(texts->vault_path),
        QString::fromStdString(texts->mime_type), QString::fromStdString(texts->size), this);
    if (dialog.exec() == QDialog::Accepted) {
        properties_check_out(document_, model_.rows(), rows.front(), choose_);
    }
}

void CVellum_HView::check_out_folder() {
    const std::vector<int> rows = selected_rows();
    if (rows.empty()) return;
    tuv::explorer::check_out_folder(document_, model_.rows(), rows.front());
}

void CVellum_HView::show_menu(const QPoint& at) {
    const QModelIndex index = indexAt(at);
    QMenu menu(this);
    // A popup menu is a window of its own, where an item's status tip would
    // stop: it is handed to the list, and so to the main window's status bar.
    connect(&menu, &QMenu::hovered, this, [this](QAction* item) {
        QStatusTipEvent tip(item->statusTip());
        QCoreApplication::sendEvent(this, &tip);
    });
    connect(&menu, &QMenu::aboutToHide, this, [this] {
        QStatusTipEvent tip{QString()};
        QCoreApplication::sendEvent(this, &tip);
    });
    if (index.isValid()) {
        const int kind = model_.row_at(index.row()).kind;
        if (kind == row_file || kind == row_version) {
            menu.addAction("&View", this, &CVellum_HView::view_selected)
                ->setStatusTip("View or Open File.");
            menu.addAction("Check&Out", this, &CVellum_HView::check_out_selected);
            menu.addAction("Prope&rties", this, &CVellum_HView::properties_of_selected);
            menu.exec(viewport()->mapToGlobal(at));
            return;
        }
    } else if (document_.list_mode() == mode_versions && !document_.search_mode()) {
        return;  // nothing to act on beside a file's versions
    }
    menu.addAction("Check&In", this, [this] { document_.check_in(); });
    menu.addAction("Check&Out", this, &CVellum_HView::check_out_folder);
    menu.exec(viewport()->mapToGlobal(at));
}

void CVellum_HView::fit_columns() {
    const int width = viewport()->width();
    if (model_.columnCount() == 2) {
        setColumnWidth(0, 200);
        setColumnWidth(1, std::max(100, width - 200));
        return;
    }
    // Wide enough for the longest moment in the font in use.
    const int date = std::max(125, fontMetrics().horizontalAdvance("2026-12-31 23:59:59") + 16);
    setColumnWidth(0, std::max(100, width - 100 - 2 * date));
    setColumnWidth(1, 100);
    setColumnWidth(2, date);
    setColumnWidth(3, date);
}

void CVellum_HView::resizeEvent(QResizeEvent* event) {
    QTreeView::resizeEvent(event);
    fit_columns();
}

void CVellum_HView::dragEnterEvent(QDragEnterEvent* event) {
    if (!dropped_files(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void CVellum_HView::dragMoveEvent(QDragMoveEvent* event) {
    if (!dropped_files(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void CVellum_HView::dropEvent(QDropEvent* event) {
    const QStringList files = dropped_files(event->mimeData());
    if (files.isEmpty()) return;
    event->acceptProposedAction();
    std::vector<std::string> paths;
    for (const QString& file : files) paths.push_back(file.toStdString());
    document_.start_checkin(paths);
}
