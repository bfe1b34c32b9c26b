// The check-in program's main dialog: the files, the vault directory that
// receives them (Browse), the date and time of the new versions and a
// description. Submit accepts it; the answers are in the form.
#pragma once

#include <QDialog>

class QDateEdit;
class QLineEdit;
class QPlainTextEdit;
class QTimeEdit;

namespace tuv {
class repository;
}
namespace tuv::gui {
class prompter;
}
namespace tuv::checkin_app {
class checkin_form;
}

class CVellumDlg : public QDialog {
    Q_OBJECT
  public:
    // Borrows all three, which must outlive the dialog.
    CVellumDlg(tuv::checkin_app::checkin_form& form, tuv::repository& repo,
               tuv::gui::prompter& prompter, QWidget* parent = nullptr);

    void browse();
    void submit();

    QDateEdit& date_picker() { return *date_; }
    QTimeEdit& time_picker() { return *time_; }
    QPlainTextEdit& description() { return *description_; }
    QLineEdit& destination() { return *destination_; }

  private:
    void refresh();

    tuv::checkin_app::checkin_form& form_;
    tuv::repository& repo_;
    tuv::gui::prompter& prompter_;
    QLineEdit* source_;
    QLineEdit* destination_;
    QDateEdit* date_;
    QTimeEdit* time_;
    QPlainTextEdit* description_;
};
