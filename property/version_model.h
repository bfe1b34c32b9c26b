// The properties dialog's versions list as a Qt model over the plain rows of
// property_model.
#pragma once

#include <QAbstractTableModel>
#include <vector>

#include "gui/version_rows.h"

namespace tuv::property {

// "Modification Time" and "Description".
class version_model : public QAbstractTableModel {
    Q_OBJECT
  public:
    using QAbstractTableModel::QAbstractTableModel;

    void set_rows(std::vector<gui::version_row> rows);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

  private:
    std::vector<gui::version_row> rows_;
};

}  // namespace tuv::property
