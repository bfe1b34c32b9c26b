// The prompter of the Linux programs: Qt's message boxes and file dialogs.
// An owner is a QWidget*.
#pragma once

#include "gui/prompter.h"

namespace tuv::gui {

class qt_prompter : public prompter {
  public:
    prompt_answer message(native_window owner, const std::string& text, const std::string& caption,
                          prompt_icon icon, prompt_buttons buttons) override;
    void report(native_window owner, const std::string& text, const std::string& details,
                const std::string& caption, prompt_icon icon) override;
    std::optional<std::string> save_file(native_window owner, const std::string& title,
                                         const std::string& suggested,
                                         const std::vector<file_filter>& filters) override;
    std::optional<std::vector<std::string>> open_files(
        native_window owner, const std::string& title, const std::string& folder,
        const std::vector<file_filter>& filters) override;
    std::optional<std::string> browse_folder(native_window owner, const std::string& title,
                                             const std::string& folder) override;
};

}  // namespace tuv::gui
