// The explorer program: one instance per user, the registry's settings, the
// clean-up of the folder View writes to, the vault, and the main window.
#pragma once

#include <memory>
#include <optional>

#include "explorer/explorer_start.h"
#include "gui/registered_vault.h"

class CMainFrame;
class CVellum_ExplorerDoc;

namespace tuv::gui {
class prompter;
}

class CVellum_ExplorerApp {
  public:
    // Borrows the prompter, which must outlive the application.
    explicit CVellum_ExplorerApp(tuv::gui::prompter& prompter);
    ~CVellum_ExplorerApp();

    // The process's repository unless a test gives its own.
    void set_opener(tuv::gui::vault_opener open) { open_ = std::move(open); }

    // Everything up to the main window, which it returns (not yet shown).
    // Null when the program is to end, with its exit code in `exit_code`:
    // another explorer runs (0), the registry or the vault cannot be read (1).
    CMainFrame* start(int& exit_code);

    // start(), then shows the window with its remembered layout and runs
    // until it closes; returns the exit code.
    int run();

  private:
    tuv::gui::prompter& prompter_;
    tuv::gui::vault_opener open_;
    std::optional<tuv::explorer::explorer_session> session_;
    std::unique_ptr<CVellum_ExplorerDoc> document_;
    std::unique_ptr<CMainFrame> frame_;
};
