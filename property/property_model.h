// What the properties program knows about a local file, without widgets: the
// vault files checked in from it (gui::vault_paths_for), the one chosen, and
// that file's versions (gui::versions_of).
//
// Borrows the repository, which must outlive it, and only reads the vault.
// Database and catalogue failures pass through as the core throws them.
#pragma once

#include <string>
#include <vector>

#include "gui/checkout_sequence.h"
#include "gui/version_rows.h"

namespace tuv {
class repository;
}

namespace tuv::property {

// The versions list's columns.
inline constexpr const char* moment_heading = "Modification Time";
inline constexpr const char* description_heading = "Description";

// The matching vault paths, the selected one and its versions.
class property_model {
  public:
    // Nothing is selected until select() is called.
    property_model(repository& repo, std::vector<std::string> vault_paths);

    const std::vector<std::string>& vault_paths() const { return vault_paths_; }
    // The index of the selected vault path; -1 for none.
    int selected() const { return selected_; }
    // Selects a vault path and lists its versions. On failure the list is
    // left empty and the error passes on. Throws std::out_of_range for an
    // index that names no path.
    void select(int index);

    // The selected path's versions, oldest first.
    const std::vector<gui::version_row>& versions() const { return versions_; }

    // The checkout of the given rows of the versions list, in ascending
    // order: the selected vault path at each row's moment.
    std::vector<gui::checkout_row> checkout_rows(std::vector<int> rows) const;

  private:
    repository& repo_;
    std::vector<std::string> vault_paths_;
    int selected_ = -1;
    std::vector<gui::version_row> versions_;
};

}  // namespace tuv::property
