// The folder where View writes the versions it opens, and its clean-up.
//
// It is a folder of the explorer's own inside the registry's TempDir, so that
// clearing it at start-up can never remove anything else that lives there,
// whatever TempDir names.
#pragma once

#include <filesystem>

namespace tuv::explorer {

// <temp_dir>/explorer-views.
std::filesystem::path view_folder(const std::filesystem::path& temp_dir);

// Removes everything in view_folder(temp_dir), making read-only files
// writable first. What cannot be removed (a file still open elsewhere, a
// folder without permission) stays, silently; the rest goes. A missing
// folder is nothing to do.
void clear_view_folder(const std::filesystem::path& temp_dir);

}  // namespace tuv::explorer
