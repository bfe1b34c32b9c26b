// The rows of the explorer's list (CVellum_HView): the entries of the current
// location, the versions of one file, or the last search's results, as the
// document says. Reloads when the document's views change; navigate() is
// what a double-click or Enter on a row does. A long list is shown in pages
// (canFetchMore/fetchMore): rows only ever append after a reload, so
// selections and row numbers stay valid while the view fetches. A vault
// error while fetching search rows is shown under caption_error and ends
// the list there.
//
// Borrows the document, which must outlive the model.
#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <memory>
#include <vector>

#include "core/vault/entry_paths.h"

class CVellum_ExplorerDoc;

namespace tuv::explorer {

// The kind of a row, its item data (row_kind_role).
inline constexpr int row_up = 100;
inline constexpr int row_folder = 102;
inline constexpr int row_file = 103;
inline constexpr int row_version = 104;
inline constexpr int row_kind_role = Qt::UserRole;

inline constexpr const char* caption_error = "Quillmark Explorer: Error";

// Rows shown after a reload, and added by each fetchMore.
inline constexpr int list_page_rows = 500;

struct list_row {
    int kind = row_up;
    QString name;        // "..", the entry's name, or in search mode its vault path
    QString vault_path;  // the entry's (a version row: its file's)
    int versions = 0;
    QString first_time;   // version_list_text of the first and last versions;
    QString last_time;    // a version row's own moment is last_time
    QString description;  // a version row's, " " when empty
};

class hview_model : public QAbstractTableModel {
    Q_OBJECT
  public:
    explicit hview_model(CVellum_ExplorerDoc& document, QObject* parent = nullptr);

    // Reads the rows again from the document and shows the first page. A
    // vault error leaves the ".." row alone and passes on.
    void reload();
    // A shown row (0 to rowCount() - 1).
    const list_row& row_at(int row) const;

    // Goes where the row leads. Vault errors are shown under caption_error
    // (exclamation); the views are updated anyway.
    void navigate(int row);

    int rowCount(const QModelIndex& parent = {}) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

  private:
    std::vector<list_row> read_rows() const;
    // Search results become rows only as they are shown: a search may find
    // a whole vault, and each row needs its path and versions read.
    std::size_t rows_available() const;
    void read_search_rows(std::size_t count);
    void leads_to(const list_row& row);

    CVellum_ExplorerDoc& document_;
    std::vector<list_row> rows_;  // rows read; the first shown_ are shown
    std::size_t shown_ = 0;
    bool versions_columns_ = false;
    bool searching_ = false;
    std::unique_ptr<entry_paths> search_paths_;
};

}  // namespace tuv::explorer
