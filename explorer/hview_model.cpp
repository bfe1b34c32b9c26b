#include "explorer/hview_model.h"

#include <exception>

#include "core/base/errors.h"
#include "explorer/CVellum_ExplorerDoc.h"
#include "gui/prompter.h"

namespace tuv::explorer {

hview_model::hview_model(CVellum_ExplorerDoc& document, QObject* parent)
    : QAbstractTableModel(parent), document_(document), rows_(document) {
    connect(&document_, &CVellum_ExplorerDoc::views_changed, this, [this] {
        try {
            reload();
        } catch (const tuv_error& error) {
            document_.prompts().message(nullptr, error.what(), caption_error,
                                        gui::prompt_icon::exclamation);
        }
    });
}

void hview_model::reload() {
    beginResetModel();
    std::exception_ptr failure;
    try {
        rows_.reload();
    } catch (const tuv_error&) {
        failure = std::current_exception();
    }
    endResetModel();
    if (failure) std::rethrow_exception(failure);
}

int hview_model::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.shown());
}

bool hview_model::canFetchMore(const QModelIndex& parent) const {
    return !parent.isValid() && rows_.has_more();
}

void hview_model::fetchMore(const QModelIndex& parent) {
    if (!canFetchMore(parent)) return;
    const std::size_t more = rows_.read_next_page();
    if (more == 0) return;
    const int first = static_cast<int>(rows_.shown());
    beginInsertRows({}, first, first + static_cast<int>(more) - 1);
    rows_.show_next(more);
    endInsertRows();
}

int hview_model::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.column_titles().size());
}

QVariant hview_model::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    if (role == row_kind_role) return rows_.row_at(index.row()).kind;
    if (role == Qt::TextAlignmentRole) return int(Qt::AlignCenter);
    if (role != Qt::DisplayRole) return {};
    return QString::fromStdString(rows_.cell_text(index.row(), index.column()));
}

QVariant hview_model::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    const std::vector<std::string>& titles = rows_.column_titles();
    if (section < 0 || static_cast<std::size_t>(section) >= titles.size()) return {};
    return QString::fromStdString(titles[static_cast<std::size_t>(section)]);
}

}  // namespace tuv::explorer
