// A freshly installed vault in a temporary folder, with its repository open.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "core/base/utf8_path.h"
#include "core/vault/installer.h"
#include "core/vault/repository.h"
#include "tests/support/temp_dir.h"

namespace tuv::test {

class test_vault {
  public:
    explicit test_vault(vault_options options = {});

    const vault_layout& layout() const { return layout_; }
    std::string db_path() const { return utf8_of(layout_.database); }
    repository& repo() { return *repository_; }
    db& database() { return repository_->database(); }
    // Opens the vault again, as a program started now would: after its
    // settings or schema were changed under it.
    void reopen() { repository_ = std::make_unique<repository>(db_path()); }

  private:
    temp_dir folder_;
    vault_layout layout_;
    std::unique_ptr<repository> repository_;
};

// Checks out the version of the file at `vault_path` at `when` ("now" or
// "YYYY-MM-DD HH:MM:SS"), looked up as the programs look it up.
std::uint64_t checkout_path(repository& repo, const std::string& vault_path,
                            const std::filesystem::path& destination, const std::string& when);
std::uint64_t checkout_path(repository& repo, const std::string& vault_path,
                            const std::filesystem::path& destination, const date& when);

// Points the current user's registry (db_path) at `db_path`, as `quillmark
// init` does; an empty path removes the value.
void register_vault(const std::string& db_path);

}  // namespace tuv::test
