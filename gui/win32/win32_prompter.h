// The prompter of the Win32 programs (gui/prompter.h): message boxes, the
// report box (gui.rc) and the common dialogs, through the wide interfaces.
// Owners are HWNDs. Must be used on a thread with a message queue (any GUI
// thread); the folder browser needs COM initialised there.
#pragma once

#include <string>
#include <vector>

#include "gui/prompter.h"

namespace tuv::win32 {

class win32_prompter : public gui::prompter {
  public:
    gui::prompt_answer message(gui::native_window owner, const std::string& text,
                               const std::string& caption, gui::prompt_icon icon,
                               gui::prompt_buttons buttons = gui::prompt_buttons::ok) override;
    void report(gui::native_window owner, const std::string& text, const std::string& details,
                const std::string& caption, gui::prompt_icon icon) override;
    std::optional<std::string> save_file(gui::native_window owner, const std::string& title,
                                         const std::string& suggested,
                                         const std::vector<gui::file_filter>& filters) override;
    std::optional<std::vector<std::string>> open_files(
        gui::native_window owner, const std::string& title, const std::string& folder,
        const std::vector<gui::file_filter>& filters) override;
    std::optional<std::string> browse_folder(gui::native_window owner, const std::string& title,
                                             const std::string& folder) override;
};

// The paths an open-file dialog with multiple selection returns in its
// buffer: one full path, or a folder followed by names, each ended by a
// zero and the whole by another.
std::vector<std::string> open_dialog_paths(const wchar_t* buffer);

}  // namespace tuv::win32
