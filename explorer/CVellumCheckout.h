// Lets the person choose which version of a vault file to write out: its
// name and path, its version times in a list (or one typed in) and the
// description of the chosen version. The explorer's checkout uses it as the
// date chooser of gui::checkout_to_local_file.
#pragma once

#include <QDialog>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "explorer/checkout_choice.h"

class QComboBox;
class QLineEdit;
class QPlainTextEdit;

namespace tuv {
class file_entry;
class repository;
}  // namespace tuv

namespace tuv::gui {
class prompter;
}

class CVellumCheckout : public QDialog {
    Q_OBJECT
  public:
    // `versions` are the file's version times as the lists write them
    // (gui::version_list_text), oldest first; the list shows them in the
    // order of the moments they name, whatever order they come in. `index`
    // selects an entry of that list; one outside it selects the first.
    // Borrows `repo` and `prompter`, which must outlive the dialog.
    CVellumCheckout(tuv::repository& repo, tuv::gui::prompter& prompter,
                    const std::string& vault_path, const std::vector<std::string>& versions,
                    int index, QWidget* parent = nullptr);
    ~CVellumCheckout() override;

    // The chosen or typed time text: the date text of the checkout.
    std::string time_text() const;

    QComboBox& times() { return *times_; }
    QPlainTextEdit& description() { return *description_; }

    // How choose() settles the dialog: the program shows it modally; tests
    // pick an entry and press a button themselves. Returns the result code.
    using runner = std::function<int(CVellumCheckout&)>;

    // Shows the dialog over `owner` and returns the chosen time text, or
    // nullopt when the person cancels. Without a runner it runs exec().
    static std::optional<std::string> choose(tuv::repository& repo, tuv::gui::prompter& prompter,
                                             QWidget* owner, const std::string& vault_path,
                                             const std::vector<std::string>& versions, int index,
                                             const runner& run = {});

  private:
    void show_description();

    tuv::gui::prompter& prompter_;
    tuv::explorer::checkout_choice choice_;
    QLineEdit* name_;
    QLineEdit* path_;
    QComboBox* times_;
    QPlainTextEdit* description_;
};
