#include "checkin/command_line.h"

#include "gui/command_line.h"

namespace tuv::checkin {
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
            result.files.emplace_back(*part);
        }
    } else {
        const std::filesystem::path base(parts.front());
        for (auto name = parts.rbegin(); name + 1 != parts.rend(); ++name) {
            result.files.push_back(base / *name);
        }
    }
    return result;
}

std::string command_line_text(const std::vector<std::string>& arguments) {
    if (!arguments.empty() && arguments.front() == "--files") {
        return gui::command_line_text(std::span(arguments).subspan(1), '#');
    }
    return gui::command_line_text(arguments);
}

}  // namespace tuv::checkin
