#include "property/version_model.h"

#include "property/property_model.h"

namespace tuv::property {
namespace {

constexpr int moment_column = 0;
constexpr int description_column = 1;
constexpr int column_count = 2;

}  // namespace

void version_model::set_rows(std::vector<gui::version_row> rows) {
    beginResetModel();
    rows_ = std::move(rows);
    endResetModel();
}

int version_model::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int version_model::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : column_count;
}

QVariant version_model::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid) || role != Qt::DisplayRole) return {};
    const gui::version_row& row = rows_[static_cast<std::size_t>(index.row())];
    return QString::fromStdString(index.column() == moment_column ? row.moment : row.description);
}

QVariant version_model::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    switch (section) {
        case moment_column:
            return QString(moment_heading);
        case description_column:
            return QString(description_heading);
        default:
            return {};
    }
}

}  // namespace tuv::property
