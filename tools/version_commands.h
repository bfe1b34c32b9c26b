// `quillmark versions` and `quillmark checkout`: the history of one vault
// file and writing one of its versions to a local file.
#pragma once

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>

namespace tuv {
class repository;
}

namespace tuv::tools {

// One line per journal row of the file, oldest first:
// "YYYY-MM-DD HH:MM:SS", a tab, the description with its control characters
// shown as pictures (core/base/control_pictures.h).
void run_versions(repository& repo, const std::string& vault_path, std::ostream& out);

// Writes the version at `at` ("YYYY-MM-DD HH:MM:SS"), by default the latest,
// to `destination`, and says what it wrote.
void run_checkout(repository& repo, const std::string& vault_path,
                  const std::filesystem::path& destination, const std::optional<std::string>& at,
                  std::ostream& out);

}  // namespace tuv::tools
