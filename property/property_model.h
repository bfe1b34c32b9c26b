// What the properties program knows about a local file, without widgets: the
// vault files checked in from it (gui::vault_paths_for), the one chosen, and
// that file's versions (gui::versions_of).
//
// Everything here borrows the repository, which must outlive it, and only
// reads the vault. Database and catalogue failures pass through as the core
// throws them.
#pragma once

#include <QAbstractTableModel>
#include <string>
#include <vector>

#include "gui/checkout_sequence.h"
#include "gui/version_rows.h"

namespace tuv {
class repository;
}

namespace tuv::property {

// The versions list: "Modification Time" and "Description".
class version_model : public QAbstractTableModel {
    Q_OBJECT
  public:
    using QAbstractTableModel::QAbstractTableModel;

    void set_rows(std::vector<gui::version_row> rows);
    const gui::version_row& row_at(int row) const { return rows_.at(static_cast<std::size_t>(row)); }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

  private:
    std::vector<gui::version_row> rows_;
};

// The matching vault paths, the selected one and its versions.
class property_model {
  public:
    // Nothing is selected until select() is called.
    property_model(repository& repo, std::vector<std::string> vault_paths);

    const std::vector<std::string>& vault_paths() const { return vault_paths_; }
    // The index of the selected vault path; -1 for none.
    int selected() const { return selected_; }
    // Selects a vault path and lists its versions. On failure the list is
    // left empty and the error passes on. Throws std::out_of_range for an
    // index that names no path.
    void select(int index);

    version_model& versions() { return versions_; }

    // The checkout of the given rows of the versions list, in ascending
    // order: the selected vault path at each row's moment.
    std::vector<gui::checkout_row> checkout_rows(std::vector<int> rows) const;

  private:
    repository& repo_;
    std::vector<std::string> vault_paths_;
    int selected_ = -1;
    version_model versions_;
};

}  // namespace tuv::property
