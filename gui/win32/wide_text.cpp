#include "gui/win32/wide_text.h"

#include <windows.h>
// The other Windows headers build on windows.h.
#include <shellapi.h>

#include <climits>
#include <memory>
#include <stdexcept>

namespace tuv::win32 {
namespace {

int length_of(std::size_t size) {
    if (size > static_cast<std::size_t>(INT_MAX)) throw std::length_error("text too long");
    return static_cast<int>(size);
}

}  // namespace

std::wstring wide(std::string_view text) {
    if (text.empty()) return {};
    const int size = length_of(text.size());
    const int needed = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
    std::wstring result(static_cast<std::size_t>(needed), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), size, result.data(), needed);
    return result;
}

std::string utf8(std::wstring_view text) {
    if (text.empty()) return {};
    const int size = length_of(text.size());
    const int needed =
        ::WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<std::size_t>(needed), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), size, result.data(), needed, nullptr, nullptr);
    return result;
}

std::vector<std::string> command_line_arguments() {
    int count = 0;
    const std::unique_ptr<LPWSTR, decltype(&::LocalFree)> arguments(
        ::CommandLineToArgvW(::GetCommandLineW(), &count), &::LocalFree);
    std::vector<std::string> result;
    if (!arguments) return result;
    for (int i = 1; i < count; ++i) result.push_back(utf8(arguments.get()[i]));
    return result;
}

}  // namespace tuv::win32
