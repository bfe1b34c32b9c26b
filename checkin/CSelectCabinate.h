// Lets the person pick the vault directory that receives the files, and add
// new cabinets to the tree on the way.
#pragma once

#include <QDialog>
#include <functional>
#include <optional>

#include "checkin/cabinet_names.h"
#include "gui/cabinet_model.h"

class QLineEdit;
class QTreeView;

namespace tuv::gui {
class prompter;
}

class CSelectCabinate : public QDialog {
    Q_OBJECT
  public:
    // Borrows both, which must outlive the dialog.
    CSelectCabinate(tuv::repository& repo, tuv::gui::prompter& prompter, QWidget* parent = nullptr);

    // The chosen directory's vault path; the root until another is chosen.
    const QString& destination_path() const { return destination_; }

    tuv::gui::cabinet_model& model() { return model_; }
    QTreeView& tree() { return *tree_; }
    // What New Cabinet does; asks with CCreateNewDialog unless told otherwise.
    void new_cabinet();
    void set_name_asker(tuv::checkin_app::name_asker ask) { ask_ = std::move(ask); }

  private:
    void select(const QModelIndex& item);

    tuv::gui::prompter& prompter_;
    tuv::gui::cabinet_model model_;
    QTreeView* tree_;
    QLineEdit* path_;
    QString destination_;
    tuv::checkin_app::name_asker ask_;
};
