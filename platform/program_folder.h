// Where the running program's file is: the programs find each other there,
// in the build tree as after installation.
#pragma once

#include <filesystem>

namespace platform {

// The folder of the running program's file; empty when the system cannot
// say.
std::filesystem::path program_folder();

}  // namespace platform
