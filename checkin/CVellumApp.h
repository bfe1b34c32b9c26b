// The check-in program with Qt windows: the sequence is checkin_program's;
// this gives it the main dialog and a progress window whose check-ins run
// on a QThread while the event loop keeps the windows painting.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "checkin/checkin_program.h"

namespace tuv {
class repository;
}
namespace tuv::gui {
class prompter;
}
namespace tuv::checkin_app {
class checkin_form;
}

class CVellumApp : public tuv::checkin_app::checkin_windows {
  public:
    // Shows the main dialog; true when it was submitted.
    using details_asker = std::function<bool(tuv::checkin_app::checkin_form&, tuv::repository&)>;

    // Borrows the prompter, which must outlive the application.
    explicit CVellumApp(tuv::gui::prompter& prompter);

    // The process's repository (open_repository) unless a test gives its own.
    void set_opener(tuv::gui::vault_opener open) { program_.set_opener(std::move(open)); }
    void set_details_asker(details_asker ask) { ask_ = std::move(ask); }

    // Runs the program on its arguments (checkin/command_line.h) and
    // returns its exit code: 0 when every file was checked in or the dialog
    // was cancelled, 1 otherwise.
    int run(const std::vector<std::string>& arguments) { return program_.run(arguments); }

    bool ask_details(tuv::checkin_app::checkin_form& form, tuv::repository& repo) override;
    std::unique_ptr<tuv::checkin_app::checkin_progress> show_progress() override;

  private:
    tuv::gui::prompter& prompter_;
    details_asker ask_;
    tuv::checkin_app::checkin_program program_;
};
