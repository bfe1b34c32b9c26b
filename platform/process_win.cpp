#include <windows.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/process.h"
#include "platform/windows_error.h"

namespace platform {

void start_detached(const std::filesystem::path& program,
                    const std::vector<std::string>& arguments) {
    std::string command_line = program.filename().string();
    for (const std::string& argument : arguments) command_line += ' ' + argument;
    if (command_line.size() > 32767 - 1) {
        throw process_error("cannot start " + program.string() + ": " + std::strerror(E2BIG));
    }
    std::vector<char> writable(command_line.begin(), command_line.end());
    writable.push_back('\0');  // CreateProcessA may write into it

    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (!::CreateProcessA(program.string().c_str(), writable.data(), nullptr, nullptr, FALSE,
                          CREATE_DEFAULT_ERROR_MODE | NORMAL_PRIORITY_CLASS, nullptr, nullptr,
                          &startup, &started)) {
        throw process_error("cannot start " + program.string() + ": " +
                            windows_error_text(::GetLastError()));
    }
    // Not waited for: the handles are of no further use.
    ::CloseHandle(started.hThread);
    ::CloseHandle(started.hProcess);
}

}  // namespace platform
