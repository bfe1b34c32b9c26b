// Writing one version of a vault file to a local file: the choices and
// helpers that go with repository::checkout.
#pragma once

#include <filesystem>

namespace tuv {

// Whether a checkout waits until the local file is on disk.
enum class checkout_sync { durable, unsynced };

// True when the local path names an existing file or folder.
bool file_exists(const std::filesystem::path& path);

}  // namespace tuv
