// Asks where the explorer's export writes the vault and which versions of
// each file it writes: the latest, the oldest or all (template IDD_EXPORT).
#pragma once

#include <windows.h>

#include <string>

#include "explorer/explorer_document.h"
#include "export/export_engine.h"

namespace tuv::gui {
class prompter;
}

class Quillmark_ExportDlg {
  public:
    // The radio buttons' choices, in their order on the dialog.
    enum choice { latest = 0, oldest = 1, all = 2 };

    // Borrows the prompter, which must outlive the dialog.
    explicit Quillmark_ExportDlg(tuv::gui::prompter& prompter) : prompter_(prompter) {}

    // Shows the dialog over `owner`; true after OK with a destination.
    bool run(HWND owner);

    // The chosen folder; empty until one is browsed to.
    const std::string& destination() const { return destination_; }
    // The export engine's mode for the chosen versions.
    tuv::version_mode mode() const { return tuv::explorer::export_mode(choice_); }

    INT_PTR handle(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

  private:
    // Bro&wse: the folder browser, from the desktop; a chosen folder becomes
    // the destination.
    void browse();
    // OK: accept with a destination, else say one is needed and stay open.
    void accept_destination();

    tuv::gui::prompter& prompter_;
    HWND window_ = nullptr;
    std::string destination_;
    int choice_ = latest;
};
