// Lets the person pick the vault directory that receives the files, and add
// new cabinets to the tree on the way.
#pragma once

#include <QDialog>
#include <functional>
#include <optional>

#include "gui/cabinet_model.h"

class QLineEdit;
class QTreeView;

namespace tuv::gui {
class prompter;
}

namespace tuv::checkin_app {

using gui::cabinet_model;
using gui::name_asker;

// The New Cabinet flow under `parent`: asks until the person cancels or
// gives a name that is a valid cabinet name and equals no child of `parent`
// without regard to case, refusing the others through the prompter. Returns
// the new cabinet's item, or an invalid index when cancelled.
QModelIndex add_new_cabinet(cabinet_model& model, const QModelIndex& parent,
                            gui::prompter& prompter, QWidget* owner, const name_asker& ask);

}  // namespace tuv::checkin_app

class CSelectCabinate : public QDialog {
    Q_OBJECT
  public:
    // Borrows both, which must outlive the dialog.
    CSelectCabinate(tuv::repository& repo, tuv::gui::prompter& prompter, QWidget* parent = nullptr);

    // The chosen directory's vault path; the root until another is chosen.
    const QString& destination_path() const { return destination_; }

    tuv::checkin_app::cabinet_model& model() { return model_; }
    QTreeView& tree() { return *tree_; }
    // What New Cabinet does; asks with CCreateNewDialog unless told otherwise.
    void new_cabinet();
    void set_name_asker(tuv::checkin_app::name_asker ask) { ask_ = std::move(ask); }

  private:
    void select(const QModelIndex& item);

    tuv::gui::prompter& prompter_;
    tuv::checkin_app::cabinet_model model_;
    QTreeView* tree_;
    QLineEdit* path_;
    QString destination_;
    tuv::checkin_app::name_asker ask_;
};
