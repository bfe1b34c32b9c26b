#include "gui/cabinet_model.h"

#include "core/base/errors.h"
#include "core/vault/catalogue_queries.h"
#include "core/vault/file_entry.h"
#include "core/vault/repository.h"
#include "gui/app_icon.h"

namespace tuv::gui {
namespace {

constexpr int placeholder_role = Qt::UserRole + 1;

}  // namespace

cabinet_model::cabinet_model(repository& repo, cabinet_root root, QObject* parent)
    : QStandardItemModel(parent),
      repo_(repo),
      separator_(QString::fromStdString(repo.path_separator())),
      root_(root) {
    reload();
}

void cabinet_model::reload() {
    clear();
    if (root_ == cabinet_root::shown) appendRow(make_item(separator_));
    fill(top());
}

QStandardItem* cabinet_model::top() const {
    return root_ == cabinet_root::shown ? item(0) : invisibleRootItem();
}

QModelIndex cabinet_model::root_index() const {
    return root_ == cabinet_root::shown ? index(0, 0) : QModelIndex();
}

QStandardItem* cabinet_model::make_item(const QString& name) const {
    auto* item = new QStandardItem(gui::folder_icon(), name);
    item->setEditable(false);
    return item;
}

bool cabinet_model::is_placeholder(const QStandardItem* item) {
    return item != nullptr && item->data(placeholder_role).toBool();
}

QString cabinet_model::vault_path(const QModelIndex& item) const {
    QStringList names;
    // The separator's own item, when shown, adds no name.
    const bool skip_top = root_ == cabinet_root::shown;
    for (QModelIndex at = item; at.isValid() && (!skip_top || at.parent().isValid());
         at = at.parent()) {
        names.prepend(at.data().toString());
    }
    return separator_ + names.join(separator_);
}

bool cabinet_model::has_directories(const QString& path) {
    try {
        const std::unique_ptr<file_entry> directory = repo_.catalogue().resolve(path.toStdString());
        return directory->is_directory() && has_subdirectories(repo_, directory->file_id());
    } catch (const tuv_error&) {
        return false;  // counts as none: the listing of the item itself tells
    }
}

void cabinet_model::insert_sorted(QStandardItem* parent, QStandardItem* child) {
    int row = 0;
    while (row < parent->rowCount() &&
           QString::compare(parent->child(row)->text(), child->text(), Qt::CaseInsensitive) < 0) {
        ++row;
    }
    parent->insertRow(row, child);
}

void cabinet_model::fill(QStandardItem* item) {
    const QString path = vault_path(item->index());
    std::vector<std::unique_ptr<file_entry>> entries;
    try {
        repo_.catalogue().list_directory(path.toStdString(), entries);
    } catch (const tuv_error& error) {
        emit listing_failed("Cannot list the cabinet " + path + ": " + error.what());
        return;
    }
    for (const auto& entry : entries) {
        if (!entry->is_directory()) continue;
        const QString name = QString::fromStdString(entry->name());
        QStandardItem* child = make_item(name);
        insert_sorted(item, child);
        if (has_subdirectories(repo_, entry->file_id())) add_placeholder(child);
    }
}

void cabinet_model::add_placeholder(QStandardItem* item) {
    auto* placeholder = new QStandardItem;
    placeholder->setData(true, placeholder_role);
    placeholder->setFlags(Qt::NoItemFlags);
    item->appendRow(placeholder);
}

bool cabinet_model::expand(const QModelIndex& item) {
    QStandardItem* node = item.isValid() ? itemFromIndex(item) : invisibleRootItem();
    if (node == nullptr) return false;
    if (is_placeholder(node->child(0))) {
        node->removeRows(0, node->rowCount());
        fill(node);
    }
    return node->rowCount() > 0;
}

void cabinet_model::collapse(const QModelIndex& item) {
    QStandardItem* node = itemFromIndex(item);
    if (node == nullptr || node->rowCount() == 0) return;
    node->removeRows(0, node->rowCount());
    if (has_directories(vault_path(item))) add_placeholder(node);
}

std::optional<QString> cabinet_model::child_named(const QModelIndex& item, const QString& name) {
    expand(item);
    const QStandardItem* node = item.isValid() ? itemFromIndex(item) : invisibleRootItem();
    for (int row = 0; node != nullptr && row < node->rowCount(); ++row) {
        const QString text = node->child(row)->text();
        if (text.compare(name, Qt::CaseInsensitive) == 0) return text;
    }
    return std::nullopt;
}

QModelIndex cabinet_model::add_cabinet(const QModelIndex& item, const QString& name) {
    expand(item);
    QStandardItem* node = item.isValid() ? itemFromIndex(item) : invisibleRootItem();
    QStandardItem* child = make_item(name);
    insert_sorted(node, child);
    return child->index();
}

}  // namespace tuv::gui
