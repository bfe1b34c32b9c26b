// Every message box, question and file dialog of the window programs goes
// through a prompter, so that tests can script the answers and read back
// what a person would have been shown.
//
// No toolkit here: the Linux programs use qt_prompter (QMessageBox,
// QFileDialog), the Windows ones win32_prompter (MessageBoxW, the common
// dialogs); tests use scripted_prompter (tests/support/gui). Texts and paths
// are UTF-8. A prompter is borrowed by the windows and sequences that use it
// and must outlive them.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tuv::gui {

// The window a prompt is shown over, as its presentation knows it: a
// QWidget* under Qt, an HWND under Win32; null for none.
using native_window = void*;

enum class prompt_icon { none, information, exclamation, error, question };
enum class prompt_buttons { ok, ok_cancel, yes_no, retry_cancel };
enum class prompt_answer { ok, cancel, yes, no, retry };

// One filter of a file dialog: what the person reads and the patterns it
// stands for, e.g. {"Text Files (*.txt)", "*.txt"}.
struct file_filter {
    std::string label;
    std::string pattern;
};

class prompter {
  public:
    virtual ~prompter() = default;

    // A message box over `owner` (may be null); returns the button pressed.
    // Closing the box counts as its last button (Cancel, No or OK).
    virtual prompt_answer message(native_window owner, const std::string& text,
                                  const std::string& caption, prompt_icon icon,
                                  prompt_buttons buttons = prompt_buttons::ok) = 0;

    // A message with an OK button whose `details` (one line each, any number
    // of them) show below it in a scrolling box, so that the window fits the
    // screen however long the list is.
    virtual void report(native_window owner, const std::string& text, const std::string& details,
                        const std::string& caption, prompt_icon icon) = 0;

    // A save-as dialog that starts on `suggested` (a name or a path) with
    // the first filter chosen; nullopt when cancelled. It does not ask
    // before replacing a file: callers ask themselves.
    virtual std::optional<std::string> save_file(native_window owner, const std::string& title,
                                                 const std::string& suggested,
                                                 const std::vector<file_filter>& filters) = 0;

    // An open-file dialog allowing several files; nullopt when cancelled.
    virtual std::optional<std::vector<std::string>> open_files(
        native_window owner, const std::string& title, const std::string& folder,
        const std::vector<file_filter>& filters) = 0;

    // A folder browser starting at `folder`; nullopt when cancelled.
    virtual std::optional<std::string> browse_folder(native_window owner, const std::string& title,
                                                     const std::string& folder) = 0;
};

}  // namespace tuv::gui
