#include "gui/command_line.h"

#include "core/base/utf8_path.h"

namespace tuv::gui {

std::string command_line_text(std::span<const std::string> arguments, char separator) {
    std::string text;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (i > 0) text += separator;
        text += arguments[i];
    }
    return text;
}

std::string file_name_of(const std::string& path) {
    return utf8_of(path_from_utf8(path).filename());
}

}  // namespace tuv::gui
