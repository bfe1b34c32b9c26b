// The properties dialog: the local file's name and path, the vault files
// checked in from it (a drop-down list), the chosen file's versions, and
// Check&Out for the selected version. Checking out leaves the dialog open;
// Cancel closes it.
#pragma once

#include <QDialog>
#include <exception>
#include <string>
#include <vector>

#include "property/property_model.h"
#include "property/version_model.h"

class QComboBox;
class QLineEdit;
class QPushButton;
class QTreeView;

namespace tuv {
class repository;
}
namespace tuv::gui {
class prompter;
}

class CVellum_PropertyDlg : public QDialog {
    Q_OBJECT
  public:
    // Shows `local_path` and the model's vault paths (at least one), the
    // first selected. Borrows the model, the repository and the prompter,
    // which must outlive the dialog.
    CVellum_PropertyDlg(const std::string& local_path, tuv::property::property_model& model,
                        tuv::repository& repo, tuv::gui::prompter& prompter,
                        QWidget* parent = nullptr);

    // Checks out the selected version, asking where to.
    void check_out();

    tuv::property::property_model& model() { return model_; }
    QComboBox& vault_paths() { return *vault_paths_; }
    QTreeView& versions() { return *versions_; }
    QLineEdit& file_name() { return *file_name_; }
    QLineEdit& source_path() { return *source_path_; }
    QPushButton& check_out_button() { return *check_out_; }
    QPushButton& cancel_button() { return *cancel_; }

  private:
    void show_versions(int index);

    tuv::repository& repo_;
    tuv::gui::prompter& prompter_;
    tuv::property::property_model& model_;
    tuv::property::version_model rows_;
    QLineEdit* file_name_;
    QLineEdit* source_path_;
    QComboBox* vault_paths_;
    QTreeView* versions_;
    QPushButton* check_out_;
    QPushButton* cancel_;
};
