// The Qt model of the explorer's list (CVellum_HView) over the shared rows
// (list_rows): reloads when the document's views change and shows a long
// list in pages (canFetchMore/fetchMore). A vault error while reloading is
// shown under caption_error.
//
// Borrows the document, which must outlive the model.
#pragma once

#include <QAbstractTableModel>

#include "explorer/list_rows.h"

class CVellum_ExplorerDoc;

namespace tuv::explorer {

// A row's kind, its item data.
inline constexpr int row_kind_role = Qt::UserRole;

class hview_model : public QAbstractTableModel {
    Q_OBJECT
  public:
    explicit hview_model(CVellum_ExplorerDoc& document, QObject* parent = nullptr);

    // Reads the rows again from the document and shows the first page. A
    // vault error leaves the ".." row alone and passes on.
    void reload();
    const list_rows& rows() const { return rows_; }
    // A shown row (0 to rowCount() - 1).
    const list_row& row_at(int row) const { return rows_.row_at(row); }
    void navigate(int row) { rows_.navigate(row); }

    int rowCount(const QModelIndex& parent = {}) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

  private:
    CVellum_ExplorerDoc& document_;
    list_rows rows_;
};

}  // namespace tuv::explorer
