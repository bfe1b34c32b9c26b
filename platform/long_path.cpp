#include "platform/long_path.h"

#include <algorithm>

namespace platform {

std::wstring long_path(const std::filesystem::path& path) {
    std::wstring text = path.wstring();
    std::replace(text.begin(), text.end(), L'/', L'\\');
    if (text.rfind(L"\\\\?\\", 0) == 0 || text.rfind(L"\\\\.\\", 0) == 0) return text;
    // The prefix turns off Windows' own tidying of the path, so "." and ".."
    // must be gone first.
    if (text.size() >= 3 && text[1] == L':' && text[2] == L'\\') {
        return L"\\\\?\\" + std::filesystem::path(text).lexically_normal().wstring();
    }
    if (text.rfind(L"\\\\", 0) == 0) {
        return L"\\\\?\\UNC\\" + std::filesystem::path(text.substr(2)).lexically_normal().wstring();
    }
    return text;
}

}  // namespace platform
