// Windows only: a path as the wide Win32 file functions take it, with the
// "\\?\" prefix on absolute paths so that they may be longer than 260
// characters ("\\?\UNC\" for a network path). Relative paths and paths
// that already have a prefix are given as they are, with "/" turned to "\".
#pragma once

#include <filesystem>
#include <string>

namespace platform {

std::wstring long_path(const std::filesystem::path& path);

}  // namespace platform
