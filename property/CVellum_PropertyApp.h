// The properties program with Qt windows: the sequence is property_program's;
// this gives it the properties dialog.
#pragma once

#include <functional>
#include <string>

#include "property/property_program.h"

class CVellum_PropertyDlg;

class CVellum_PropertyApp : public tuv::property::property_windows {
  public:
    // Shows the dialog until it is closed.
    using dialog_runner = std::function<void(CVellum_PropertyDlg&)>;

    // Borrows the prompter, which must outlive the application.
    explicit CVellum_PropertyApp(tuv::gui::prompter& prompter);

    // The program's own read-only repository unless a test gives its own.
    void set_opener(tuv::gui::vault_opener open) { program_.set_opener(std::move(open)); }
    void set_dialog_runner(dialog_runner run) { run_dialog_ = std::move(run); }

    // Runs the program for the local path (property::local_path_from) and
    // returns its exit code: 1 when the vault cannot be opened or searched,
    // otherwise 0.
    int run(const std::string& local_path) { return program_.run(local_path); }

    void show_dialog(const std::string& local_path, tuv::property::property_model& model,
                     tuv::repository& repo) override;

  private:
    tuv::gui::prompter& prompter_;
    dialog_runner run_dialog_;
    tuv::property::property_program program_;
};
