#include "core/base/control_pictures.h"

namespace tuv {

std::string with_control_pictures(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte != 0x7f) {
            out += c;
            continue;
        }
        // U+2400 + byte (DEL: U+2421) in UTF-8: E2 90 80+n, every picture
        // falling in the one block E2 90 80..A1.
        const int picture = byte == 0x7f ? 0x21 : byte;
        out += {'\xe2', '\x90', static_cast<char>(0x80 + picture)};
    }
    return out;
}

}  // namespace tuv
