// Windows only: text between the UTF-8 that the programs keep and the UTF-16
// that the wide Win32 calls take and give, converted here and nowhere else.
// Nothing is refused: a malformed sequence becomes U+FFFD, as Windows' own
// conversions make it, and a NUL stays a NUL.
#pragma once

#include <string>
#include <string_view>

namespace platform {

std::wstring to_wide(std::string_view text);

std::string to_utf8(std::wstring_view text);

}  // namespace platform
