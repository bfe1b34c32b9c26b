// How the Win32 dialogs reach their state: each dialog is an object whose
// handle(window, message, wparam, lparam) answers its messages (as a dialog
// procedure does: TRUE when handled), found through the window's DWLP_USER
// from WM_INITDIALOG on. The object must outlive its window.
#pragma once

#include <windows.h>

#include <exception>

namespace tuv::win32 {

// Tells the person of a failure that reached a dialog's handler, over
// `window`, under the window's own caption.
void show_failure(HWND window, const std::exception& error) noexcept;

template <typename Dialog>
INT_PTR CALLBACK dialog_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_INITDIALOG) ::SetWindowLongPtrW(window, DWLP_USER, lparam);
    auto* dialog = reinterpret_cast<Dialog*>(::GetWindowLongPtrW(window, DWLP_USER));
    if (dialog == nullptr) return FALSE;
    // Nothing may unwind through the system's frames: a failure is told
    // here and the message counts as handled.
    try {
        return dialog->handle(window, message, wparam, lparam);
    } catch (const std::exception& error) {
        show_failure(window, error);
        return TRUE;
    }
}

// Runs the program's dialog template `id` modally over `owner` (may be
// null) and returns what the dialog ended with, or -1 when it could not be
// made.
template <typename Dialog>
INT_PTR run_modal(Dialog& dialog, int id, HWND owner) {
    return ::DialogBoxParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), owner,
                             dialog_procedure<Dialog>, reinterpret_cast<LPARAM>(&dialog));
}

// Makes the program's dialog template `id` as a modeless window; null when
// it could not be made.
template <typename Dialog>
HWND create_modeless(Dialog& dialog, int id, HWND owner) {
    return ::CreateDialogParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), owner,
                                dialog_procedure<Dialog>, reinterpret_cast<LPARAM>(&dialog));
}

}  // namespace tuv::win32
