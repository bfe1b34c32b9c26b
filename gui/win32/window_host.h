// How the Win32 windows of the programs' own classes reach their state, as
// dialog_host.h does for dialogs: each window is an object whose
// handle(window, message, wparam, lparam) answers its messages, found
// through the window's GWLP_USERDATA from WM_NCCREATE until WM_NCDESTROY.
// The object must outlive its window.
#pragma once

#include <windows.h>

#include <exception>

#include "gui/win32/dialog_host.h"

namespace tuv::win32 {

template <typename Window>
LRESULT CALLBACK window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
        ::SetWindowLongPtrW(window, GWLP_USERDATA,
                            reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* object = reinterpret_cast<Window*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_NCDESTROY) ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    if (object == nullptr) return ::DefWindowProcW(window, message, wparam, lparam);
    // Nothing may unwind through the system's frames: a failure is told
    // here, over the top-level window.
    try {
        return object->handle(window, message, wparam, lparam);
    } catch (const std::exception& error) {
        show_failure(::GetAncestor(window, GA_ROOT), error);
        return 0;
    }
}

// Registers the window class `name` for Window once in the process (again
// is harmless), with the arrow cursor and the program's icon.
void register_class(const wchar_t* name, WNDPROC procedure, HBRUSH background);

template <typename Window>
void register_window_class(const wchar_t* name, HBRUSH background = nullptr) {
    register_class(name, window_procedure<Window>, background);
}

[[noreturn]] void throw_not_made(const wchar_t* class_name);

// Makes a window of a class registered for Window, as `object`'s window;
// `id` is a child's control id. Throws std::runtime_error when it could not
// be made.
template <typename Window>
HWND create_window(Window& object, const wchar_t* class_name, const wchar_t* title, DWORD style,
                   DWORD ex_style, HWND parent, int id = 0) {
    HWND made = ::CreateWindowExW(ex_style, class_name, title, style, CW_USEDEFAULT, CW_USEDEFAULT,
                                  CW_USEDEFAULT, CW_USEDEFAULT, parent,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                  ::GetModuleHandleW(nullptr), &object);
    if (made == nullptr) throw_not_made(class_name);
    return made;
}

}  // namespace tuv::win32
