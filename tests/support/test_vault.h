// A freshly installed vault in a temporary folder, with its repository open.
#pragma once

#include <memory>
#include <string>

#include "core/vault/installer.h"
#include "core/vault/repository.h"
#include "tests/support/temp_dir.h"

namespace tuv::test {

class test_vault {
  public:
    explicit test_vault(vault_options options = {});

    const vault_layout& layout() const { return layout_; }
    std::string db_path() const { return layout_.database.string(); }
    repository& repo() { return *repository_; }
    db& database() { return repository_->database(); }

  private:
    temp_dir folder_;
    vault_layout layout_;
    std::unique_ptr<repository> repository_;
};

// Points the current user's registry (db_path) at `db_path`, as `quillmark
// init` does; an empty path removes the value.
void register_vault(const std::string& db_path);

}  // namespace tuv::test
