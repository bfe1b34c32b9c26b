// The properties program without its windows: the vault from the registry,
// read only; every vault file checked in from a source path that contains
// the local path; then the properties dialog, or a message saying why there
// is nothing to show. The Qt program and the Win32 one run this sequence and
// differ in the dialog they show.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "gui/prompter.h"
#include "gui/registered_vault.h"

namespace tuv {
class repository;
}

namespace tuv::property {

class property_model;

inline constexpr const char* not_present_text = "File is not present in Quillmark Database.";
inline constexpr const char* no_file_text = "Please select a file for checking Quillmark Status.";

// What a presentation gives the program: the dialog.
class property_windows {
  public:
    virtual ~property_windows() = default;
    // Shows the dialog for `local_path` over `model` (nothing selected yet;
    // the dialog selects the first path) until the person closes it.
    virtual void show_dialog(const std::string& local_path, property_model& model,
                             repository& repo) = 0;
};

class property_program {
  public:
    // Borrows both, which must outlive the program.
    property_program(gui::prompter& prompter, property_windows& windows);
    ~property_program();
    property_program(const property_program&) = delete;
    property_program& operator=(const property_program&) = delete;

    // The program's own read-only repository unless a test gives its own.
    void set_opener(gui::vault_opener open) { open_ = std::move(open); }

    // Runs the program for the local path (property::local_path_from) and
    // returns its exit code: 1 when the vault cannot be opened or searched,
    // otherwise 0.
    int run(const std::string& local_path);

  private:
    gui::prompter& prompter_;
    property_windows& windows_;
    std::unique_ptr<repository> repository_;  // the default opener's
    gui::vault_opener open_;
};

// What the dialog does, the same in every presentation; failures are told
// over `owner` and go no further, so that a window's handler never throws.
//
// Selects the vault path `index` and lists its versions.
void select_vault_path(property_model& model, int index, gui::prompter& prompter,
                       gui::native_window owner);
// Checks out the given rows of the versions list (the interactive sequence
// with the properties program's policy).
void check_out_rows(property_model& model, repository& repo, std::vector<int> rows,
                    gui::prompter& prompter, gui::native_window owner);

}  // namespace tuv::property
