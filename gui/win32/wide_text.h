// The one place where the Win32 programs turn their UTF-8 texts into the
// UTF-16 of the wide Windows interfaces and back, and read their command
// line: never through the narrow code page, which cannot hold most names.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tuv::win32 {

// UTF-16 of UTF-8 `text`; a byte that starts no valid character becomes
// U+FFFD.
std::wstring wide(std::string_view text);

// UTF-8 of UTF-16 `text`; a lone surrogate becomes U+FFFD.
std::string utf8(std::wstring_view text);

// The program's arguments after its own name, as Windows splits the wide
// command line (CommandLineToArgvW), in UTF-8.
std::vector<std::string> command_line_arguments();

}  // namespace tuv::win32
