// Windows only: the system's reason for a failed Windows call, worded as the
// C library words the same reason elsewhere ("No such file or directory"),
// so that messages read alike on every platform. Reasons without a C
// library counterpart keep Windows' own text.
#pragma once

#include <string>

namespace platform {

// The errno value for a GetLastError() code; 0 when there is none.
int errno_for_windows_error(unsigned long code);

// The reason's text, without a trailing line break.
std::string windows_error_text(unsigned long code);

}  // namespace platform
