#include "property/property_model.h"

#include <algorithm>
#include <stdexcept>

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
        case moment_column: return QStringLiteral("Modification Time");
        case description_column: return QStringLiteral("Description");
        default: return {};
    }
}

property_model::property_model(repository& repo, std::vector<std::string> vault_paths)
    : repo_(repo), vault_paths_(std::move(vault_paths)) {}

void property_model::select(int index) {
    const std::string& path = vault_paths_.at(static_cast<std::size_t>(index));
    selected_ = index;
    versions_.set_rows({});
    versions_.set_rows(gui::versions_of(repo_, path));
}

std::vector<gui::checkout_row> property_model::checkout_rows(std::vector<int> rows) const {
    std::sort(rows.begin(), rows.end());
    std::vector<gui::checkout_row> checkout;
    for (const int row : rows) {
        checkout.push_back({vault_paths_.at(static_cast<std::size_t>(selected_)),
                            versions_.row_at(row).moment});
    }
    return checkout;
}

}  // namespace tuv::property
