#include "property/command_line.h"

#include <filesystem>
#include <system_error>

#include "core/base/utf8_path.h"
#include "gui/command_line.h"

namespace tuv::property {

std::string local_path_from(const std::vector<std::string>& arguments) {
    std::string text;
    if (arguments.size() == 1 && arguments[0].size() >= 2 && arguments[0].front() == '"' &&
        arguments[0].back() == '"') {
        text = arguments[0].substr(1, arguments[0].size() - 2);
    } else {
        text = gui::command_line_text(arguments);
    }
    const std::filesystem::path path = path_from_utf8(text);
    if (text.empty() || path.is_absolute()) return text;
    // The current folder comes from the system with its links resolved, so
    // "." and a leading ".." name what the file system would; only a ".."
    // after a link inside the argument itself could differ.
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    if (error) return text;
    return utf8_of(absolute.lexically_normal());
}

}  // namespace tuv::property
