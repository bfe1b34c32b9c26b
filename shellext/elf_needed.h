// The shared libraries an ELF file names as needed (its dynamic section's
// DT_NEEDED entries), read from the file without loading it: what decides
// whether a file manager can load a library we are about to install.
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace tuv::shell {

class elf_error : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The DT_NEEDED names of a 64-bit little-endian ELF shared object or
// program, in the file's order; empty for one that needs nothing. Throws
// elf_error "<path> cannot be read: <reason>" or "<path> is not a 64-bit
// shared library" (not ELF, another class or byte order, or a dynamic
// section that points outside the file).
std::vector<std::string> needed_libraries(const std::filesystem::path& path);

}  // namespace tuv::shell
