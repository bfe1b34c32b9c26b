// A dialog that asks for one new name: a label, a field of at most 255
// characters and an add button that accepts only a valid name. A refused
// name is answered with a message under "Quillmark!" (exclamation icon), the
// field is emptied and has the focus again, and the dialog stays open.
// The check-in program's and the explorer's new-name dialogs are made of it.
#pragma once

#include <QDialog>
#include <functional>
#include <string>

class QLineEdit;

namespace tuv::gui {

class prompter;

struct name_dialog_texts {
    QString title;
    QString label;
    QString add_button;
    const char* refusal;  // the message that refuses a name
};

class name_dialog : public QDialog {
    Q_OBJECT
  public:
    // Borrows the prompter, which must outlive the dialog.
    name_dialog(const name_dialog_texts& texts, std::function<bool(const std::string&)> valid,
                prompter& prompter, QWidget* parent = nullptr);

    // The typed name; the accepted one once the dialog is accepted.
    QString name() const;
    QLineEdit& edit() { return *name_; }
    // What the add button does: accept a valid name, or refuse it.
    void add();

  private:
    std::function<bool(const std::string&)> valid_;
    prompter& prompter_;
    const char* refusal_;
    QLineEdit* name_;
};

}  // namespace tuv::gui
