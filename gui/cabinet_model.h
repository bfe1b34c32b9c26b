// The vault's directories as a tree model, filled as the person opens it
// (from gui/cabinet_listing.h, which the Win32 tree shares).
//
// With the root shown (the check-in's cabinet chooser) one top item shows the
// separator; with it hidden (the explorer's tree) the cabinets are the top
// items. An item's children are listed when it is first expanded; until then
// an item whose directory holds directories has one placeholder child (no
// text), so that the view offers to expand it. add_cabinet() only adds to the
// model: whoever creates the directory in the vault says so.
//
// Borrows the repository, which must outlive the model.
#pragma once

#include <QStandardItemModel>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tuv {
class repository;
}

namespace tuv::gui {

enum class cabinet_root { shown, hidden };

// Asks for a new cabinet's name; nullopt when the person cancels.
using name_asker = std::function<std::optional<QString>()>;

class cabinet_model : public QStandardItemModel {
    Q_OBJECT
  public:
    explicit cabinet_model(repository& repo, cabinet_root root = cabinet_root::shown,
                           QObject* parent = nullptr);

    // The separator's item; with the root hidden, the invisible root.
    QModelIndex root_index() const;
    // The vault path of an item: the root gives the separator, \Cab\Company.
    QString vault_path(const QModelIndex& item) const;

    // Replaces the placeholder of `item` with its directories; does nothing
    // once they are there.
    // Returns whether the item has children afterwards.
    bool expand(const QModelIndex& item);

    // Drops the children of `item`, leaving the placeholder when its
    // directory holds directories, so that the next expand reads them anew.
    void collapse(const QModelIndex& item);

    // Forgets every item and lists the top level again.
    void reload();

    // The names of the children of `item`, listing them first.
    std::vector<std::string> children_of(const QModelIndex& item);

    // Adds a cabinet `name` under `item` in sorted order and returns it.
    QModelIndex add_cabinet(const QModelIndex& item, const QString& name);

  signals:
    // A directory could not be listed; its item shows no children.
    void listing_failed(const QString& message);

  private:
    QStandardItem* make_item(const QString& name) const;
    std::vector<std::string> child_names(const QStandardItem* node) const;
    void fill(QStandardItem* item);
    void add_placeholder(QStandardItem* item);
    QStandardItem* top() const;
    static bool is_placeholder(const QStandardItem* item);

    repository& repo_;
    std::string separator_;
    cabinet_root root_;
};

}  // namespace tuv::gui
