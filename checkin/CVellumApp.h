// The check-in program: one instance per user, the vault from the registry,
// the main dialog, then every selected file checked in while a progress
// dialog shows how far it has come.
//
// The check-ins run on a thread of their own, so that the windows keep
// painting and Cancel answers; the repository is used by that thread alone
// while they run.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "gui/registered_vault.h"

namespace tuv {
class repository;
}
namespace tuv::gui {
class prompter;
}
namespace tuv::checkin_app {
class checkin_form;
}

class CVellumApp {
  public:
    // The process's repository (open_repository) unless a test gives its own.
    using opener = tuv::gui::vault_opener;
    // Shows the main dialog; true when it was submitted.
    using details_asker = std::function<bool(tuv::checkin_app::checkin_form&, tuv::repository&)>;

    // Borrows the prompter, which must outlive the application.
    explicit CVellumApp(tuv::gui::prompter& prompter);

    void set_opener(opener open) { open_ = std::move(open); }
    void set_details_asker(details_asker ask) { ask_ = std::move(ask); }

    // Runs the program on its arguments (checkin/command_line.h) and
    // returns its exit code: 0 when every file was checked in or the dialog
    // was cancelled, 1 otherwise.
    int run(const std::vector<std::string>& arguments);

  private:
    bool lock_and_check_in(tuv::repository& repo, const std::string& db_path,
                           const tuv::checkin_app::checkin_form& form,
                           const std::vector<std::filesystem::path>& files);

    tuv::gui::prompter& prompter_;
    opener open_;
    details_asker ask_;
};
