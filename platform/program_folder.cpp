#include "platform/program_folder.h"

#include <iterator>

#ifdef _WIN32
#include <windows.h>
#endif

namespace platform {

std::filesystem::path program_folder() {
#ifdef _WIN32
    wchar_t path[32768];
    const DWORD length = ::GetModuleFileNameW(nullptr, path, static_cast<DWORD>(std::size(path)));
    if (length == 0 || length >= std::size(path)) return {};
    return std::filesystem::path(path).parent_path();
#else
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : self.parent_path();
#endif
}

}  // namespace platform
