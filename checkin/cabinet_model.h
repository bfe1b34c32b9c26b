// The vault's directories as a tree model, filled as the person opens it.
//
// The root item shows the separator. An item's children are listed when it
// is first expanded; until then an item whose directory holds directories
// has one placeholder child, so that the view offers to expand it. New
// cabinets are only added to the model: the check-in creates the directory
// when it stores a file below it.
//
// Borrows the repository, which must outlive the model.
#pragma once

#include <QStandardItemModel>
#include <optional>

namespace tuv {
class repository;
}

namespace tuv::checkin {

class cabinet_model : public QStandardItemModel {
    Q_OBJECT
  public:
    explicit cabinet_model(repository& repo, QObject* parent = nullptr);

    QModelIndex root_index() const { return index(0, 0); }
    // The vault path of an item: the root gives the separator, \Cab\Company.
    QString vault_path(const QModelIndex& item) const;

    // Replaces the placeholder of `item` with its directories; does nothing
    // once they are there.
    void expand(const QModelIndex& item);

    // The name of a child of `item` that equals `name` without regard to
    // case, if any. Lists the children first.
    std::optional<QString> child_named(const QModelIndex& item, const QString& name);

    // Adds a cabinet `name` under `item` in sorted order and returns it.
    QModelIndex add_cabinet(const QModelIndex& item, const QString& name);

  signals:
    // A directory could not be listed; its item shows no children.
    void listing_failed(const QString& message);

  private:
    QStandardItem* make_item(const QString& name) const;
    void insert_sorted(QStandardItem* parent, QStandardItem* child);
    bool has_directories(const QString& path);
    void fill(QStandardItem* item);
    static bool is_placeholder(const QStandardItem* item);

    repository& repo_;
    QString separator_;
};

}  // namespace tuv::checkin
