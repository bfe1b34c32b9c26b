#include <windows.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "core/base/utf8_path.h"
#include "platform/process.h"
#include "platform/wide_text.h"
#include "platform/windows_error.h"

namespace platform {

void start_detached(const std::filesystem::path& program,
                    const std::vector<std::string>& arguments) {
    std::string command_line = tuv::utf8_of(program.filename());
    for (const std::string& argument : arguments) command_line += ' ' + argument;
    std::wstring wide = to_wide(command_line);
    if (wide.size() > 32767 - 1) {
        throw process_error("cannot start " + tuv::utf8_of(program) + ": " + std::strerror(E2BIG));
    }
    wide.push_back(L'\0');  // CreateProcessW may write into it

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (!::CreateProcessW(program.c_str(), wide.data(), nullptr, nullptr, FALSE,
                          CREATE_DEFAULT_ERROR_MODE | NORMAL_PRIORITY_CLASS, nullptr, nullptr,
                          &startup, &started)) {
        throw process_error("cannot start " + tuv::utf8_of(program) + ": " +
                            windows_error_text(::GetLastError()));
    }
    // Not waited for: the handles are of no further use.
    ::CloseHandle(started.hThread);
    ::CloseHandle(started.hProcess);
}

}  // namespace platform
