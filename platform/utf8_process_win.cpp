#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <cstdlib>

#include "platform/utf8_process.h"
#include "platform/wide_text.h"

namespace platform {

std::vector<std::string> utf8_arguments(int argc, char** argv) {
    int count = 0;
    wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (wide == nullptr) return {argv, argv + argc};
    std::vector<std::string> arguments;
    arguments.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) arguments.push_back(to_utf8(wide[i]));
    ::LocalFree(wide);
    return arguments;
}

std::optional<std::string> utf8_environment_variable(const char* name) {
    const wchar_t* value = ::_wgetenv(to_wide(name).c_str());
    if (value == nullptr) return std::nullopt;
    return to_utf8(value);
}

utf8_console::utf8_console() {
    const UINT current = ::GetConsoleOutputCP();  // 0 without a console
    if (current != 0 && current != CP_UTF8 && ::SetConsoleOutputCP(CP_UTF8)) previous_ = current;
}

utf8_console::~utf8_console() {
    if (previous_ != 0) ::SetConsoleOutputCP(previous_);
}

}  // namespace platform
