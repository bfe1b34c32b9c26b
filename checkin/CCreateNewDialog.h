// Asks for the name of a new entry of some kind ("Cabinet"), refusing empty
// names and the entry characters until the person gives one or cancels.
#pragma once

#include <QDialog>

class QLineEdit;

namespace tuv::gui {
class prompter;
}

class CCreateNewDialog : public QDialog {
    Q_OBJECT
  public:
    // Borrows the prompter, which must outlive the dialog.
    CCreateNewDialog(const QString& kind, tuv::gui::prompter& prompter, QWidget* parent = nullptr);

    QString name() const;
    // What Add does: accept a valid name, or refuse it and ask again.
    void add();

  private:
    tuv::gui::prompter& prompter_;
    QLineEdit* name_;
};
