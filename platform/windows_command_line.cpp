#include "platform/windows_command_line.h"

namespace platform {

std::string quoted_argument(const std::string& argument) {
    if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string::npos) {
        return argument;
    }
    std::string quoted = "\"";
    std::size_t backslashes = 0;
    for (const char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        // Backslashes are literal unless a quote follows them.
        const std::size_t kept = c == '"' ? 2 * backslashes + 1 : backslashes;
        quoted.append(kept, '\\');
        quoted += c;
        backslashes = 0;
    }
    quoted.append(2 * backslashes, '\\');
    return quoted + '"';
}

std::string windows_command_line(const std::string& program,
                                 const std::vector<std::string>& arguments) {
    std::string line = "\"" + program + "\"";
    for (const std::string& argument : arguments) line += ' ' + quoted_argument(argument);
    return line;
}

}  // namespace platform
