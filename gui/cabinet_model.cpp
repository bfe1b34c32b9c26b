#include "gui/cabinet_model.h"

#include "core/base/errors.h"
#include "core/vault/repository.h"
#include "gui/app_icon.h"
#include "gui/cabinet_listing.h"

namespace tuv::gui {
namespace {

constexpr int placeholder_role = Qt::UserRole + 1;

}  // namespace

cabinet_model::cabinet_model(repository& repo, cabinet_root root, QObject* parent)
    : QStandardItemModel(parent), repo_(repo), separator_(repo.path_separator()), root_(root) {
    reload();
}

void cabinet_model::reload() {
    clear();
    if (root_ == cabinet_root::shown) appendRow(make_item(QString::fromStdString(separator_)));
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
    std::vector<std::string> names;
    // The separator's own item, when shown, adds no name.
    const bool skip_top = root_ == cabinet_root::shown;
    for (QModelIndex at = item; at.isValid() && (!skip_top || at.parent().isValid());
         at = at.parent()) {
        names.insert(names.begin(), at.data().toString().toStdString());
    }
    return QString::fromStdString(cabinet_path(names, separator_));
}

std::vector<std::string> cabinet_model::child_names(const QStandardItem* node) const {
    std::vector<std::string> names;
    for (int row = 0; row < node->rowCount(); ++row) {
        if (!is_placeholder(node->child(row)))
            names.push_back(node->child(row)->text().toStdString());
    }
    return names;
}

void cabinet_model::fill(QStandardItem* item) {
    const std::string path = vault_path(item->index()).toStdString();
    std::vector<cabinet> cabinets;
    try {
        cabinets = list_cabinets(repo_, path);
    } catch (const tuv_error& error) {
        emit listing_failed(QString::fromStdString(listing_failed_text(path, error.what())));
        return;
    }
    for (const cabinet& found : cabinets) {
        QStandardItem* child = make_item(QString::fromStdString(found.name));
        item->appendRow(child);
        if (found.has_cabinets) add_placeholder(child);
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
    if (holds_cabinets(repo_, vault_path(item).toStdString())) add_placeholder(node);
}

std::vector<std::string> cabinet_model::children_of(const QModelIndex& item) {
    expand(item);
    const QStandardItem* node = item.isValid() ? itemFromIndex(item) : invisibleRootItem();
    return node == nullptr ? std::vector<std::string>() : child_names(node);
}

QModelIndex cabinet_model::add_cabinet(const QModelIndex& item, const QString& name) {
    expand(item);
    QStandardItem* node = item.isValid() ? itemFromIndex(item) : invisibleRootItem();
    const std::size_t row = cabinet_position(child_names(node), name.toStdString());
    QStandardItem* child = make_item(name);
    node->insertRow(static_cast<int>(row), child);
    return child->index();
}

}  // namespace tuv::gui
