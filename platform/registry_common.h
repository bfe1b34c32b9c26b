// Names and checks that both registry implementations share (registry.h);
// registry_common.cpp also holds the parts of registry_key that do not
// depend on where keys are kept.
#pragma once

#include <string>

#include "platform/registry.h"

namespace platform {

// "HKEY_CURRENT_USER\Some\Key", or the root's name alone for "".
std::string full_key_name(registry_root root, const std::string& path);

// Throws registry_error "invalid registry key name \"<full name>\"" for an
// empty component, a NUL or a line break.
void check_key_path(registry_root root, const std::string& path);

// Throws registry_error "<what> contains a NUL byte".
void check_no_nul(const std::string& text, const std::string& what);

}  // namespace platform
