#include "checkin/command_line.h"

#include <span>
#include <system_error>

#include "core/base/utf8_path.h"
#include "gui/command_line.h"

namespace tuv::checkin_app {
namespace {

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end - start));
        if (end == std::string::npos) return parts;
        start = end + 1;
    }
}

}  // namespace

command_line parse_command_line(const std::string& text) {
    command_line result;
    if (text.empty()) return result;
    const std::size_t comma = text.rfind(',');
    result.selection = text.substr(0, comma);
    if (comma != std::string::npos) result.destination = text.substr(comma + 1);
    result.multiple = result.selection.find('#') != std::string::npos;

    const std::vector<std::string> parts = split(result.selection, '#');
    if (!result.destination || parts.size() == 1) {
        // Form A, or form B's single path: every part is a whole path.
        for (auto part = parts.rbegin(); part != parts.rend(); ++part) {
            result.files.push_back(path_from_utf8(*part));
        }
    } else {
        const std::filesystem::path base = path_from_utf8(parts.front());
        for (auto name = parts.rbegin(); name + 1 != parts.rend(); ++name) {
            result.files.push_back(base / path_from_utf8(*name));
        }
    }
    return result;
}

command_line read_command_line(const std::vector<std::string>& arguments) {
    std::span<const std::string> rest(arguments);
    std::optional<std::string> destination;
    if (rest.size() >= 2 && rest[0] == "--to") {
        destination = rest[1];
        rest = rest.subspan(2);
    }
    if (rest.empty() || rest[0] != "--files") {
        command_line joined = parse_command_line(gui::command_line_text(arguments));
        std::vector<std::filesystem::path> kept;
        for (const std::filesystem::path& file : joined.files) {
            std::error_code error;
            // A piece cut out of a path holding "#" or ",", never looked for
            // in the current folder.
            if (file.is_absolute() && std::filesystem::is_regular_file(file, error)) {
                kept.push_back(file);
            } else {
                joined.refused.insert(joined.refused.begin(), utf8_of(file));
            }
        }
        joined.files = std::move(kept);
        return joined;
    }
    command_line line;
    line.destination = std::move(destination);
    const std::span<const std::string> paths = rest.subspan(1);
    for (auto path = paths.rbegin(); path != paths.rend(); ++path) {
        std::error_code error;
        const std::filesystem::path given = path_from_utf8(*path);
        const std::filesystem::path whole = std::filesystem::absolute(given, error);
        line.files.push_back(error ? given : whole);
    }
    line.multiple = line.files.size() > 1;
    if (line.files.size() == 1) line.selection = utf8_of(line.files.front());
    return line;
}

}  // namespace tuv::checkin_app
