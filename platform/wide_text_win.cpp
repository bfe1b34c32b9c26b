#include <windows.h>

#include "platform/wide_text.h"

namespace platform {

std::wstring to_wide(std::string_view text) {
    if (text.empty()) return {};
    const auto size = static_cast<int>(text.size());
    std::wstring wide(
        static_cast<std::size_t>(::MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0)),
        L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), size, wide.data(),
                          static_cast<int>(wide.size()));
    return wide;
}

std::string to_utf8(std::wstring_view text) {
    if (text.empty()) return {};
    const auto size = static_cast<int>(text.size());
    std::string narrow(static_cast<std::size_t>(::WideCharToMultiByte(
                           CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr)),
                       '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), size, narrow.data(),
                          static_cast<int>(narrow.size()), nullptr, nullptr);
    return narrow;
}

}  // namespace platform
