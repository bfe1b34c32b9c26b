// Quillmark_Shell: the file-manager extension's part that runs as a window
// program of its own.
//
//   Quillmark_Shell --checkin PATH...
//       Dolphin's "Quillmark Checkin": starts the check-in program on the
//       selected items as Nautilus's menu does (shell_ext.h), after making
//       sure the user has a vault.
//   Quillmark_Shell --message CAPTION ICON TEXT
//       shows one message of the Nautilus extension, which keeps Qt out of
//       Nautilus (shell_ext.h, message_arguments).
//
// Exit codes: 0 done, 1 nothing was started, 2 the command line is wrong.
#pragma once

#include <string>
#include <vector>

#include "shellext/shell_ext.h"

namespace tuv::gui {
class prompter;
}

namespace tuv::shell {

inline constexpr const char* checkin_option = "--checkin";

// Shows each message in a message box of the prompter, which must outlive it.
class prompter_messages : public shell_prompter {
  public:
    explicit prompter_messages(gui::prompter& prompts) : prompts_(prompts) {}
    void message(const shell_message& message) override;

  private:
    gui::prompter& prompts_;
};

int run_shell_program(const std::vector<std::string>& arguments, gui::prompter& prompts);

}  // namespace tuv::shell
