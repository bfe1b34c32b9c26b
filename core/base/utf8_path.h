// Local paths and the UTF-8 text the programs keep them in. A path made from
// a plain std::string, or read back with .string(), goes through the narrow
// code page on Windows, which cannot hold most names; these two go through
// UTF-8 on every platform.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace tuv {

// The local path that UTF-8 `text` names.
std::filesystem::path path_from_utf8(std::string_view text);

// The UTF-8 text of a local path.
std::string utf8_of(const std::filesystem::path& path);

}  // namespace tuv
