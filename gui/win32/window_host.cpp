#include "gui/win32/window_host.h"

#include <stdexcept>

#include "gui/win32/app_icon.h"
#include "platform/wide_text.h"
#include "platform/windows_error.h"

namespace tuv::win32 {

void register_class(const wchar_t* name, WNDPROC procedure, HBRUSH background) {
    WNDCLASSEXW kind{};
    kind.cbSize = sizeof kind;
    kind.style = CS_DBLCLKS;
    kind.lpfnWndProc = procedure;
    kind.hInstance = ::GetModuleHandleW(nullptr);
    // The system's cursors are numbered, the same for the narrow and wide calls.
    kind.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    kind.hIcon = app_icon(true);
    kind.hIconSm = app_icon(false);
    kind.hbrBackground = background;
    kind.lpszClassName = name;
    // Registered already by an earlier window of the process.
    if (::RegisterClassExW(&kind) == 0 && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        throw std::runtime_error(
            "The window class " + platform::to_utf8(name) +
            " could not be registered: " + platform::windows_error_text(::GetLastError()));
    }
}

void throw_not_made(const wchar_t* class_name) {
    throw std::runtime_error(
        "A window of " + platform::to_utf8(class_name) +
        " could not be made: " + platform::windows_error_text(::GetLastError()));
}

}  // namespace tuv::win32
