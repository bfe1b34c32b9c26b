// The properties program: the vault from the registry, read only; every
// vault file checked in from a source path that contains the local path;
// then the properties dialog, or a message saying why there is nothing to
// show.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "gui/registered_vault.h"

namespace tuv {
class repository;
}
namespace tuv::gui {
class prompter;
}
class CVellum_PropertyDlg;

class CVellum_PropertyApp {
  public:
    // The program's own read-only repository unless a test gives its own.
    using opener = tuv::gui::vault_opener;
    // Shows the dialog until it is closed.
    using dialog_runner = std::function<void(CVellum_PropertyDlg&)>;

    // Borrows the prompter, which must outlive the application.
    explicit CVellum_PropertyApp(tuv::gui::prompter& prompter);
    ~CVellum_PropertyApp();
    CVellum_PropertyApp(const CVellum_PropertyApp&) = delete;
    CVellum_PropertyApp& operator=(const CVellum_PropertyApp&) = delete;

    void set_opener(opener open) { open_ = std::move(open); }
    void set_dialog_runner(dialog_runner run) { run_dialog_ = std::move(run); }

    // Runs the program for the local path (property::local_path_from) and
    // returns its exit code: 1 when the vault cannot be opened or searched,
    // otherwise 0.
    int run(const std::string& local_path);

  private:
    tuv::gui::prompter& prompter_;
    std::unique_ptr<tuv::repository> repository_;  // the default opener's
    opener open_;
    dialog_runner run_dialog_;
};
