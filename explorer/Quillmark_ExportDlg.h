// Asks where the explorer's export writes the vault and which versions of
// each file it writes: the latest, the oldest or all.
#pragma once

#include <QDialog>

#include "explorer/explorer_document.h"
#include "export/export_engine.h"

class QButtonGroup;
class QLineEdit;

namespace tuv::gui {
class prompter;
}

class Quillmark_ExportDlg : public QDialog {
    Q_OBJECT
  public:
    // The radio buttons' choices, in their order on the dialog.
    enum choice { latest = 0, oldest = 1, all = 2 };

    // Borrows the prompter, which must outlive the dialog.
    explicit Quillmark_ExportDlg(tuv::gui::prompter& prompter, QWidget* parent = nullptr);

    // The chosen folder; empty until one is browsed to.
    const QString& destination() const { return destination_; }
    int version_choice() const;
    void set_version_choice(int which);
    // The export engine's mode for the chosen versions.
    tuv::version_mode mode() const { return tuv::explorer::export_mode(version_choice()); }

    // What Bro&wse does: the folder browser; a chosen folder becomes the
    // destination.
    void browse();
    // What OK does: accept with a destination, else say one is needed and
    // stay open.
    void accept_destination();

  private:
    tuv::gui::prompter& prompter_;
    QString destination_;
    QLineEdit* folder_;
    QButtonGroup* versions_;
};
