// The registry reader the programs share: opens one key when constructed and
// reads its text values until destroyed.
//
// Owns its key; not copyable. A key that does not exist leaves the object
// "not open", and every query then answers false. A malformed registry file or
// sub-key path throws platform::registry_error from the constructor or from
// query(), so a broken file never passes for a missing value.
#pragma once

#include <optional>
#include <string>

#include "platform/registry.h"

class CRegistry {
  public:
    CRegistry(platform::registry_root root, const std::string& subkey);
    CRegistry(const CRegistry&) = delete;
    CRegistry& operator=(const CRegistry&) = delete;
    ~CRegistry() = default;

    bool is_open() const noexcept { return key_.has_value(); }

    // Empties out, then fills it with the text value and returns true; false
    // when the key is not open or the value is missing or not text.
    bool query(const std::string& name, std::string& out) const;

  private:
    std::optional<platform::registry_key> key_;
};
