// Gives the code under test a registry of its own for the object's lifetime:
// QUILLMARK_REGISTRY_DIR points at `folder` (a ".reg" file per root, made on
// the first write), or on Windows QUILLMARK_REGISTRY_KEY names a key of its
// own under HKEY_CURRENT_USER, removed with everything below it at the end
// (platform/registry.h). Programs the test starts inherit it.
#pragma once

#include <filesystem>
#include <string>

#include "tests/support/scoped_env.h"

namespace tuv::test {

class scoped_registry {
  public:
    explicit scoped_registry(const std::filesystem::path& folder);
    ~scoped_registry();
    scoped_registry(const scoped_registry&) = delete;
    scoped_registry& operator=(const scoped_registry&) = delete;

  private:
    std::string key_;  // Windows only
    scoped_env env_;
};

}  // namespace tuv::test
