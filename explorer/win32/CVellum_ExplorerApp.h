// The Win32 explorer program: one window per user (a window of its title
// already there ends it), the shared start (one instance, the registry's
// settings, the clean-up of the folder View writes to, the vault), the main
// frame at the root, and the message loop with the frame's accelerators and
// the search form's keyboard.
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
    // Borrows the prompter, which must outlive the application; `open`
    // opens the registered vault.
    CVellum_ExplorerApp(tuv::gui::prompter& prompter, tuv::gui::vault_opener open);
    ~CVellum_ExplorerApp();
    CVellum_ExplorerApp(const CVellum_ExplorerApp&) = delete;
    CVellum_ExplorerApp& operator=(const CVellum_ExplorerApp&) = delete;

    // Runs until the main window closes; returns the exit code: 0, or 1
    // when the registry or the vault cannot be read.
    int run();

  private:
    tuv::gui::prompter& prompter_;
    tuv::gui::vault_opener open_;
    std::optional<tuv::explorer::explorer_session> session_;
    std::unique_ptr<CVellum_ExplorerDoc> document_;
    std::unique_ptr<CMainFrame> frame_;
};
